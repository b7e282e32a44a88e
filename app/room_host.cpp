#include "app/room_host.h"

#include "core/app_context.h"
#include "core/log.h"
#include "net/proxy_sinks.h"
#include "platform/kitlib/kitlib.h"
#include "room/anchor_sign.h"
#include "room/catalogue/gift_record.h"
#include "room/chat_transfers.h"
#include "room/mic/room_mic.h"
#include "room/purchases/purchase_messages.h"
#include "room/role_table.h"
#include "room/video/room_video.h"

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
            // The HTTP helper's answer; without one the request failed.
            if (auto* a = m.As<KitlibAnswer>())
                s.OnPowerList(std::string(a->bytes.begin(), a->bytes.end()));
            else
                log_msg("power list request fail\r\n");
            break;
        case UM_ROLE_VESTS_DONE:
        case UM_CHAT_PICTURE_DONE:
        case UM_CHAT_UPLOAD_DONE:
        case UM_GIFT_ICON_DONE:
        case UM_CAR_ICON_DONE:
        case UM_MEDAL_ICON_DONE: s.OnFeatureMessage(m); break;
        // Voice messages: a playback ended, an upload was answered.
        case UM_VOICE_PLAY_DONE:
        case UM_VOICE_UPLOAD_DONE: s.OnFeatureMessage(m); break;
        case UM_TALK_KEY: s.OnFeatureMessage(m); break;
        // The check-in service's answers to the anchor's clock-in and sign-in.
        case anchor_sign::UM_CLOCK_IN_DONE:
        case anchor_sign::UM_SIGN_IN_DONE: s.OnFeatureMessage(m); break;
        case UM_VIDEO_FIRST_PICTURE: s.OnFeatureMessage(m); break;
        case UM_SPEAKER_STATE:
            s.OnSpeakerState(static_cast<std::uint32_t>(m.wParam), m.lParam == 1);
            break;
        case UM_ENTER_ROOM: s.EnterRoom(static_cast<std::uint32_t>(m.wParam)); break;
        case UM_EXIT_APPLICATION:
            s.ExitApplication();
            // The exit path also ends the audio/video connection.
            if (AppContext::instance().GetAVProxy()) ReleaseAVConnection();
            if (onExit_) onExit_();
            break;
        case UM_CONSOLE_LINE:
            if (auto* t = m.As<std::string>(); t && onInput_) onInput_(*t);
            break;
        // My pack and a used card's result: the room's moderation keeps the pack.
        case UM_PACK_LIST:
        case UM_PROP_USED: s.OnFeatureMessage(m); break;
        // The account's purchase answers and the purchase dialogs' choices.
        case UM_FLOWER_COUNT:
        case UM_BALANCE:
        case UM_PURCHASE_RESULT:
        case UM_WEALTH_GRADE:
        case UM_BILLBOARD:
        case UM_FLOWER_FAILED:
        case UM_CAR_ACTIVATED:
        case UM_CAR_LIST:
        case UM_RECHARGE_RESULT:
        case purchase::UM_ITEM_CHOSEN:
        case purchase::UM_BUY_ITEM:
        case purchase::UM_ACTIVATE_CAR:
        case purchase::UM_USE_PROP: s.OnFeatureMessage(m); break;
        // My VIP grade starts the item catalogues; their syncs report back.
        case UM_VIP_LIST:
        case catalogue::UM_GIFT_CONFIG_DONE:
        case catalogue::UM_CAR_CONFIG_DONE:
        case catalogue::UM_VIP_CONFIG_DONE:
        case catalogue::UM_PACK_CONFIG_DONE:
        case catalogue::UM_CATALOGUE_PROGRESS: s.OnFeatureMessage(m); break;
        default: break;
    }
    return 0;
}

void CRoomHost::OnTimer(unsigned id) { session_->OnTimer(id); }
