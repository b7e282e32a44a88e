#pragma once
// One HTTP/1.1 request over one wirely connection: connect, write the
// request, read and parse the answer, report through IHttp_base_Respond,
// and delete itself when the connection library releases it. Nobody else
// deletes a started request; `abort` (any thread) asks the library's thread
// to close it.
//
// Sink calls, answers and the body all happen on the wirely thread; `post`
// and `get` run on the caller's thread before any of them.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/wirely/wirely.h"
#include "web/http_request.h"
#include "web/http_response_parser.h"

namespace web {

class http_base;

// What a request reports, in this order of slots. `on_body` runs after every
// read that leaves headers done (complete or not): a receiver acts only when
// `complete` is true and consumes what it uses from `body`.
class IHttp_base_Respond {
public:
    virtual ~IHttp_base_Respond() = default;
    virtual void on_fail(int error, http_base* request) = 0;
    virtual void on_body(std::uint32_t contentLength, ByteQueue& body, bool complete) = 0;
    virtual void on_closed() = 0;
    virtual void on_released() = 0;
};

class http_base : public mw_connect_sink {
public:
    // `respond` is not owned and may be null; it must outlive on_released.
    // `bodyLimit` bounds the answer body (kAnswerBodyLimit, kFileBodyLimit).
    explicit http_base(IHttp_base_Respond* respond, std::size_t bodyLimit = kAnswerBodyLimit);

    // 0 when the connection was started; -1 for a bad URL (logged) or a
    // request that cannot be written. On non-zero the caller deletes this.
    int post(std::string_view url, const void* body, std::size_t length);
    int get(std::string_view url);
    // Before post/get: extra POST header lines, sent in name order.
    void set_header(const std::string& name, const std::string& value);

    // Any thread, any number of times: the connection is closed on the
    // library's thread; a failed connect is then not reported.
    void abort();

    // mw_connect_sink
    int on_connect(int error, mw_connection* connection) override;
    int on_read(mw_connection* connection, std::size_t available) override;
    int on_write(mw_connection* connection) override;
    int on_close(mw_connection* connection) override;
    int on_release(mw_connection* connection) override;
    void on_wake(mw_connection* connection) override;

private:
    ~http_base() override;  // only on_release (or a failed start) deletes
    friend http_base* http_get(IHttp_base_Respond*, std::string_view, std::size_t);
    friend http_base* http_post(IHttp_base_Respond*, std::string_view, const void*, std::size_t,
                                std::size_t);
    int start(std::string_view url);
    void flush();
    void parse_response();

    IHttp_base_Respond* respond_;
    const std::size_t bodyLimit_;
    int method_ = 0;  // 1 POST, 0 GET
    mw_connection* connection_ = nullptr;
    std::shared_ptr<std::string> body_;  // null: no body (GET, or POST without one)
    ByteQueue send_, recv_;
    HttpUrl url_;
    HeaderMap headers_;
    HttpResponseParser parser_;
    std::atomic<int> closeState_{0};  // 0 normal, 1 abort asked, 2 abort done
    bool done_ = false;  // the answer completed or failed: on_body is not called again
};

// Null when the URL is bad or the connection could not be started. A
// returned request may already be gone once its respond heard on_released.
http_base* http_get(IHttp_base_Respond* respond, std::string_view url,
                    std::size_t bodyLimit = kAnswerBodyLimit);
// Without a body, a "?" query becomes the body (so a Content-Length is sent).
http_base* http_post(IHttp_base_Respond* respond, std::string_view url, const void* body,
                     std::size_t length, std::size_t bodyLimit = kAnswerBodyLimit);

}  // namespace web
