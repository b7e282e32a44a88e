#include "room/chat_entry.h"

#include <cstdio>
#include <cstdlib>

#include "room/room_user.h"

namespace {

constexpr const char* kDefaultFace = "宋体";
constexpr int kDefaultSize = 10;

std::string Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return std::string(s);
}

bool AllDigits(const std::string& s) {
    if (s.empty() || s.size() > 3) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

ChatTextFormat MakeFormat(std::string face, int size, std::uint32_t colour, bool bold) {
    ChatTextFormat f;
    f.face = std::move(face);
    f.size = size;
    f.colour = colour;
    f.bold = bold;
    return f;
}

ChatTextFormat ParseChatStyle(std::string_view settings) {
    ChatTextFormat f = MakeFormat(kDefaultFace, kDefaultSize, 0);
    std::size_t start = 0;
    bool first = true;
    while (start <= settings.size()) {
        std::size_t comma = settings.find(',', start);
        if (comma == std::string_view::npos) comma = settings.size();
        const std::string part = Trimmed(settings.substr(start, comma - start));
        start = comma + 1;
        if (part.empty()) {
            first = false;
            continue;
        }
        if (part[0] == '#' && part.size() == 7) {
            f.colour = ParseColour(part);
        } else if (part == "bold" || part == "b") {
            f.bold = true;
        } else if (AllDigits(part)) {
            const int size = std::atoi(part.c_str());
            // A size no view can show falls back to the default.
            if (size >= 6 && size <= 72) f.size = size;
        } else if (first) {
            f.face = part;
        }
        first = false;
    }
    return f;
}

std::string ClockText(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
    return buf;
}

void WriteChatHeader(IChatView& view, const ChatEntry& e, const std::string& time, const ChatTextFormat& f) {
    // "name(id)" with the name marked as the user's.
    auto who = [&](const std::string& name, std::uint32_t id) {
        view.AppendUserName(name, id, f);
        view.AppendText("(" + std::to_string(id) + ")", f);
    };
    switch (e.kind) {
        case chat_kind::directed:
        case chat_kind::directed2:
            who(e.senderName, e.senderId);
            view.AppendText("对", f);
            who(e.receiverName, e.receiverId);
            view.AppendText(" " + time, f);
            return;
        case chat_kind::public_line:
            if (e.senderId == 0) {
                view.AppendText(e.senderName + " " + time, f);
                return;
            }
            who(e.senderName, e.senderId);
            view.AppendText(" " + time, f);
            return;
        case chat_kind::plain:
        case chat_kind::notice:
            view.AppendText(e.text, f);
            return;
        default:
            view.AppendText(e.senderName, f);
            return;
    }
}

void TrimChatView(IChatView& view, bool minimised) {
    if (minimised) return;
    const std::size_t lines = view.LineCount();
    if (lines >= kChatViewMaxLines) view.DeleteFirstLines(lines - kChatViewMaxLines);
}

void RenderAnnouncement(IChatView& view, std::string_view text, const ChatTextFormat& roomStyle) {
    constexpr int kAnnouncementSize = 10;
    ChatTextFormat title = roomStyle;
    title.face = kDefaultFace;
    title.size = kAnnouncementSize;
    view.AppendText("频道公告：", title);
    view.AppendText(text, MakeFormat(kDefaultFace, kAnnouncementSize, 0xFFFFFF));
}

void RenderChatEntry(IChatView& view, const ChatEntry& e, const ChatRenderContext& c) {
    const std::string time = ClockText(c.time);
    view.AppendText(time, c.roomStyle);
    if (!e.wealthIcon.empty()) view.AppendBadge(e.wealthIcon);
    if (!e.vipIcon.empty()) view.AppendBadge(e.vipIcon);

    const ChatTextFormat header =
        e.kind == chat_kind::plain ? MakeFormat(kDefaultFace, 11, FromBgr(0x292929)) : c.roomStyle;
    WriteChatHeader(view, e, time, header);
    view.AppendLineBreak();

    // Kinds 10 and 11 are their text: written in the header, it is not
    // written a second time as a body.
    const bool textIsHeader = e.kind == chat_kind::plain || e.kind == chat_kind::notice;
    if (!e.text.empty() && !textIsHeader) {
        ChatTextFormat body = c.roomStyle;
        body.colour = e.textColour;
        body.bold = false;
        DecodeToView(view, e.text, body, c.decode, c.options);
        view.AppendLineBreak();
    }
    TrimChatView(view, c.minimised);
    view.ScrollToEnd();
}
