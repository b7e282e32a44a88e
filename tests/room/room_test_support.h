#pragma once
// Shared pieces of the room tests: a link that records what the room sends
// and an account that counts what the room asks of it.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "net/fields.h"
#include "net/room_link.h"
#include "room/room_account.h"

namespace roomtest {

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
    void RequestRoles() override { ++roleRequests; }
    int roleRequests = 0;
    void Close() override { ++closes; }
};

}  // namespace roomtest
