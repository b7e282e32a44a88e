#pragma once
// The connection library: the chat connection ("pc_chat", channel 1) and the
// audio/video connection (channel 2 video transfer, channel 3 media server)
// to the room service, with framing, heartbeats and reconnecting inside.
//
// Every sink call happens on the library's own thread. send() may be called
// from any thread: it copies the body and never blocks; each channel has a
// bounded queue and a full queue refuses the packet.

#include <cstdint>

#include "platform/relayhub/pkinfo.h"

class IProxyStatus {
public:
    virtual ~IProxyStatus() = default;
    virtual int OnConnect() = 0;
    virtual int OnDisconnect() = 0;
    virtual int OnError(std::uint32_t code, const char* text) = 0;
};

class IServerSink {
public:
    virtual ~IServerSink() = default;
    virtual int OnJoin(std::uint32_t id) = 0;
    virtual int OnLeave(std::uint32_t id) = 0;
    // id = the channel; the record is valid only during the call.
    virtual int OnPacket(std::uint32_t id, pkinfo* packet) = 0;
    virtual int OnConnect() = 0;
    virtual int OnDisconnect() = 0;
    virtual int OnError(std::uint32_t code, const char* text) = 0;
};

// Given to net_proxy_init; the library calls OnInit once on its thread.
class IInit {
public:
    virtual ~IInit() = default;
    virtual int OnInit() = 0;
};

class IChannelSender {
public:
    virtual ~IChannelSender() = default;
    // False when the channel is not connected or its queue is full.
    virtual bool send(const pkinfo* packet) = 0;
};

class IChatProxy {
public:
    virtual ~IChatProxy() = default;
    virtual int connect(const char* host, std::uint32_t port) = 0;
    virtual int attach(std::uint32_t channel, IServerSink* sink) = 0;
    virtual IChannelSender* channel(std::uint32_t number) = 0;
};

class IAVProxy {
public:
    virtual ~IAVProxy() = default;
    virtual int connect(const char* host, std::uint32_t port) = 0;
    virtual int close() = 0;
    virtual int attach(std::uint32_t channel, IServerSink* sink) = 0;
    // service 1 = video transfer (channel 2), 2 = media server (channel 3).
    virtual bool send(std::uint32_t service, const pkinfo* packet) = 0;
    virtual std::uint32_t pending(std::uint32_t service) = 0;
    virtual std::uint32_t received() = 0;  // bytes since the previous call
    virtual std::uint32_t sent() = 0;      // bytes since the previous call
};

// Starts the library's thread; init->OnInit() then runs on it. 0 or -1.
int net_proxy_init(IInit* init);
// Registers a named connection; `queue` is each channel's queue capacity in
// packets. The same object for a name already registered.
IChatProxy* net_proxy_register(const char* name, IProxyStatus* status, int queue);
IChatProxy* net_proxy_generate(const char* name);
// The audio/video connection; `queue` as above.
IAVProxy* net_avproxy_init(int queue);
void net_avproxy_release();
// Bytes sent / received on a named connection since the previous call.
std::uint32_t get_send_size(const char* name);
std::uint32_t get_recv_size(const char* name);
// Last measured heartbeat round trip in milliseconds; kSignalLost when the
// connection is down or no answer came yet.
constexpr std::uint32_t kSignalLost = 100000;
std::uint32_t get_signal(const char* name);

// Stops every connection and the library's thread (process exit, tests).
void net_proxy_shutdown();
