#pragma once
// Lines typed before the room is entered (headless): kept, a bounded number,
// and handed on in order once the chat login is answered, so that
// `echo hi | zeri --headless --room 1001` says hi. "/enter" is never kept
// (it is how a room gets entered), nor "/help". Past the bound a line is refused with the
// tip it had before ("请先进入房间"), never silently lost.

#include <cstddef>
#include <deque>
#include <functional>
#include <string>

#include "room/room_session.h"

class CEarlyLines : public IRoomFeature {
public:
    static constexpr std::size_t kMaxLines = 64;

    // `send` runs a line as typed (chat, or a command).
    CEarlyLines(CRoomSession& session, std::function<void(const std::string&)> send);
    ~CEarlyLines() override;

    // A typed line: run now when in a room, else kept.
    void Typed(const std::string& line);
    std::size_t kept() const { return lines_.size(); }

    bool OnPacket(std::uint32_t, const unsigned char*, std::size_t) override { return false; }
    void OnLoggedIn() override;

private:
    CRoomSession& session_;
    std::function<void(const std::string&)> send_;
    std::deque<std::string> lines_;
};
