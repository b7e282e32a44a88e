#pragma once
// The room's chat: lines from other users, the user's own lines with their
// checks, pictures sent and received, and the data the server pushes
// (system texts and pictures, gift, car and prop lines, the flower counter).

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "chat/chat_input.h"
#include "chat/chat_pictures.h"
#include "chat/face_table.h"
#include "chat/picture_send.h"
#include "chat/voice_clips.h"
#include "net/catalogue_chat.h"
#include "room/chat_entry.h"
#include "room/chat_transfers.h"
#include "room/room_session.h"

struct RoomChatSetup {
    std::string programFolder;  // skin images below it; empty: the executable's folder
    std::string dataFolder;     // "res/…" picture caches below it; empty: the data folder
    std::string imageFolder;    // received chat pictures; empty: the user's "Image/"
    // The VIP badge of a VIP level (a local file), from the VIP catalogue;
    // empty function or result: no badge.
    std::function<std::string(std::uint32_t level)> vipIcon;
};

// Longest line, in UTF-16 units of its plain text.
inline constexpr std::size_t kMaxChatUnits = 256;

class CRoomChat : public IRoomFeature {
public:
    // Construct after session.Start(); adds itself to the session.
    CRoomChat(CRoomSession& session, IRoomAccount& account, IChatTransfers& transfers,
              const CFaceTable& faces, RoomChatSetup setup);
    ~CRoomChat() override;
    CRoomChat(const CRoomChat&) = delete;
    CRoomChat& operator=(const CRoomChat&) = delete;

    // --- sending -------------------------------------------------------
    enum class SendResult {
        sent,
        too_soon,     // within the room's chat interval: nothing happens
        empty,        // tip "发送内容不能为空"
        too_long,     // tip "发送消息内容超长，请分条发送。"
        gagged,       // tip "你已被禁言！"
        no_power,     // tip "无权限!"
        not_in_room,  // tip "请先进入房间"
        no_receiver,  // tip "对方不在房间"
        not_sent,     // the chat connection refused it
        usage,        // a typed "/to" without an id and a text: tip "usage: /to ID text"
        command,      // a typed line another feature took as its command
    };
    // The composed input as a public line, or a private one to `receiverId`.
    SendResult SendInput(const IChatInput& input, std::uint32_t receiverId = 0);
    // Typed text as a line (the headless input): "/to ID text" is a private
    // line to ID, any other "/to" is refused with `usage` and sends nothing,
    // a command word of another feature ("/gag", "/mode"…) goes to it,
    // anything else is a public line.
    SendResult SendLine(const std::string& typed);
    // The picture button: checks, the echo and the upload; the line itself
    // goes once the picture service has answered.
    SendResult SendPicture(const std::string& path, std::uint32_t receiverId = 0);
    // Whether I may send a line that needs no text now (a voice message
    // before it is recorded): in a room, not gagged, with the chat power.
    // Refusals show their tip.
    SendResult CheckMaySend();
    // A line whose content a service has just stored (a picture or voice
    // message): the interval does not apply, the rest is checked again.
    SendResult SendStored(const std::string& code, std::uint32_t receiverId, bool echo);

    // --- completions ---------------------------------------------------
    // Messages 1725, 1727, 1766 and 1771. True when the message was ours.
    bool OnTransferMessage(unsigned message, const KitlibAnswer* answer);

    // --- state -----------------------------------------------------------
    std::uint32_t flowers() const { return flowers_; }
    // The account's flower count of the anchor.
    void SetFlowerCount(std::uint32_t n);
    // My line's colour (0xRRGGBB) and font settings text.
    void SetMyStyle(std::uint32_t colour, std::string fontSettings);
    std::uint32_t myColour() const { return myColour_; }
    const std::string& myFont() const { return myFont_; }
    CChatPictures& pictures() { return pictures_; }
    CVoiceClipMap& voices() { return voices_; }

    // IRoomFeature
    bool OnPacket(std::uint32_t command, const unsigned char* body, std::size_t length) override;
    void OnRoomCleared() override;
    bool OnWindowMessage(const WindowMessage& m) override;

private:
    struct IconWait {
        IChatView* view;
        ChatObjectKey key;
        ShowPictureKey show;
    };
    enum class Check { full, no_interval };

    SendResult Refuse(SendResult r);
    SendResult CheckBeforeSending(Check check);
    SendResult SendCode(const std::string& code, std::uint32_t receiverId, bool echo);
    void Echo(const std::string& code, std::uint32_t receiverId);
    msg::chat_attrs MyAttrs() const;

    void OnChatNotify(const unsigned char* body, std::size_t length);
    void OnSendAnswer(const unsigned char* body, std::size_t length);
    void OnPush(const unsigned char* body, std::size_t length);
    void PushSystem(const std::string& code);
    void PushGift(const std::string& json);
    void PushCar(const std::string& json);
    void PushProp(const std::string& json);
    void PushFlower(const std::string& json);

    // A gift or car picture: shown at once when cached, else a placeholder
    // completed by its one download. `show` names the waiting banner item.
    void AppendIcon(IChatView& view, unsigned doneMessage, const std::string& folder,
                    const std::string& url, ShowPictureKey show, std::string* path, bool* pending);
    void OnIconDone(const TransferDone& done);
    void OnUploadDone(const TransferDone& done);

    ChatRenderContext Context(bool ownLine, bool serverLine);
    IChatView& LineView(std::uint32_t vipLevel);
    std::string WealthIcon(std::uint32_t userId) const;
    std::string VipIcon(std::uint32_t level) const;

    CRoomSession& session_;
    IRoomAccount& account_;
    IChatTransfers& transfers_;
    const CFaceTable& faces_;
    RoomChatSetup setup_;
    CChatPictures pictures_;
    CVoiceClipMap voices_;
    CPictureSender sender_;

    bool sentOnce_ = false;
    std::uint32_t lastSentTick_ = 0;
    std::map<std::uint64_t, std::uint32_t> uploadReceivers_;  // ticket -> receiver
    std::uint32_t myColour_ = 0;
    std::string myFont_;
    std::uint32_t flowers_ = 0;
    bool vipShown_ = false;
    // destination -> what waits for it
    std::map<std::string, std::vector<IconWait>> iconWaits_;
    ChatObjectKey nextIconKey_;
    ShowPictureKey nextShowKey_ = 1;
};
