#include "server/http/http_server.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "core/log.h"
#include "server/accept_loop.h"

namespace server {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

class CHttpConnection;

struct HttpRouteEntry {
    std::string method;
    std::string path;
    bool prefix = false;
    HttpHandler handler;
    HttpRouteOptions options;
};

// What connections share with the server; they keep it alive, so a
// connection that outlives the server object (a handler still queued on
// the I/O threads at shutdown) never touches freed memory.
struct CHttpServer::Shared {
    Shared(net::io_context& io, std::string n, HttpLimits l)
        : io(io), name(std::move(n)), limits(l) {}

    const HttpRouteEntry* Find(const std::string& method, const std::string& path) const {
        for (const HttpRouteEntry& r : routes)
            if (r.method == method && (r.prefix ? path.rfind(r.path, 0) == 0 : path == r.path))
                return &r;
        return nullptr;
    }
    // Registers a new connection's peer; false when it must be refused.
    bool Admit(const std::shared_ptr<CHttpConnection>& c, const std::string& address);
    void Forget(const CHttpConnection* c, const std::string& address);
    void CloseAll();

    net::io_context& io;
    const std::string name;
    const HttpLimits limits;
    std::vector<HttpRouteEntry> routes;
    std::uint64_t largestBody = 0;
    HttpErrorAnswer errorAnswer;
    // Owned by the server object; gone once it has stopped.
    std::weak_ptr<net::thread_pool> pool;
    std::atomic<bool> closed{false};

    mutable std::mutex lock;
    std::size_t total = 0;
    // Oldest first. The raw pointer identifies an entry without taking a
    // reference: a reference dropped under `lock` could run a destructor
    // that takes `lock` again.
    struct Entry {
        const CHttpConnection* raw;
        std::weak_ptr<CHttpConnection> weak;
    };
    std::unordered_map<std::string, std::vector<Entry>> byAddress;
};

class CHttpConnection : public std::enable_shared_from_this<CHttpConnection> {
public:
    CHttpConnection(std::shared_ptr<CHttpServer::Shared> shared, tcp::socket socket,
                    std::string address)
        : shared_(std::move(shared)), stream_(std::move(socket)), address_(std::move(address)) {
        boost::system::error_code ec;
        const auto local = stream_.socket().local_endpoint(ec);
        if (!ec) localPort_ = local.port();
    }
    ~CHttpConnection() {
        if (registered) shared_->Forget(this, address_);
    }

    void Start() {
        net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->ReadHead(); });
    }
    // Thread-safe.
    void Close() {
        net::post(stream_.get_executor(), [self = shared_from_this()] { self->Shut(); });
    }
    // Still waiting for a request head: nothing of value is lost by closing it.
    bool waiting() const { return waiting_; }
    bool registered = false;  // counted by Shared::Admit

private:
    using Parser = http::request_parser<http::string_body>;

    void ReadHead() {
        if (shared_->closed) return Shut();
        waiting_ = true;
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(shared_->limits.maxHeaderBytes));
        // The largest any route takes, for now (this Boost treats "no limit"
        // as a limit of nothing); each route's own once the head names it.
        parser_->body_limit(shared_->largestBody);
        stream_.expires_after(shared_->limits.requestDeadline);
        http::async_read_header(stream_, buffer_, *parser_,
                                [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                    self->OnHead(ec);
                                });
    }

    void OnHead(beast::error_code ec) {
        waiting_ = false;
        // A declared body over every route's limit: the head is whole, so
        // the refusal can still say what it refuses.
        const bool tooLarge = ec == http::error::body_limit;
        if (tooLarge) ec = {};
        if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
            ec == net::error::operation_aborted || ec == net::error::connection_reset ||
            ec == net::error::eof)
            return Shut();
        if (ec == http::error::header_limit) return Refuse(431);
        if (ec) {
            log_msg("%s: malformed request from %s: %s", shared_->name.c_str(), address_.c_str(),
                    ec.message().c_str());
            return Refuse(400);
        }
        const auto& head = parser_->get();
        request_ = HttpRequest{};
        request_.method = std::string(head.method_string());
        request_.target = std::string(head.target());
        request_.remoteAddress = address_;
        request_.localPort = localPort_;
        for (const auto& f : head)
            request_.headers.emplace_back(std::string(f.name_string()), std::string(f.value()));
        if (!request_.ParseTarget()) return Refuse(400);
        if (tooLarge) return Refuse(413);
        route_ = shared_->Find(request_.method, request_.path);
        if (!route_) return Refuse(404);
        const auto length = parser_->content_length();
        if (length && *length > route_->options.maxBody) return Refuse(413);
        parser_->body_limit(route_->options.maxBody);
        if (route_->options.bodyDeadline.count() > 0)
            stream_.expires_after(route_->options.bodyDeadline);
        if (!route_->options.admit) return ReadBody();
        RunOnPool([](CHttpConnection& self, HttpResponse& res) {
            return self.route_->options.admit(self.request_, res);
        }, [](CHttpConnection& self, HttpResponse& res, bool admitted) {
            if (!admitted) {
                res.close = true;  // the body stays unread
                return self.Write(std::move(res));
            }
            self.ReadBody();
        });
    }

    void ReadBody() {
        if (parser_->is_done()) return OnBody({});
        const auto& head = parser_->get();
        if (beast::iequals(head[http::field::expect], "100-continue")) {
            auto cont = std::make_shared<http::response<http::empty_body>>(http::status::continue_, 11);
            http::async_write(stream_, *cont,
                              [self = shared_from_this(), cont](beast::error_code ec, std::size_t) {
                                  if (ec) return self->Shut();
                                  self->ReadRest();
                              });
            return;
        }
        ReadRest();
    }

    void ReadRest() {
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code ec, std::size_t) {
                             self->OnBody(ec);
                         });
    }

    void OnBody(beast::error_code ec) {
        if (ec == http::error::body_limit) return Refuse(413);
        if (ec) return Shut();
        request_.body = std::move(parser_->get().body());
        keepAlive_ = parser_->get().keep_alive();
        RunOnPool([](CHttpConnection& self, HttpResponse& res) {
            self.route_->handler(self.request_, res);
            return true;
        }, [](CHttpConnection& self, HttpResponse& res, bool) { self.Write(std::move(res)); });
    }

    // Runs `work` on the worker pool, then `done` back on this connection.
    template <class Work, class Done>
    void RunOnPool(Work work, Done done) {
        const auto pool = shared_->pool.lock();
        if (!pool || shared_->closed) return Shut();
        net::post(*pool, [self = shared_from_this(), work, done] {
            HttpResponse res;
            bool result = false;
            try {
                result = work(*self, res);
            } catch (const std::exception& e) {
                log_err("%s: %s %s failed: %s", self->shared_->name.c_str(),
                        self->request_.method.c_str(), self->request_.path.c_str(), e.what());
                res = HttpResponse{};
                self->ErrorAnswer(500, res);
                res.close = true;
                result = false;
            }
            net::post(self->stream_.get_executor(),
                      [self, done, res = std::move(res), result]() mutable {
                          done(*self, res, result);
                      });
        });
    }

    void ErrorAnswer(int status, HttpResponse& res) {
        res.status = status;
        if (shared_->errorAnswer) shared_->errorAnswer(status, request_, res);
        res.status = status;
    }

    // Answers a request that is not read to its end, then closes.
    void Refuse(int status) {
        HttpResponse res;
        ErrorAnswer(status, res);
        res.close = true;
        Write(std::move(res));
    }

    template <class Msg>
    void Fill(Msg& m, HttpResponse& res, bool keep) {
        m.set(http::field::server, "zeri-server");
        for (const auto& [k, v] : res.headers) m.insert(k, v);
        if (!res.contentType.empty()) m.set(http::field::content_type, res.contentType);
        m.keep_alive(keep);
    }

    void Write(HttpResponse res) {
        const bool keep = keepAlive_ && !res.close && !shared_->closed;
        keepAlive_ = false;
        stream_.expires_after(shared_->limits.writeDeadline);
        if (!res.file.empty()) {
            http::file_body::value_type file;
            beast::error_code ec;
            file.open(res.file.c_str(), beast::file_mode::scan, ec);
            if (!ec) {
                auto m = std::make_shared<http::response<http::file_body>>(
                    std::piecewise_construct, std::make_tuple(std::move(file)),
                    std::make_tuple(static_cast<http::status>(res.status), 11));
                Fill(*m, res, keep);
                m->prepare_payload();
                return Send(m, keep);
            }
            // Gone between the handler's look and now.
            res = HttpResponse{};
            ErrorAnswer(404, res);
        }
        auto m = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(res.status), 11);
        Fill(*m, res, keep);
        m->body() = std::move(res.body);
        m->prepare_payload();
        Send(m, keep);
    }

    template <class Msg>
    void Send(const std::shared_ptr<Msg>& m, bool keep) {
        http::async_write(stream_, *m,
                          [self = shared_from_this(), m, keep](beast::error_code ec, std::size_t) {
                              if (ec) return self->Shut();
                              if (!keep) return self->Drain();
                              self->ReadHead();
                          });
    }

    // Closing with unread input makes the kernel reset the connection, and
    // the peer may lose the answer it has not read yet (a refusal sent
    // before its body). So: end our side, read and drop what still comes
    // for a moment, then close.
    void Drain() {
        boost::system::error_code ignore;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignore);
        stream_.expires_after(kDrainTime);
        buffer_.clear();
        DrainMore();
    }
    void DrainMore() {
        stream_.async_read_some(buffer_.prepare(4096), [self = shared_from_this()](
                                                           beast::error_code ec, std::size_t) {
            if (ec) return self->Shut();
            self->buffer_.clear();
            self->DrainMore();
        });
    }
    static constexpr std::chrono::milliseconds kDrainTime{2000};

    void Shut() {
        boost::system::error_code ignore;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignore);
        stream_.close();
    }

    std::shared_ptr<CHttpServer::Shared> shared_;
    beast::tcp_stream stream_;
    const std::string address_;
    std::uint16_t localPort_ = 0;
    beast::flat_buffer buffer_;
    std::optional<Parser> parser_;
    HttpRequest request_;
    const HttpRouteEntry* route_ = nullptr;
    bool keepAlive_ = false;
    std::atomic<bool> waiting_{true};
};

bool CHttpServer::Shared::Admit(const std::shared_ptr<CHttpConnection>& c,
                                const std::string& address) {
    // Released after the lock: see Entry.
    std::vector<std::shared_ptr<CHttpConnection>> looked;
    std::shared_ptr<CHttpConnection> evicted;
    {
        std::lock_guard<std::mutex> g(lock);
        if (closed || total >= limits.maxConnections) return false;
        auto& list = byAddress[address];
        std::erase_if(list, [](const Entry& e) { return e.weak.expired(); });
        if (list.size() >= limits.maxPerAddress) {
            for (auto it = list.begin(); it != list.end(); ++it) {
                auto old = it->weak.lock();
                if (old && old->waiting()) {
                    evicted = std::move(old);
                    list.erase(it);
                    break;
                }
                if (old) looked.push_back(std::move(old));
            }
            if (!evicted) return false;
        }
        list.push_back({c.get(), c});
        c->registered = true;
        ++total;
    }
    if (evicted) evicted->Close();
    return true;
}

void CHttpServer::Shared::Forget(const CHttpConnection* c, const std::string& address) {
    std::lock_guard<std::mutex> g(lock);
    --total;
    auto it = byAddress.find(address);
    if (it == byAddress.end()) return;
    // An evicted connection was taken off its list already.
    std::erase_if(it->second, [c](const Entry& e) { return e.raw == c || e.weak.expired(); });
    if (it->second.empty()) byAddress.erase(it);
}

void CHttpServer::Shared::CloseAll() {
    std::vector<std::shared_ptr<CHttpConnection>> all;  // released after the lock
    {
        std::lock_guard<std::mutex> g(lock);
        for (auto& [address, list] : byAddress)
            for (auto& e : list)
                if (auto c = e.weak.lock()) all.push_back(std::move(c));
    }
    for (auto& c : all) c->Close();
}

CHttpServer::CHttpServer(net::io_context& io, std::string name, HttpLimits limits)
    : shared_(std::make_shared<Shared>(io, std::move(name), limits)),
      pool_(std::make_shared<net::thread_pool>(std::max(1u, limits.workers))) {
    shared_->pool = pool_;
    std::weak_ptr<Shared> weak = shared_;
    accept_ = std::make_unique<CAcceptLoop>(io, shared_->name, [weak](tcp::socket socket) {
        auto shared = weak.lock();
        if (!shared) return;
        boost::system::error_code ec;
        const auto peer = socket.remote_endpoint(ec);
        if (ec) return;  // gone already
        std::string address = peer.address().to_string();
        auto c = std::make_shared<CHttpConnection>(shared, std::move(socket), address);
        if (shared->Admit(c, address)) c->Start();
    });
}

CHttpServer::~CHttpServer() { Stop(); }

void CHttpServer::Route(const std::string& method, const std::string& path, HttpHandler handler,
                        HttpRouteOptions options) {
    shared_->largestBody = std::max<std::uint64_t>(shared_->largestBody, options.maxBody);
    shared_->routes.push_back({method, path, false, std::move(handler), std::move(options)});
}

void CHttpServer::RoutePrefix(const std::string& method, const std::string& prefix,
                              HttpHandler handler, HttpRouteOptions options) {
    shared_->largestBody = std::max<std::uint64_t>(shared_->largestBody, options.maxBody);
    shared_->routes.push_back({method, prefix, true, std::move(handler), std::move(options)});
}

void CHttpServer::SetErrorAnswer(HttpErrorAnswer answer) { shared_->errorAnswer = std::move(answer); }

bool CHttpServer::Listen(const std::string& address, std::uint16_t port, std::string& error) {
    if (!accept_->Listen(address, port, error)) return false;
    log_msg("zeri-server: %s on %s:%u", shared_->name.c_str(), address.c_str(),
            static_cast<unsigned>(accept_->port()));
    return true;
}

std::uint16_t CHttpServer::port() const { return accept_->port(); }

void CHttpServer::Close() {
    if (shared_->closed.exchange(true)) return;
    accept_->Stop();
    shared_->CloseAll();
}

void CHttpServer::Stop() {
    Close();
    if (!pool_) return;
    pool_->join();
    // Work queued after the join (a request that finished reading just
    // now) is dropped with the pool; its connection closes.
    pool_.reset();
}

void CHttpServer::Serve(HttpRequest& req, HttpResponse& res) {
    const auto error = [&](int status) {
        res = HttpResponse{};
        res.status = status;
        if (shared_->errorAnswer) shared_->errorAnswer(status, req, res);
    };
    if (!req.ParseTarget()) return error(400);
    const HttpRouteEntry* route = shared_->Find(req.method, req.path);
    if (!route) return error(404);
    if (req.body.size() > route->options.maxBody) return error(413);
    try {
        if (route->options.admit && !route->options.admit(req, res)) return;
        route->handler(req, res);
    } catch (const std::exception&) {
        error(500);
    }
}

std::size_t CHttpServer::connectionCount() const {
    std::lock_guard<std::mutex> g(shared_->lock);
    return shared_->total;
}

unsigned CHttpServer::starvedEpisodes() const { return accept_->starvedEpisodes(); }

}  // namespace server
