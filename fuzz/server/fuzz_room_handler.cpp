// The room handler fed arbitrary packets after real logins. Six relay
// sessions (three chat, three audio/video, all from one address) are fakes
// that check what they are sent; the input is a script of steps: packets of
// any command, channel and body,
// logins with the users' real tokens and any card, media logins with the
// right key or a wrong one, chat lines, the passing of time (tokens expire,
// the mic queues' clock turns), sign-outs, gags, pushes, reconnects, and
// moderation and microphone requests from members of every role with any
// target and value. What the clients receive must hold:
//  - every frame is well formed, every user list fits its packet;
//  - cards and chat headers carry the server's grades and VIP levels,
//    whatever a login claimed;
//  - a media login with a wrong or missing key is refused;
//  - a guest's line never shows a stored picture;
//  - a signed-out or kicked user has no login left;
//  - a mic queue holds at most 100 members, each once, all in the room, and
//    the anchor microphone's holder is in the room.
// Time is the script's; each input starts from the same database (the
// requests store gags, kicks, roles and modes).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chat/chat_code.h"
#include "core/clock.h"
#include "core/paths.h"
#include "net/catalogue_chat.h"
#include "net/adts.h"
#include "net/catalogue_media.h"
#include "net/catalogue_mic.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "net/commands.h"
#include "net/power.h"
#include "platform/relayhub/frame.h"
#include "server/account_store.h"
#include "server/database.h"
#include "server/room_handler.h"
#include "server/seed.h"

namespace {

using namespace server;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "violated: %s\n", what);
        std::abort();
    }
}

constexpr std::int64_t kIssued = 1700000000;
// In room 1001 Alice is the owner, Bob a manager, Carol the anchor and Dave
// a guest; in 1002 Bob owns it and Carol is its anchor.
constexpr std::uint32_t kAlice = 10001, kBob = 10002, kCarol = 10003, kDave = 10004;
constexpr std::uint32_t kUsers[] = {kAlice, kBob, kDave, kCarol};
constexpr std::size_t kUserCount = std::size(kUsers);
constexpr std::uint32_t kRooms[] = {1001, 1002, 9999};
// Alice has spent 2000 coins (grade 4) and holds VIP 3; the others are grade 1.
constexpr std::uint32_t GradeOf(std::uint32_t user) { return user == kAlice ? 4 : 1; }
constexpr std::uint32_t VipOf(std::uint32_t user) { return user == kAlice ? 3 : 0; }

// The database, built once: the demo data, the users' tokens (Bob's lives
// 120 s), Alice's spending and VIP. Every input works on a fresh copy.
struct World {
    std::string dir;
    std::string built;  // as seeded, never opened again
    std::string file;   // the copy the handler works on
    CServerDb db;
    CAccountStore store;
    std::map<std::uint32_t, std::string> tokens;
    // A change was stored (every stored change is told to the room).
    bool dirty = true;

    World() {
        // In memory where there is a tmpfs: the copies and commits of every
        // input would otherwise wait on the disk.
        char shm[] = "/dev/shm/zeri-fuzz-room-XXXXXX";
        char tmp[] = "/tmp/zeri-fuzz-room-XXXXXX";
        char* tmpl = std::filesystem::is_directory("/dev/shm") ? shm : tmp;
        Check(mkdtemp(tmpl) != nullptr, "temporary folder");
        dir = tmpl;
        built = dir + "/built.db";
        file = dir + "/zeri-server.db";
        std::string err;
        Check(db.Open(built, err) && SeedDemo(db, SeedOptions{1000}, err), "database");
        Check(store.Open(built, err), "account store");
        store.RecordSpending(kAlice, 2000, kIssued);
        store.AddVip(kAlice, {1, 3, "VIP3", 0});
        for (std::uint32_t u : kUsers) tokens[u] = db.IssueToken(u, kIssued, u == kBob ? 120 : 3600);
        store.Close();
        db.Close();
        Check(!std::filesystem::exists(built + "-wal"), "the built database is whole");
    }
    // The built database again, as if nothing had happened since.
    void Fresh() {
        if (!dirty) return;
        dirty = false;
        store.Close();
        db.Close();
        std::error_code ec;
        for (const char* extra : {"-wal", "-shm"}) std::filesystem::remove(file + extra, ec);
        Check(std::filesystem::copy_file(built, file,
                                         std::filesystem::copy_options::overwrite_existing, ec),
              "database copy");
        std::string err;
        Check(db.Open(file, err) && store.Open(file, err), "database");
    }
    ~World() {
        store.Close();
        db.Close();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

World& TheWorld() {
    static World w;
    return w;
}

class ScriptClock : public IClock {
public:
    std::uint32_t TickMs() override { return tick; }
    std::time_t Now() override { return kIssued + 1 + wall; }
    std::uint32_t tick = 0;
    std::int64_t wall = 0;
};

class Script {
public:
    Script(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}
    bool done() const { return left_ == 0; }
    std::uint8_t u8() {
        if (!left_) return 0;
        --left_;
        return *p_++;
    }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() << 8 | u8()); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(u16()) << 16 | u16(); }
    std::string bytes(std::size_t max) {
        const std::size_t n = std::min<std::size_t>(u16() % (max + 1), left_);
        std::string out(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        left_ -= n;
        return out;
    }

private:
    const std::uint8_t* p_;
    std::size_t left_;
};

constexpr std::uint32_t kCommands[] = {
    cmd::Control_Login_Req,     cmd::Control_Logout_Req, cmd::Control_Get_Room_Info_Req,
    cmd::Control_Send_Chat_Req, cmd::Video_Login_Req,    cmd::Video_Logout_Req,
    cmd::Mix_Login_Req,         cmd::Mix_Logout_Req,     cmd::Video_Data,
    cmd::Mix_Audio_Data,        cmd::Control_Set_Room_Info_Req};

// What the Moderate step sends; raw packets reach them too.
constexpr std::uint32_t kRequests[] = {
    cmd::Control_Gag_Req,           cmd::Control_Cancel_Gag_Req,   cmd::Control_Kick_Req,
    cmd::Control_Set_Power_Req,     cmd::Control_Set_Room_Mode_Req, cmd::Control_Open_Mic_Req,
    cmd::Control_Close_Mic_Req,     cmd::Control_Set_User_Mic_Req, cmd::Control_Rob_Wheat_Req,
    cmd::Control_Put_Wheat_Req,     cmd::Control_Control_Wheat_Req, cmd::Control_Disable_Wheat_Req,
    cmd::Control_Top_Wheat_Req,     cmd::Control_Add_WheatTm_Req,  cmd::Control_Remove_Wheat_Req,
    cmd::Control_RemoveAll_Wheat_Req, cmd::Mix_Open_Mic_Req};

template <class Msg>
std::string Body(const Msg& m) {
    TLV::body b;
    if (!wire::write_fields(b, m)) return {};
    const auto bytes = TLV::encode(static_cast<const TLV::body&>(b));
    return std::string(bytes.begin(), bytes.end());
}

class Harness;

// A relay session over nothing: what the handler sends is checked at once;
// a close reaches the handler after the step, as the relay's would.
class FakeSession : public CRelaySession {
public:
    FakeSession(Harness& h, int slot, std::uint64_t id, bool chat)
        : h_(h), slot_(slot), id_(id), name_(chat ? "pc_chat" : "pc_av") {}
    bool Send(std::uint8_t channel, std::uint32_t command, std::string_view body) override;
    void CloseWithError(std::uint32_t, const std::string&) override { closing = true; }
    void Close() override { closing = true; }
    void CloseAfterSending() override { closing = true; }
    std::uint64_t id() const override { return id_; }
    const std::string& name() const override { return name_; }
    const std::string& remoteAddress() const override { return address_; }
    bool closed() const override { return notified; }
    std::size_t queuedBytes() const override { return 0; }

    bool closing = false;   // asked to close
    bool notified = false;  // the handler has been told

private:
    Harness& h_;
    int slot_;
    std::uint64_t id_;
    std::string name_;
    const std::string address_ = "127.0.0.1";  // everyone behind one address
};

struct Peer {
    std::shared_ptr<FakeSession> session;
    bool chat = true;
    std::uint32_t loginUser = 0;   // whom the last chat login was for
    bool refusalExpected = false;  // a media login with a wrong key is out
};

class Harness {
public:
    Harness() : rooms_(TheWorld().db, TheWorld().store, clock_) {
        for (int i = 0; i < 6; ++i) Open(i);
    }
    ~Harness() {
        rooms_.CloseAll();
        Settle();
    }

    void Step(Script& in) {
        switch (in.u8() % 11) {
            case 0: RawPacket(in); break;
            case 1: ChatLogin(in); break;
            case 2: MediaLogin(in); break;
            case 3:
                clock_.tick += in.u16();
                clock_.wall += in.u8() * 4;
                rooms_.OnTick(clock_.Now());
                break;
            case 4: {
                const std::uint32_t user = kUsers[in.u8() % kUserCount];
                rooms_.EndUserSessions(user);
                for (std::uint32_t room : kRooms) {
                    Check(!rooms_.ChatIn(user, room), "chat login left after sign-out");
                    Check(!rooms_.VideoIn(user, room) && !rooms_.MixIn(user, room),
                          "media login left after sign-out");
                }
                break;
            }
            case 5:
                rooms_.SetGagged(kRooms[0], kUsers[in.u8() % kUserCount], in.u8() & 1);
                break;
            case 6: {
                const int type = in.u8() % 3;
                rooms_.PushToRoom(kRooms[0], type, in.bytes(512));
                break;
            }
            case 7: {
                const int i = in.u8() % 6;
                peers_[i].session->closing = true;
                Settle();
                Open(i);
                break;
            }
            case 8: ChatLine(in); break;
            case 9: Voice(in); break;
            default: Moderate(in); break;
        }
        Settle();
        CheckRooms();
    }

    // What a session was sent, checked as its client would read it.
    void Received(int slot, std::uint32_t command, std::string_view body);

private:
    // Sessions asked to close are closed, as the relay does after a write.
    void Settle() {
        for (Peer& p : peers_) {
            if (!p.session->closing || p.session->notified) continue;
            p.session->notified = true;
            rooms_.OnClosed(p.session);
        }
    }

    void Open(int i) {
        Peer& p = peers_[i];
        p = Peer{};
        p.chat = i < 3;
        p.session = std::make_shared<FakeSession>(*this, i, nextId_++, p.chat);
        std::string reason;
        Check(rooms_.OnHello(p.session, p.session->name(), reason), "hello refused");
    }

    void Send(Peer& p, std::uint8_t channel, std::uint32_t command, const std::string& body) {
        if (p.session->notified) return;  // the relay hands nothing on after a close
        rooms_.OnPacket(p.session, channel, command,
                        reinterpret_cast<const unsigned char*>(body.data()), body.size());
    }

    void RawPacket(Script& in) {
        Peer& p = peers_[in.u8() % 6];
        const std::uint8_t sel = in.u8();
        const std::uint8_t which = in.u8();
        const std::uint32_t command =
            which < std::size(kCommands) * 16 ? kCommands[which % std::size(kCommands)]
            : which < 0xF0                    ? kRequests[which % std::size(kRequests)]
                                              : in.u32();
        p.loginUser = 0;  // a login of its own making is nobody's
        std::uint8_t channel = 1;
        if (sel & 0x80) channel = sel & 0x7F;
        else if (!p.chat) channel = (command >> 24) == 0x05 ? 3 : 2;
        Send(p, channel, command, in.bytes(4096));
    }

    void ChatLogin(Script& in) {
        Peer& p = peers_[in.u8() % 3];
        msg::Control_Login_Req r;
        r.user_id = kUsers[in.u8() % kUserCount];
        r.room_id = kRooms[in.u8() % 3];
        r.nickname = in.bytes(64);
        r.token = TheWorld().tokens[r.user_id];
        const std::string card = in.bytes(1500);
        r.card = wire::decode<msg::user_card>(reinterpret_cast<const unsigned char*>(card.data()),
                                              card.size());
        p.loginUser = r.user_id;
        Send(p, 1, r.id, Body(r));
    }

    void MediaLogin(Script& in) {
        Peer& p = peers_[3 + in.u8() % 3];
        const bool video = in.u8() & 1;
        const std::size_t who = in.u8() % kUserCount;
        const std::uint32_t user = kUsers[who];
        const std::uint32_t room = kRooms[in.u8() % 2];
        std::string key = keys_[user];
        const std::uint8_t how = in.u8() % 4;
        if (how == 1) key.clear();
        else if (how == 2) key = keys_[kUsers[(who + 1) % kUserCount]];
        else if (how == 3 && !key.empty()) key[in.u8() % key.size()] ^= 1;
        // Its answer, if the session still takes requests, must refuse it.
        p.refusalExpected = key.empty() || key != keys_[user];
        if (video) {
            msg::Video_Login_Req r;
            r.user_id = user, r.room_id = room, r.media_key = key;
            Send(p, 2, r.id, Body(r));
        } else {
            msg::Mix_Login_Req r;
            r.user_id = user, r.room_id = room, r.media_key = key;
            Send(p, 3, r.id, Body(r));
        }
        p.refusalExpected = false;
    }

    void ChatLine(Script& in) {
        Peer& p = peers_[in.u8() % 3];
        const std::uint32_t user = kUsers[in.u8() % kUserCount];
        const std::uint8_t kind = in.u8() % 3;
        const std::uint32_t to = kind ? kUsers[in.u8() % kUserCount] : 0;
        msg::chat_attrs a;
        a.wealth_grade = 8;
        a.vip_level = 9;
        a.font = in.bytes(300);
        Send(p, 1, cmd::Control_Send_Chat_Req,
             Body(msg::make_chat_req(user, in.bytes(9000), kind, to, a)));
    }

    // A moderation or microphone request of any kind, from the peer's own
    // user (mostly) or another, about any member, a stranger or nobody, with
    // a value that is small (modes, roles, switches) or any at all.
    void Moderate(Script& in) {
        const std::uint8_t sel = in.u8();
        const std::uint32_t command = kRequests[in.u8() % std::size(kRequests)];
        const bool media = command == cmd::Mix_Open_Mic_Req;
        Peer& p = peers_[(media ? 3 : 0) + sel % 3];
        const std::uint8_t how = in.u8();
        std::uint32_t me = kUsers[how % kUserCount];
        if ((how & 0xC0) == 0 && p.loginUser) me = p.loginUser;
        if ((how & 0xC0) == 0xC0) me = in.u32();
        const std::uint8_t t = in.u8();
        const std::uint32_t target = t < 0x80 ? kUsers[t % kUserCount] : t < 0xF0 ? t - 0x80 : in.u32();
        const std::uint8_t v = in.u8();
        const std::uint32_t value = v < 0xF0 ? v : in.u32();
        const std::uint32_t room = kRooms[in.u8() % 3];
        std::string body;
        switch (command) {
            case cmd::Control_Gag_Req: {
                msg::Control_Gag_Req r;
                r.user_id = me, r.target_id = target, r.reason = in.bytes(600), r.option = value;
                body = Body(r);
                break;
            }
            case cmd::Control_Cancel_Gag_Req: {
                msg::Control_Cancel_Gag_Req r;
                r.user_id = me, r.target_id = target;
                body = Body(r);
                break;
            }
            case cmd::Control_Kick_Req: {
                msg::Control_Kick_Req r;
                r.target_id = target, r.reason = in.bytes(600);
                r.duration = value < 0xF0 ? value * 60 : value;
                body = Body(r);
                break;
            }
            case cmd::Control_Set_Power_Req: {
                msg::Control_Set_Power_Req r;
                r.user_id = me, r.target_id = target;
                r.role = static_cast<std::uint8_t>(value);
                r.duration = in.u8() < 0x80 ? in.u8() : in.u32();
                body = Body(r);
                break;
            }
            case cmd::Control_Set_Room_Mode_Req: {
                msg::Control_Set_Room_Mode_Req r;
                r.user_id = me, r.mode = value;
                body = Body(r);
                break;
            }
            case cmd::Control_Open_Mic_Req: {
                msg::Control_Open_Mic_Req r;
                r.user_id = me, r.room_id = room;
                body = Body(r);
                break;
            }
            case cmd::Control_Close_Mic_Req: {
                msg::Control_Close_Mic_Req r;
                r.user_id = me, r.room_id = room;
                body = Body(r);
                break;
            }
            case cmd::Mix_Open_Mic_Req: {
                msg::Mix_Open_Mic_Req r;
                r.user_id = me, r.room_id = room, r.granted = value;
                body = Body(r);
                break;
            }
            case cmd::Control_Set_User_Mic_Req:
            case cmd::Control_Control_Wheat_Req:
            case cmd::Control_Disable_Wheat_Req: {
                // Tag 1 my id, tag 2 the user given the microphone or the switch.
                msg::Control_Set_User_Mic_Req r;
                r.user_id = me;
                r.value = command == cmd::Control_Set_User_Mic_Req ? target : value;
                body = Body(r);
                break;
            }
            default: {
                // The queue's one-user requests: my id (rob, put, remove all)
                // or the member acted on (top, add time, remove).
                msg::Control_Rob_Wheat_Req r;
                const bool onOther = command == cmd::Control_Top_Wheat_Req ||
                                     command == cmd::Control_Add_WheatTm_Req ||
                                     command == cmd::Control_Remove_Wheat_Req;
                r.user_id = onOther ? target : me;
                body = Body(r);
                break;
            }
        }
        Send(p, media ? 3 : 1, command, body);
    }

    // Voice from a media connection: ADTS frames, mostly of the kind the
    // relay takes, sometimes of another or with a byte spoiled.
    void Voice(Script& in) {
        Peer& p = peers_[3 + in.u8() % 3];
        const int frames = 1 + in.u8() % 5;
        const std::uint8_t kind = in.u8();
        std::string audio;
        for (int f = 0; f < frames; ++f) {
            const std::size_t len = 7 + in.u16() % 700;
            const int sampling = kind & 0x10 ? kind & 0x0F : 7;
            const int channels = kind & 0x20 ? 2 : 1;
            unsigned char h[adts::kHeaderBytes];
            adts::WriteHeader(h, adts::kProfileLc, sampling, channels, len);
            audio.append(reinterpret_cast<const char*>(h), 7);
            std::string body = in.bytes(len - 7);
            body.resize(len - 7, '\0');  // whole frames unless spoiled below
            audio += body;
        }
        if (kind & 0x40 && !audio.empty()) audio[in.u16() % audio.size()] ^= in.u8();
        msg::Mix_Audio_Data d;
        d.audio = wire::bytes(reinterpret_cast<const unsigned char*>(audio.data()), audio.size());
        d.stamp_diff = in.u32();
        Send(p, 3, d.id, Body(d));
    }

    // What must hold of every room after any step.
    void CheckRooms() {
        for (std::uint32_t room : kRooms) {
            const std::vector<std::uint32_t> turns = rooms_.FreeTurnsOf(room);
            const std::uint32_t holder = rooms_.AnchorOf(room);
            const bool anchorAlso =
                holder && std::find(turns.begin(), turns.end(), holder) == turns.end();
            Check(turns.size() + (anchorAlso ? 1 : 0) <= 2, "more than two voices in a room");
            for (std::uint32_t user : turns)
                Check(rooms_.ChatIn(user, room), "a free turn of someone not in the room");
            const std::vector<std::uint32_t> queue = rooms_.QueueOf(room);
            Check(queue.size() <= 100, "a mic queue over 100");
            for (std::size_t i = 0; i < queue.size(); ++i) {
                Check(rooms_.ChatIn(queue[i], room), "a mic queue holds someone not in the room");
                Check(std::find(queue.begin(), queue.begin() + i, queue[i]) == queue.begin() + i,
                      "a member twice in a mic queue");
            }
            const std::uint32_t anchor = rooms_.AnchorOf(room);
            Check(anchor == 0 || rooms_.ChatIn(anchor, room),
                  "the anchor microphone held by someone not in the room");
        }
        for (std::uint32_t user : kicked_)
            for (std::uint32_t room : kRooms) {
                Check(!rooms_.ChatIn(user, room), "a kicked user still in the room");
                Check(!rooms_.VideoIn(user, room) && !rooms_.MixIn(user, room),
                      "a kicked user's media login left");
            }
        kicked_.clear();
    }

    static void CheckCard(std::uint32_t user, const msg::user_card& c) {
        Check(c.wealth_grade == GradeOf(user), "a card with a claimed grade");
        Check(c.vip_level == VipOf(user), "a card with a claimed VIP level");
        Check(c.head_url.empty(), "a card with a claimed head picture");
        Check(c.medal_url == "/wealth/" + std::to_string(GradeOf(user)) + ".png",
              "a card with a claimed medal");
    }

    ScriptClock clock_;
    CRoomHandler rooms_;
    Peer peers_[6];
    std::map<std::uint32_t, std::string> keys_;
    // Users told of their kick during this step.
    std::vector<std::uint32_t> kicked_;
    // Dave is a guest until the script gives him a role.
    bool daveIsGuest_ = true;
    std::uint64_t nextId_ = 1;
};

bool FakeSession::Send(std::uint8_t, std::uint32_t command, std::string_view body) {
    if (closing || notified) return false;
    h_.Received(slot_, command, body);
    return true;
}

void Harness::Received(int slot, std::uint32_t command, std::string_view body) {
    Check(body.size() <= relay::kMaxFramePayload, "a packet over the frame limit");
    Peer& p = peers_[slot];
    const auto* b = reinterpret_cast<const unsigned char*>(body.data());
    const std::size_t n = body.size();
    switch (command) {
        case cmd::Control_Gag_Notify:
        case cmd::Control_Cancel_Gag_Notify:
        case cmd::Control_Room_Mode_Notify:
            TheWorld().dirty = true;
            break;
        case cmd::Control_Gag_Resp:
        case cmd::Control_Cancel_Gag_Resp:
        case cmd::Control_Kick_Resp:
        case cmd::Control_Set_Power_Resp:
        case cmd::Control_Set_Room_Mode_Resp:
            // Read for the status tags only, which every response shares.
            if (wire::decode<msg::Control_Kick_Resp>(b, n).ok()) TheWorld().dirty = true;
            break;
        case cmd::Control_Login_Resp: {
            const auto r = wire::decode<msg::Control_Login_Resp>(b, n);
            if (r.ok()) keys_[p.loginUser] = r.media_key;
            break;
        }
        case cmd::Video_Login_Resp:
        case cmd::Mix_Login_Resp: {
            const auto r = wire::decode<msg::Mix_Login_Resp>(b, n);
            if (p.refusalExpected) Check(!r.ok(), "a media login with a wrong key was accepted");
            break;
        }
        case cmd::Control_Room_UserList_Notify: {
            Check(n <= kUserListPacketBytes, "a user list over its packet size");
            for (const auto& u : wire::decode<msg::Control_Room_UserList_Notify>(b, n).users)
                CheckCard(u.user_id, u.card);
            break;
        }
        case cmd::Control_User_Login_Notify: {
            const auto r = wire::decode<msg::Control_User_Login_Notify>(b, n);
            CheckCard(r.user_id, r.card);
            break;
        }
        case cmd::Control_Chat_Notify: {
            const auto r = wire::decode<msg::Control_Chat_Notify>(b, n);
            Check(r.attrs.wealth_grade == GradeOf(r.sender_id) &&
                      r.attrs.vip_level == VipOf(r.sender_id),
                  "a chat line with a claimed grade");
            // Dave, while a guest everywhere: no picture power.
            if (r.sender_id == kDave && daveIsGuest_)
                Check(!chatcode::CarriesStoredPicture(msg::chat_line_text(r.line)),
                      "a guest's line shows a picture");
            break;
        }
        case cmd::Control_Power_Notify: {
            TheWorld().dirty = true;
            const auto r = wire::decode<msg::Control_Power_Notify>(b, n);
            if (r.ok() && r.user_id == kDave && r.role != kRoleGuest) daveIsGuest_ = false;
            break;
        }
        case cmd::Control_Kick_Notify: {
            TheWorld().dirty = true;
            const auto r = wire::decode<msg::Control_Kick_Notify>(b, n);
            Check(r.ok() && r.user_id != 0, "a kick notice naming nobody");
            kicked_.push_back(r.user_id);
            break;
        }
        case cmd::Control_Wheat_List_Notify: {
            const auto r = wire::decode<msg::Control_Wheat_List_Notify>(b, n);
            Check(r.queue.size() <= 100, "a queue list over 100");
            break;
        }
        default: break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The log has nowhere to go: the handler's lines would drown the fuzzer's.
    paths::SetDataFolderOverride("/dev/null/");
    TheWorld();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Script in(data, size);
    TheWorld().Fresh();
    Harness h;
    for (int steps = 0; !in.done() && steps < 64; ++steps) h.Step(in);
    return 0;
}
