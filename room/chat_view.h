#pragma once
// What the room's text views must do beyond showing decoded chat text:
// line breaks, the line count for the 200-line bound, trimming and
// scrolling; and where the room hands the things it does not draw in a
// text view (gift banner, car show, scrolling video text).

#include <cstddef>
#include <cstdint>
#include <string>

#include "chat/chat_sink.h"

class IChatView : public IChatSink {
public:
    // A user's name in a line's header. Views where a person can act on it
    // (the user menu on a right-click) mark it with the user; others show
    // the text.
    virtual void AppendUserName(std::string_view name, std::uint32_t userId, const ChatTextFormat& format) {
        (void)userId;
        AppendText(name, format);
    }
    // Ends the current line.
    virtual void AppendLineBreak() = 0;
    // Lines the view holds; a last line without its break counts too.
    virtual std::size_t LineCount() const = 0;
    // Deletes the oldest `count` lines (all of them when there are fewer).
    virtual void DeleteFirstLines(std::size_t count) = 0;
    virtual void ScrollToEnd() = 0;
};

// A picture that the banner or the car show waits for: the same key is
// completed once the download of `path` ends.
using ShowPictureKey = std::uint64_t;

// Gift counts as the banner and the gift line show them: a pushed count is
// the sender's word, so one outside 1–99999 is shown at the nearest bound.
inline constexpr std::int64_t kMinShowCount = 1, kMaxShowCount = 99999;
constexpr int ClampShowCount(std::int64_t count) {
    return static_cast<int>(count < kMinShowCount ? kMinShowCount
                            : count > kMaxShowCount ? kMaxShowCount : count);
}

// The room's animated announcements. The windows that draw them come with
// their own work; until then the views keep what they are given.
class IRoomShows {
public:
    virtual ~IRoomShows() = default;
    // A gift for the banner. `pending` is non-zero while the icon at
    // `icon` is still being downloaded.
    virtual void QueueGift(const std::string& giver, const std::string& icon, int count,
                           ShowPictureKey pending) = 0;
    // A car arrival for the car show, with the same rule for its picture.
    virtual void QueueCar(const std::string& nickname, const std::string& carName,
                          const std::string& picture, ShowPictureKey pending) = 0;
    // The download a queued item waited for ended (ok false: it stays the
    // waiting picture).
    virtual void PictureDone(ShowPictureKey key, bool ok) = 0;
    // Text that scrolls over the video.
    virtual void ScrollVideoText(const std::string& text) = 0;
};
