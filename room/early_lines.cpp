#include "room/early_lines.h"

#include "room/typed_command.h"

CEarlyLines::CEarlyLines(CRoomSession& session, std::function<void(const std::string&)> send)
    : session_(session), send_(std::move(send)) {
    session_.AddFeature(this);
}

CEarlyLines::~CEarlyLines() { session_.RemoveFeature(this); }

void CEarlyLines::Typed(const std::string& line) {
    const auto word = typed::Split(line).word;
    if (session_.loggedIn() || word == "/enter" || word == "/help") return send_(line);
    if (lines_.size() == kMaxLines) return session_.view().ShowTip("请先进入房间");
    lines_.push_back(line);
}

void CEarlyLines::OnLoggedIn() {
    // Taken first: a line may enter another room, which logs in again later.
    std::deque<std::string> now;
    now.swap(lines_);
    for (const std::string& line : now) send_(line);
}
