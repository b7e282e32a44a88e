#include "net/room_link.h"

#include "core/app_context.h"
#include "net/packet.h"

namespace {
bool SendAV(std::uint32_t service, std::uint32_t command, const TLV::body& body) {
    IAVProxy* av = AppContext::instance().GetAVProxy();
    if (!av) return false;
    packet_ptr p = make_packet(command, body);
    return p && av->send(service, p.get());
}
}  // namespace

bool CProxyLink::AttachChat() {
    IChatProxy* chat = net_proxy_generate("pc_chat");
    if (!chat) return false;
    SetChatSender(chat->channel(1));
    return true;
}

void CProxyLink::SetChatSender(IChannelSender* s) {
    std::lock_guard<std::mutex> g(lock_);
    chat_ = s;
}

bool CProxyLink::sendChat(std::uint32_t command, const TLV::body& body) {
    IChannelSender* s;
    {
        std::lock_guard<std::mutex> g(lock_);
        s = chat_;
    }
    // The chat connection is registered on the library's thread at start-up;
    // take its channel as soon as it exists.
    if (!s && AttachChat()) {
        std::lock_guard<std::mutex> g(lock_);
        s = chat_;
    }
    if (!s) return false;
    packet_ptr p = make_packet(command, body);
    return p && s->send(p.get());
}

bool CProxyLink::sendVideoService(std::uint32_t command, const TLV::body& body) {
    return SendAV(1, command, body);
}

bool CProxyLink::sendMediaServer(std::uint32_t command, const TLV::body& body) {
    return SendAV(2, command, body);
}

std::uint32_t CProxyLink::MediaPending() {
    IAVProxy* av = AppContext::instance().GetAVProxy();
    return av ? av->pending(2) : 0;
}

std::uint32_t CProxyLink::VideoPending() {
    IAVProxy* av = AppContext::instance().GetAVProxy();
    return av ? av->pending(1) : 0;
}

std::uint32_t CProxyLink::TakeSentBytes() {
    std::uint32_t n = get_send_size("pc_chat");
    if (IAVProxy* av = AppContext::instance().GetAVProxy()) n += av->sent();
    return n;
}

std::uint32_t CProxyLink::TakeReceivedBytes() {
    std::uint32_t n = get_recv_size("pc_chat");
    if (IAVProxy* av = AppContext::instance().GetAVProxy()) n += av->received();
    return n;
}

std::uint32_t CProxyLink::SignalMs() { return get_signal("pc_chat"); }
