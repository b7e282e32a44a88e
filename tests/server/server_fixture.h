#pragma once
// Helpers for the server tests: a temporary data folder, a clock the test
// moves, and a bare relay client that speaks the framing by hand (so a test
// can open several chat connections, pick its source address, or misbehave).

#include <asio.hpp>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>

#include "core/clock.h"
#include "net/commands.h"
#include "net/fields.h"
#include "platform/relayhub/frame.h"
#include "server/server_app.h"

namespace srvtest {

// A server for one test: its own data folder, loopback, free ports, two
// I/O threads.
inline server::ServerOptions LocalServerOptions(const std::string& dataDir) {
    server::ServerOptions o;
    o.dataDir = dataDir;
    o.listen = "127.0.0.1";
    o.port = 0;
    o.threads = 2;
    return o;
}

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "zeri-srv-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Real wall time plus an offset; a tick that only moves when told to.
// Atomic: the server's I/O threads read it while the test moves it.
class TestClock : public IClock {
public:
    std::uint32_t TickMs() override { return tick_.load(); }
    std::time_t Now() override { return std::time(nullptr) + offset_.load(); }
    void AdvanceMs(std::uint32_t ms) { tick_ += ms; }
    void AdvanceWall(std::int64_t seconds) { offset_ += seconds; }

private:
    std::atomic<std::uint32_t> tick_{0};
    std::atomic<std::int64_t> offset_{0};
};

template <class Msg>
std::string Body(const Msg& m) {
    TLV::body b;
    EXPECT_TRUE(wire::write_fields(b, m));
    const unsigned char* bytes = nullptr;
    std::size_t n = 0;
    b.encode(bytes, n);
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

template <class Msg>
Msg Decode(const std::string& body) {
    return wire::decode<Msg>(reinterpret_cast<const unsigned char*>(body.data()), body.size());
}

struct Frame {
    std::uint8_t type = 0;
    std::uint8_t channel = 0;
    std::uint32_t command = 0;
    std::string payload;
};

class RawClient {
public:
    // Connects (from `source` when given) and greets with `name`; the
    // server's hello is awaited unless the name is expected to be refused.
    RawClient(std::uint16_t port, const std::string& name, const char* source = nullptr,
              bool awaitHello = true)
        : socket_(io_), decoder_([this](const relay::FrameHeader& h, const unsigned char* p,
                                        std::size_t n) {
              frames_.push_back({h.type, h.channel, h.command,
                                 std::string(reinterpret_cast<const char*>(p), n)});
          }) {
        if (source) {
            socket_.open(asio::ip::tcp::v4());
            socket_.bind({asio::ip::make_address(source), 0});
        }
        socket_.connect({asio::ip::make_address("127.0.0.1"), port});
        Write(relay::EncodeFrame(relay::kFrameHello, 0, 0, name));
        if (awaitHello) {
            auto f = Next();
            if (!f || f->type != relay::kFrameHello) ADD_FAILURE() << "no hello from the server";
        }
    }

    void Write(const std::string& bytes) {
        asio::error_code ec;
        asio::write(socket_, asio::buffer(bytes), ec);
    }
    void SendRaw(std::uint8_t channel, std::uint32_t command, const std::string& body) {
        Write(relay::EncodeFrame(relay::kFramePacket, channel, command, body));
    }
    template <class Msg>
    void Send(std::uint8_t channel, const Msg& m) {
        SendRaw(channel, Msg::id, Body(m));
    }

    // The next frame, or nothing when the connection closes or nothing comes.
    std::optional<Frame> Next(std::chrono::milliseconds wait = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (frames_.empty() && !closed_) {
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= decltype(left)::zero() || !ReadSome(left)) break;
        }
        if (frames_.empty()) return std::nullopt;
        Frame f = std::move(frames_.front());
        frames_.pop_front();
        return f;
    }
    // The next packet, decoded as Msg; fails the test when another comes.
    // Membership notices arrive unasked; requests' answers skip them (they
    // are kept for Notice<Msg>()).
    static bool IsRoomNotice(std::uint32_t c) {
        return c == cmd::Control_Room_UserList_Notify || c == cmd::Control_User_Login_Notify ||
               c == cmd::Control_User_Logout_Notify || c == cmd::Control_Anchor_Notify ||
               c == cmd::Control_Wheat_List_Notify;
    }
    // The next membership notice of type Msg (earlier skipped ones first).
    template <class Msg>
    std::optional<Msg> Notice(std::chrono::milliseconds wait = std::chrono::seconds(5)) {
        for (auto it = notices_.begin(); it != notices_.end(); ++it) {
            if (it->command != Msg::id) continue;
            Msg m = Decode<Msg>(it->payload);
            notices_.erase(it);
            return m;
        }
        while (auto f = Next(wait)) {
            if (f->command == Msg::id) return Decode<Msg>(f->payload);
            if (IsRoomNotice(f->command)) notices_.push_back(std::move(*f));
        }
        return std::nullopt;
    }
    // The next frame that is not a membership notice.
    std::optional<Frame> NextAnswer(std::chrono::milliseconds wait = std::chrono::seconds(5)) {
        auto f = Next(wait);
        while (f && IsRoomNotice(f->command)) {
            notices_.push_back(std::move(*f));
            f = Next(wait);
        }
        return f;
    }
    // Whether a notice of type Msg came (waits only `wait` for it).
    template <class Msg>
    bool NoNotice(std::chrono::milliseconds wait = std::chrono::milliseconds(200)) {
        return !Notice<Msg>(wait);
    }
    template <class Msg>
    std::optional<Msg> Expect(std::uint8_t channel) {
        auto f = Next();
        while (f && f->command != Msg::id && IsRoomNotice(f->command)) {
            notices_.push_back(std::move(*f));
            f = Next();
        }
        if (!f) {
            ADD_FAILURE() << "no answer 0x" << std::hex << Msg::id;
            return std::nullopt;
        }
        EXPECT_EQ(f->type, relay::kFramePacket);
        EXPECT_EQ(f->command, Msg::id);
        EXPECT_EQ(f->channel, channel);
        if (f->command != Msg::id) return std::nullopt;
        return Decode<Msg>(f->payload);
    }
    template <class Msg>
    std::optional<Msg> Ask(std::uint8_t channel, const auto& request) {
        Send(channel, request);
        return Expect<Msg>(channel);
    }
    bool closed() const { return closed_; }
    // True when the server closes the connection within the wait.
    bool WaitClosed(std::chrono::milliseconds wait = std::chrono::seconds(5)) {
        while (Next(wait)) {
        }
        return closed_;
    }
    void Close() {
        asio::error_code ec;
        socket_.close(ec);
    }

private:
    bool ReadSome(std::chrono::steady_clock::duration wait) {
        bool done = false;
        asio::error_code err;
        std::size_t n = 0;
        socket_.async_read_some(asio::buffer(buf_), [&](const asio::error_code& ec, std::size_t k) {
            done = true;
            err = ec;
            n = k;
        });
        io_.restart();
        io_.run_for(wait);
        if (!done) {
            asio::error_code ignore;
            socket_.cancel(ignore);
            io_.restart();
            io_.run();
            return false;
        }
        if (err) {
            closed_ = true;
            return false;
        }
        if (!decoder_.Feed(buf_.data(), n)) closed_ = true;
        return true;
    }

    asio::io_context io_;
    asio::ip::tcp::socket socket_;
    relay::FrameDecoder decoder_;
    std::array<unsigned char, 65536> buf_{};
    std::deque<Frame> frames_;
    std::deque<Frame> notices_;
    bool closed_ = false;
};

}  // namespace srvtest
