#pragma once
// The program's side of the connection library: the objects that hear the
// chat and audio/video connections, and the start-up hooks that make them.
//
// Room packets cross to the room window as UM_SERVER_PACKET with an owned
// copy of the body; voice and video are decoded here, on the connection
// thread, and go straight to the media entry points of AppContext.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/app_context.h"
#include "core/singleton.h"
#include "platform/relayhub/relayhub.h"

// The payload of UM_SERVER_PACKET (command id in wParam).
struct ServerPacket {
    std::uint32_t reserved = 0;
    std::vector<unsigned char> body;
};

// The payload of UM_PROXY_STATUS (error code in wParam, 0 for a plain loss).
struct ProxyStatusText {
    std::string text;
};

// Copies the body and posts it to the room window. False when there is no
// room window to take it.
bool ForwardToRoom(const pkinfo* packet);

class CProxyStatus : public IProxyStatus, public c_leaky_singleton<CProxyStatus> {
    friend class c_leaky_singleton<CProxyStatus>;

public:
    int OnConnect() override;
    int OnDisconnect() override;
    int OnError(std::uint32_t code, const char* text) override;
    bool IsConnected() const { return connected_; }

private:
    CProxyStatus() = default;
    std::atomic<bool> connected_{false};
};

// What the three channel sinks share: the lines they print and the message
// that tells the room window their channel is up.
class CChannelSink : public IServerSink {
public:
    int OnJoin(std::uint32_t id) override;
    int OnLeave(std::uint32_t id) override;
    int OnConnect() override;
    int OnDisconnect() override;
    int OnError(std::uint32_t code, const char* text) override;

protected:
    CChannelSink(const char* name, unsigned connectedMessage)
        : name_(name), connectedMessage_(connectedMessage) {}

private:
    const char* name_;  // "chatroom", "avtran", "mserver"
    unsigned connectedMessage_;
};

// Chat channel: every packet goes to the room window.
class CChatRoom : public CChannelSink, public c_leaky_singleton<CChatRoom> {
    friend class c_leaky_singleton<CChatRoom>;

public:
    int OnPacket(std::uint32_t id, pkinfo* packet) override;

private:
    CChatRoom();
};

// Video transfer: frames to the video path, everything else to the window.
class CAVTran : public CChannelSink, public c_leaky_singleton<CAVTran> {
    friend class c_leaky_singleton<CAVTran>;

public:
    int OnPacket(std::uint32_t id, pkinfo* packet) override;

private:
    CAVTran();
};

// Media server: voice to the voice path, everything else to the window.
class CMServer : public CChannelSink, public c_leaky_singleton<CMServer> {
    friend class c_leaky_singleton<CMServer>;

public:
    int OnPacket(std::uint32_t id, pkinfo* packet) override;

private:
    CMServer();
};

// One voice notification, decoded: kind 1 = AAC, 0 = AMR; up to two
// speakers named (0 = none); the payload points into the packet's body.
struct VoicePacket {
    int kind = 0;
    std::uint32_t speaker1 = 0, speaker2 = 0;
    std::uint32_t stamp = 0;
    const unsigned char* audio = nullptr;
    std::size_t audioLength = 0;
};
// False when the packet is not voice or carries the server's text instead.
bool DecodeVoicePacket(std::uint32_t command, const unsigned char* body, std::size_t length,
                       VoicePacket& out);

// A video notification's header (f0…f4, stamp in `extra`, sender in
// `source`) and its bytes, which point into `body`. False when it is not one.
bool DecodeVideoPacket(const unsigned char* body, std::size_t length, VideoFrameHeader& header,
                       std::span<const unsigned char>& frame);

// Decoding of media packets on the connection thread (also used by tests).
// False when the packet was dropped (server text in tag 209, or not media).
bool HandleVoicePacket(std::uint32_t command, const unsigned char* body, std::size_t length);
bool HandleVideoPacket(const unsigned char* body, std::size_t length);

// Handed to net_proxy_init: registers the chat connection once.
class CInit : public IInit, public c_singleton<CInit> {
    friend class c_singleton<CInit>;

public:
    static constexpr std::uint32_t kRoomPort = 6666;
    // The room-service host and port (--server; tests use other ports).
    void SetEndpoint(const std::string& host, std::uint32_t port = kRoomPort);
    int OnInit() override;
    IChatProxy* chat() const { return chat_; }
    // Back to unregistered (tests, after net_proxy_shutdown).
    void Reset();

private:
    CInit() = default;
    std::mutex lock_;
    IChatProxy* chat_ = nullptr;
    std::string host_ = "127.0.0.1";
    std::uint32_t port_ = kRoomPort;
};

// Start-up step for the audio/video connection: 0, or -1 when the library
// gives no connection (the room then works without audio and video).
int StartAVConnection(const std::string& host, std::uint32_t port = CInit::kRoomPort);
// Exit path: closes and forgets the audio/video connection.
void ReleaseAVConnection();
