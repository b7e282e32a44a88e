#include "web/http_base.h"

#include <algorithm>
#include <optional>

#include "core/log.h"

namespace web {
namespace {

constexpr int kClientStream = 97;
constexpr std::uint32_t kReadPiece = 8192;

}  // namespace

http_base::http_base(IHttp_base_Respond* respond, std::size_t bodyLimit)
    : respond_(respond), bodyLimit_(bodyLimit), parser_(std::string(), bodyLimit) {}

http_base::~http_base() = default;

void http_base::set_header(const std::string& name, const std::string& value) {
    headers_.emplace(name, value);
}

int http_base::post(std::string_view url, const void* body, std::size_t length) {
    method_ = 1;
    if (body) body_ = std::make_shared<std::string>(static_cast<const char*>(body), length);
    return start(url);
}

int http_base::get(std::string_view url) {
    method_ = 0;
    return start(url);
}

int http_base::start(std::string_view url) {
    if (connection_) return -1;  // one object serves one request
    if (ParseHttpUrl(url, url_) != 0) return -1;
    parser_ = HttpResponseParser(url_.path, bodyLimit_);
    // The request is written before connecting so that one that cannot be
    // sent fails here, on the caller's side, without a connection.
    const bool written =
        method_ == 1 ? WritePost(url_, headers_,
                                 body_ ? std::optional<std::string_view>(*body_) : std::nullopt,
                                 send_)
                     : WriteGet(url_, send_);
    if (!written) {
        log_err("http base url=%s, request refused: a line is too long or breaks\r\n",
                url_.path.c_str());
        return -1;
    }
    connection_ = create_connect(this, kClientStream);
    if (!connection_) return -1;
    // A fresh connection always takes its connect; the result comes through on_connect.
    return connection_->connect(url_.host.c_str(), url_.port, 1);
}

int http_base::on_connect(int error, mw_connection* connection) {
    if (error == 0) {
        const std::uint32_t pieces = 5;
        connection->control(kWirelyReadPieces, &pieces, sizeof pieces);
        flush();
        return 0;
    }
    done_ = true;
    // An abort already said how this request ends.
    if (respond_ && closeState_.load() == 0) respond_->on_fail(error, this);
    connection_->release();
    return -1;
}

int http_base::on_read(mw_connection* connection, std::size_t available) {
    while (available > 0) {
        std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(available, kReadPiece));
        const void* bytes = nullptr;
        connection->query(kWirelyPeek, &bytes, n);
        if (!bytes) {
            connection->close();
            return 0;
        }
        // After the answer ended, whatever else comes is acknowledged and dropped.
        if (!done_) recv_.Append(bytes, n);
        connection->control(kWirelyReadDone, &n, sizeof n);
        available -= n;
    }
    parse_response();
    return 0;
}

void http_base::parse_response() {
    if (done_) return;
    if (recv_.Size() == 0) {
        connection_->close();
        return;
    }
    const ParseResult r = parser_.Parse(recv_);
    if (r == ParseResult::Failed) {
        done_ = true;
        if (parser_.Status() == 200)
            log_msg("http base url=%s, answer refused: %s\r\n", url_.path.c_str(),
                    parser_.Error().c_str());
        recv_.Clear();
        connection_->close();
        return;
    }
    if (parser_.State() != 2) return;
    const bool complete = r == ParseResult::Complete;
    if (complete) done_ = true;
    if (respond_) respond_->on_body(parser_.ContentLength(), recv_, complete);
    if (complete) connection_->close();
}

int http_base::on_write(mw_connection*) {
    flush();
    return 0;
}

void http_base::flush() {
    while (send_.Size() > 0) {
        const unsigned char* bytes = nullptr;
        const std::size_t n = send_.Front(&bytes);
        if (connection_->send(bytes, n) != 0) break;  // on_write continues
        send_.Consume(n);
    }
}

int http_base::on_close(mw_connection* connection) {
    done_ = true;
    if (respond_) respond_->on_closed();
    std::uint32_t zero = 0;
    connection->query(kWirelyLinger, &zero, sizeof zero);
    connection->release();
    return 0;
}

int http_base::on_release(mw_connection*) {
    if (respond_) respond_->on_released();
    delete this;
    return 0;
}

void http_base::on_wake(mw_connection*) {
    int asked = 1;
    if (closeState_.compare_exchange_strong(asked, 2)) connection_->close();
}

void http_base::abort() {
    int normal = 0;
    if (connection_ && closeState_.compare_exchange_strong(normal, 1)) connection_->wake();
}

http_base* http_get(IHttp_base_Respond* respond, std::string_view url, std::size_t bodyLimit) {
    auto* request = new http_base(respond, bodyLimit);
    if (request->get(url) != 0) {
        delete request;
        return nullptr;
    }
    return request;
}

http_base* http_post(IHttp_base_Respond* respond, std::string_view url, const void* body,
                     std::size_t length, std::size_t bodyLimit) {
    auto* request = new http_base(respond, bodyLimit);
    int started;
    if (body) {
        started = request->post(url, body, length);
    } else {
        // The query travels as the body, so such a request always has a Content-Length.
        std::string query;
        const std::size_t mark = url.find('?');
        if (mark != std::string_view::npos) {
            query = std::string(url.substr(mark + 1));
            url = url.substr(0, mark);
        }
        started = request->post(url, query.data(), query.size());
    }
    if (started != 0) {
        delete request;
        return nullptr;
    }
    return request;
}

}  // namespace web
