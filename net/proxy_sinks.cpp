#include "net/proxy_sinks.h"

#include <memory>

#include "core/app_context.h"
#include "core/log.h"
#include "core/message.h"
#include "net/catalogue_media.h"
#include "net/commands.h"
#include "net/fields.h"

namespace {

// Shown to the user when the chat connection drops ("network connection broken").
const char kConnectionBroken[] = "网络连接断开";

void SendStatus(std::uint32_t code, std::string text) {
    // An owned copy: the wait below keeps the order of events, and the text no
    // longer depends on the sender's stack.
    TMessageData<ProxyStatusText> data(ProxyStatusText{std::move(text)});
    SendMessage(AppContext::instance().GetHwnd(), UM_PROXY_STATUS, code, 0, &data);
}

template <class Msg>
bool DecodeAs(const unsigned char* body, std::size_t length, int kind, VoicePacket& out) {
    const Msg m = wire::decode<Msg>(body, length);
    if (!m.ok()) return false;  // the server's text instead of voice
    out.kind = kind;
    out.speaker1 = m.speaker1 == 0xFFFFFFFFu ? 0 : m.speaker1;
    out.speaker2 = m.speaker2 == 0xFFFFFFFFu ? 0 : m.speaker2;
    out.stamp = m.stamp;
    out.audio = m.audio.data();
    out.audioLength = m.audio.size();
    return true;
}

}  // namespace

bool ForwardToRoom(const pkinfo* packet) {
    if (!packet) return false;
    auto copy = std::make_unique<TMessageData<ServerPacket>>(ServerPacket{});
    if (packet->length && packet->body)
        copy->value.body.assign(packet->body, packet->body + packet->length);
    return PostMessage(AppContext::instance().GetHwnd(), UM_SERVER_PACKET, packet->cmd, 0,
                       std::move(copy));
}

bool DecodeVoicePacket(std::uint32_t command, const unsigned char* body, std::size_t length,
                       VoicePacket& out) {
    switch (command) {
        case cmd::Audio_Aac_Notify: return DecodeAs<msg::Audio_Aac_Notify>(body, length, 1, out);
        case cmd::Audio_Amr_Notify: return DecodeAs<msg::Audio_Amr_Notify>(body, length, 0, out);
        case cmd::Mix_Aac_Notify: return DecodeAs<msg::Mix_Aac_Notify>(body, length, 1, out);
        case cmd::Mix_Amr_Notify: return DecodeAs<msg::Mix_Amr_Notify>(body, length, 0, out);
        default: return false;
    }
}

bool HandleVoicePacket(std::uint32_t command, const unsigned char* body, std::size_t length) {
    VoicePacket v;
    if (!DecodeVoicePacket(command, body, length, v)) return false;
    AppContext& ctx = AppContext::instance();
    ctx.updateSpeakers(v.speaker1, v.speaker2);
    if (v.audioLength)
        ctx.OnAudioPacket(v.kind, v.speaker1, v.stamp, v.audio, v.audioLength);
    return true;
}

bool DecodeVideoPacket(const unsigned char* body, std::size_t length, VideoFrameHeader& h,
                       std::span<const unsigned char>& frame) {
    const auto m = wire::decode<msg::Video_Data_Notify>(body, length);
    if (!m.ok()) return false;
    const std::uint32_t w = m.header_word;
    h.f0 = static_cast<std::uint8_t>((w >> 28) & 0x0F);
    h.f1 = static_cast<std::uint8_t>((w >> 24) & 0x0F);
    h.f2 = static_cast<std::uint8_t>((w >> 8) & 0xFF);
    h.f3 = static_cast<std::uint8_t>(w & 0xFF);
    h.f4 = static_cast<std::uint8_t>((w >> 16) & 0xFF);
    h.extra = m.value4;
    h.source = m.value1;
    frame = m.frame;
    return true;
}

bool HandleVideoPacket(const unsigned char* body, std::size_t length) {
    VideoFrameHeader h;
    std::span<const unsigned char> frame;
    if (!DecodeVideoPacket(body, length, h, frame)) return false;
    AppContext::instance().PlayFrame(h, frame.data(), frame.size());
    return true;
}

// ---- chat connection status ----

int CProxyStatus::OnConnect() {
    connected_ = true;
    log_msg("proxy connect\r\n");
    return 0;
}

int CProxyStatus::OnDisconnect() {
    connected_ = false;
    SendStatus(0, kConnectionBroken);
    log_msg("proxy disconnect\r\n");
    return 0;
}

int CProxyStatus::OnError(std::uint32_t code, const char* text) {
    const std::string t = text ? text : "";
    SendStatus(code, t);
    log_msg("proxy error code:%u error:%s\r\n", code, t.c_str());
    return 0;
}

// ---- channel sinks ----

int CChannelSink::OnJoin(std::uint32_t) { return log_msg("%s onJoin\r\n", name_), 0; }
int CChannelSink::OnLeave(std::uint32_t) { return log_msg("%s onLeave\r\n", name_), 0; }

int CChannelSink::OnConnect() {
    PostMessage(AppContext::instance().GetHwnd(), connectedMessage_, 0, 0);
    log_msg("%s proxy connect\r\n", name_);
    return 0;
}

int CChannelSink::OnDisconnect() { return log_msg("%s proxy disconnect\r\n", name_), 0; }

int CChannelSink::OnError(std::uint32_t code, const char* text) {
    log_msg("%s proxy error code:%u error:%s\r\n", name_, code, text ? text : "");
    return 0;
}

CChatRoom::CChatRoom() : CChannelSink("chatroom", UM_CHAT_PROXY_CONNECTED) {}
CAVTran::CAVTran() : CChannelSink("avtran", UM_AVTRAN_CONNECTED) {}
CMServer::CMServer() : CChannelSink("mserver", UM_MSERVER_CONNECTED) {}

int CChatRoom::OnPacket(std::uint32_t, pkinfo* packet) {
    ForwardToRoom(packet);
    return 0;
}

int CAVTran::OnPacket(std::uint32_t, pkinfo* packet) {
    if (!packet) return 0;
    if (packet->cmd == cmd::Video_Data_Notify)
        HandleVideoPacket(packet->body, packet->length);
    else
        ForwardToRoom(packet);
    return 0;
}

int CMServer::OnPacket(std::uint32_t, pkinfo* packet) {
    if (!packet) return 0;
    switch (packet->cmd) {
        case cmd::Audio_Aac_Notify:
        case cmd::Audio_Amr_Notify:
        case cmd::Mix_Aac_Notify:
        case cmd::Mix_Amr_Notify:
            HandleVoicePacket(packet->cmd, packet->body, packet->length);
            break;
        default:
            ForwardToRoom(packet);
    }
    return 0;
}

// ---- start-up ----

void CInit::SetEndpoint(const std::string& host, std::uint32_t port) {
    std::lock_guard<std::mutex> g(lock_);
    host_ = host;
    port_ = port;
}

int CInit::OnInit() {
    std::lock_guard<std::mutex> g(lock_);
    if (chat_) return 0;
    chat_ = net_proxy_register("pc_chat", &CProxyStatus::instance(), 200);
    if (chat_) {
        chat_->connect(host_.c_str(), port_);
        chat_->attach(1, &CChatRoom::instance());
    }
    return 0;
}

void CInit::Reset() {
    std::lock_guard<std::mutex> g(lock_);
    chat_ = nullptr;
}

int StartAVConnection(const std::string& host, std::uint32_t port) {
    IAVProxy* av = net_avproxy_init(100);
    AppContext::instance().SetAVProxy(av);
    if (!av) return -1;
    av->connect(host.c_str(), port);
    av->attach(2, &CAVTran::instance());
    av->attach(3, &CMServer::instance());
    return 0;
}

void ReleaseAVConnection() {
    AppContext& ctx = AppContext::instance();
    if (IAVProxy* av = ctx.GetAVProxy()) {
        av->close();
        ctx.SetAVProxy(nullptr);
    }
    net_avproxy_release();
}
