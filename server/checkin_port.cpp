#include "server/checkin_port.h"

#include "server/service_reply.h"

namespace server {

CCheckinPort::CCheckinPort(boost::asio::io_context& io, CServerDb& db, IClock& clock,
                           CheckinPortOptions options)
    : store_(options.pictureFolder, options.pictureQuotaBytes),
      checkin_(db, clock),
      backgrounds_(db, store_, clock, options.backgrounds),
      http_(io, "check-in service", options.http) {}

CCheckinPort::~CCheckinPort() { http_.Stop(); }

bool CCheckinPort::Open(std::string& error) {
    if (opened_) return true;
    if (!store_.Open(error)) return false;
    // What the server refuses by itself is a service answer too, sealed as
    // the route's answers are; the status tells kitlib it failed.
    http_.SetErrorAnswer([](int status, const HttpRequest& req, HttpResponse& res) {
        const bool plain = req.path == "/savepic" || req.path.rfind("/background/", 0) == 0;
        const char* why = status == 413   ? (req.path == "/savepic" ? "图片太大，不能超过4MB"
                                                                    : "请求内容过长")
                          : status == 431 ? "请求头过长"
                          : status == 404 ? "没有这个服务"
                          : status >= 500 ? "服务器内部错误"
                                          : "请求格式错误";
        service_reply::Refuse(res, why, !plain, status);
    });
    checkin_.Mount(http_);
    backgrounds_.Mount(http_);
    opened_ = true;
    return true;
}

bool CCheckinPort::Listen(const std::string& address, std::uint16_t port, std::string& error) {
    if (!Open(error)) return false;
    if (!http_.Listen(address, port, error)) {
        error = "check-in service: " + error;
        return false;
    }
    return true;
}

}  // namespace server
