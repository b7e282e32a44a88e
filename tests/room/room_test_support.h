#pragma once
// Shared pieces of the room tests: a link that records what the room sends,
// an account that counts what the room asks of it, and the server's side of
// a room test (its packets, the power list, a room to be in).
#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/paths.h"
#include "net/catalogue_chat.h"
#include "net/catalogue_room.h"
#include "net/fields.h"
#include "net/json.h"
#include "net/power.h"
#include "net/room_link.h"
#include "room/chat_transfers.h"
#include "room/room_account.h"
#include "room/room_session.h"

namespace roomtest {

// A data folder of this test process's own (tests run side by side, and the
// friends store must not be opened twice), the program's while it lives.
// Declare it before the session, so it outlives it.
class ScopedDataFolder {
public:
    explicit ScopedDataFolder(const std::string& tag)
        : dir_(std::filesystem::temp_directory_path() /
               ("zeri-" + tag + "-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(dir_);
        paths::SetDataFolderOverride((dir_ / "data").string());
    }
    ~ScopedDataFolder() {
        paths::SetDataFolderOverride("");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    ScopedDataFolder(const ScopedDataFolder&) = delete;
    ScopedDataFolder& operator=(const ScopedDataFolder&) = delete;

private:
    std::filesystem::path dir_;
};

// Hands the session a message as the server would send it.
template <class Msg>
void Deliver(CRoomSession& session, const Msg& m) {
    TLV::body b;
    ASSERT_TRUE(wire::write_fields(b, m));
    const auto bytes = TLV::encode(b);
    session.OnServerPacket(Msg::id, bytes.data(), bytes.size());
}

// One rule of the power list: `role` holds `power` (over `byRole`; 0 = any).
struct PowerRule {
    std::uint16_t power;
    std::uint8_t role;
    std::uint8_t byRole = 0;
    int yesNo = 1;
};

// The power list's answer as the HTTP helper hands it to the session.
inline std::string PowerListAnswer(const std::vector<PowerRule>& rules) {
    std::string text;
    for (const PowerRule& r : rules)
        text += std::string(text.empty() ? "" : ",") + "{\"powerid\":" + std::to_string(r.power) +
                ",\"role\":" + std::to_string(r.role) + ",\"yes_no\":" + std::to_string(r.yesNo) +
                ",\"by_role\":" + std::to_string(r.byRole) + "}";
    json::value answer = json::value::object();
    answer.set("CMD", static_cast<std::int64_t>(kPowerListAnswer));
    answer.set("CODE", static_cast<std::int64_t>(0));
    json::value obj = json::value::object();
    obj.set("power", "[" + text + "]");
    answer.set("OBJ", obj);
    return answer.dump();
}

// Each power for one role, over anyone.
inline std::vector<PowerRule> Powers(std::initializer_list<std::uint16_t> powers,
                                     std::uint8_t role) {
    std::vector<PowerRule> rules;
    for (std::uint16_t p : powers) rules.push_back({p, role});
    return rules;
}

struct Member {
    std::uint32_t id;
    std::string nickname;
    std::uint8_t role;
};

// The member list notify naming `members`.
inline msg::Control_Room_UserList_Notify MemberList(const std::vector<Member>& members) {
    msg::Control_Room_UserList_Notify list;
    for (const Member& m : members) {
        msg::user_block b;
        b.user_id = m.id;
        b.nickname = m.nickname;
        b.role = m.role;
        list.users.push_back(b);
    }
    return list;
}

// A chat line from `from`. The notice points at its bytes, so they are
// kept in `keep` for as long as the test runs.
inline msg::Control_Chat_Notify ChatLine(std::deque<std::string>& keep, std::uint32_t from,
                                         const std::string& name, const std::string& text) {
    const std::string& kept = keep.emplace_back(text);
    msg::Control_Chat_Notify n;
    n.sender_id = from;
    n.sender_name = name;
    n.line = wire::bytes(reinterpret_cast<const unsigned char*>(kept.data()), kept.size());
    return n;
}

struct Sent {
    std::uint32_t command;
    std::vector<unsigned char> body;
};

class RecordingLink : public IRoomLink {
public:
    std::vector<Sent> sent;
    std::uint32_t sentBytes = 0, receivedBytes = 0, signal = 0;
    bool down = false;       // the chat channel refuses everything
    bool mediaDown = false;  // so does the media server's
    bool sendChat(std::uint32_t c, const TLV::body& b) override { return !down && Keep(c, b); }
    bool sendVideoService(std::uint32_t c, const TLV::body& b) override { return Keep(c, b); }
    bool sendMediaServer(std::uint32_t c, const TLV::body& b) override {
        return !mediaDown && Keep(c, b);
    }
    std::uint32_t TakeSentBytes() override { return std::exchange(sentBytes, 0); }
    std::uint32_t TakeReceivedBytes() override { return std::exchange(receivedBytes, 0); }
    std::uint32_t SignalMs() override { return signal; }
    int Count(std::uint32_t c) const {
        int n = 0;
        for (auto& s : sent) n += s.command == c;
        return n;
    }
    template <class Msg>
    Msg Last() const {
        for (auto it = sent.rbegin(); it != sent.rend(); ++it)
            if (it->command == Msg::id) return wire::decode<Msg>(it->body.data(), it->body.size());
        ADD_FAILURE() << "nothing sent with 0x" << std::hex << Msg::id;
        return Msg{};
    }

private:
    bool Keep(std::uint32_t c, const TLV::body& b) {
        sent.push_back({c, TLV::encode(b)});
        return true;
    }
};

// No pictures travel: every HTTP request fails to start.
class NoHttp : public IHttpStarter {
public:
    bool Download(unsigned, const std::string&, const std::string&) override { return false; }
    bool Post(unsigned, const std::string&, const std::vector<std::uint8_t>&) override {
        return false;
    }
    std::string Host() override { return {}; }
};

class FakeAccount : public IRoomAccount {
public:
    MyAccount me;
    int powerRequests = 0, billboardRequests = 0, closes = 0, balanceRequests = 0;
    std::vector<std::uint32_t> loginNotices;
    MyAccount Me() override { return me; }
    void LoginRoomNotify(std::uint32_t roomId) override { loginNotices.push_back(roomId); }
    void RequestAccountState() override {}
    void RequestBalance() override { ++balanceRequests; }
    void RequestBillboards() override { ++billboardRequests; }
    void RequestFlowerCount(std::uint32_t) override {}
    void RequestPowerList() override { ++powerRequests; }
    // Props: what was used, whether the call is taken, and pack requests.
    std::vector<PropUse> props;
    bool propCallTaken = true;
    int packRequests = 0;
    std::vector<std::uint32_t> profiles;
    void RequestPack() override { ++packRequests; }
    bool GiveProp(const PropUse& use) override {
        props.push_back(use);
        return propCallTaken;
    }
    void ShowUserInfo(std::uint32_t userId) override { profiles.push_back(userId); }
    void Close() override { ++closes; }
};

}  // namespace roomtest
