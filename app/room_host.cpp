#include "app/room_host.h"

#include "net/proxy_sinks.h"

CRoomHost::CRoomHost(IRoomView& view, IRoomLink& link, IRoomAccount& account)
    : session_(std::make_unique<CRoomSession>(view, link, *this, clock_, account)) {}

CRoomHost::~CRoomHost() = default;

std::intptr_t CRoomHost::OnMessage(const WindowMessage& m) {
    CRoomSession& s = *session_;
    switch (m.msg) {
        case UM_SERVER_PACKET:
            if (auto* p = m.As<ServerPacket>())
                s.OnServerPacket(static_cast<std::uint32_t>(m.wParam), p->body.data(),
                                 p->body.size());
            break;
        case UM_CHAT_PROXY_CONNECTED: s.OnChatConnected(); break;
        case UM_MSERVER_CONNECTED: s.OnMediaConnected(); break;
        case UM_AVTRAN_CONNECTED: s.OnAVConnected(); break;
        case UM_PROXY_STATUS:
            if (auto* t = m.As<ProxyStatusText>())
                s.OnProxyStatus(static_cast<std::uint32_t>(m.wParam), t->text);
            break;
        case UM_POWER_LIST:
            if (auto* t = m.As<std::string>()) s.OnPowerList(*t);
            break;
        case UM_ENTER_ROOM: s.EnterRoom(static_cast<std::uint32_t>(m.wParam)); break;
        case UM_EXIT_APPLICATION:
            s.ExitApplication();
            if (onExit_) onExit_();
            break;
        default: break;
    }
    return 0;
}

void CRoomHost::OnTimer(unsigned id) { session_->OnTimer(id); }
