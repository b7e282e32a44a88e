#pragma once
// The room view without windows: every control's state in a map (tests read
// it) and one line on standard output for each thing a person would see,
// prefixed with a short kind word ("tip:", "notice:", "box:", "chat:", …).

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "chat/plain_chat_sink.h"
#include "room/headless_purchases.h"
#include "room/room_view.h"

// A chat view as lines of plain text (faces as their tags, pictures and
// voice clips as short marks). Each rendered line goes to the output as one
// line when the room scrolls the view to its end.
class CHeadlessChatView : public IChatView {
public:
    using SayFn = std::function<void(const std::string&)>;
    explicit CHeadlessChatView(SayFn say = {}) : say_(std::move(say)) {}

    void AppendText(std::string_view run, const ChatTextFormat& format) override;
    void AppendFace(const FaceEntry& face) override;
    void AppendImage(const std::string& path) override;
    // Kept among Images() but not printed: a badge is no content.
    void AppendBadge(const std::string& path) override { images_.push_back(path); }
    void AppendPlaceholder(ChatObjectKey key, const std::string& waitingImage) override;
    void ReplacePlaceholder(ChatObjectKey key, const std::string& path) override;
    void FailPlaceholder(ChatObjectKey key) override;
    void AppendVoiceClip(ChatObjectKey key, const std::string& icon) override;
    void AppendLineBreak() override;
    std::size_t LineCount() const override { return lines_.size(); }
    void DeleteFirstLines(std::size_t count) override;
    void ScrollToEnd() override;

    void Clear();
    const std::vector<std::string>& Lines() const { return lines_; }
    // The formats of the runs written since the last Clear, in order.
    const std::vector<ChatTextFormat>& Formats() const { return formats_; }
    const std::vector<std::string>& Images() const { return images_; }
    // Placeholder states: "waiting", "failed" or the file that replaced it.
    const std::map<ChatObjectKey, std::string>& Placeholders() const { return placeholders_; }

private:
    void Put(std::string_view text);

    SayFn say_;
    std::vector<std::string> lines_;
    bool open_ = false;  // the last line has no break yet
    std::string pending_;  // what is printed at the next scroll
    std::vector<ChatTextFormat> formats_;
    std::vector<std::string> images_;
    std::map<ChatObjectKey, std::string> placeholders_;
};

// The banner, the car show and the video text without windows: they keep
// what they are given and draw nothing.
class CHeadlessShows : public IRoomShows {
public:
    struct Item {
        std::string who;
        std::string what;  // car name; empty for gifts
        std::string picture;
        int count = 0;
        ShowPictureKey pending = 0;
    };
    void QueueGift(const std::string& giver, const std::string& icon, int count,
                   ShowPictureKey pending) override {
        gifts.push_back({giver, {}, icon, count, pending});
    }
    void QueueCar(const std::string& nickname, const std::string& carName,
                  const std::string& picture, ShowPictureKey pending) override {
        cars.push_back({nickname, carName, picture, 0, pending});
    }
    void PictureDone(ShowPictureKey key, bool ok) override { done[key] = ok; }
    void ScrollVideoText(const std::string& text) override { videoTexts.push_back(text); }

    std::vector<Item> gifts, cars;
    std::map<ShowPictureKey, bool> done;
    std::vector<std::string> videoTexts;
};

class CHeadlessView : public IRoomView, private IUserListObserver, private IMicQueueObserver {
public:
    struct Control {
        std::string text;
        bool visible = true;
        bool enabled = true;
        std::string image;
        std::string tooltip;
        int selection = -1;
        int value = 0, max = 0;  // progress bars
    };

    explicit CHeadlessView(FILE* out = stdout)
        : out_(out), purchases_([this](const std::string& kind, const std::string& text) {
              Say(kind, text);
          }) {}

    void SetText(const std::string& control, const std::string& text) override;
    void SetVisible(const std::string& control, bool visible) override;
    void SetEnabled(const std::string& control, bool enabled) override;
    void SetImage(const std::string& control, const std::string& file) override;
    void SetTooltip(const std::string& control, const std::string& text) override;
    void SetSelection(const std::string& control, int index) override {
        controls_[control].selection = index;
    }
    void SetProgress(const std::string& control, int value, int max) override {
        controls_[control].value = value;
        controls_[control].max = max;
    }
    void Report(const std::string& kind, const std::string& text) override { Say(kind, text); }
    // Kept for tests: the text views show no icons.
    void SetVoiceClipIcon(ChatObjectKey key, const std::string& icon) override {
        clipIcons_[key] = icon;
    }
    std::string ClipIcon(ChatObjectKey key) const {
        auto it = clipIcons_.find(key);
        return it == clipIcons_.end() ? std::string() : it->second;
    }
    void ShowTip(const std::string& text) override;
    void ShowNotice(const std::string& markup) override;
    void MessageBox(const std::string& text, const std::string& caption, BoxIcon icon) override;
    void SetTitle(const std::string& title) override;
    void ShowWindow(bool shown) override;
    IChatView& ChatView(const std::string& view) override;
    void ClearChat(const std::string& view) override;
    bool Minimised() const override { return minimised_; }
    IRoomShows& Shows() override { return shows_; }
    IUserListObserver& UserListView() override { return *this; }
    IMicQueueObserver& MicQueueView() override { return *this; }
    IPurchaseView& Purchases() override { return purchases_; }
    CHeadlessPurchaseView& HeadlessPurchases() { return purchases_; }
    // The sign prompt is a line ("sign: …"); "/sign" answers it.
    void OpenSignDialog(std::function<void()> confirm) override;
    void CloseSignDialog() override { signConfirm_ = nullptr; }
    bool SignDialogOpen() const override { return static_cast<bool>(signConfirm_); }
    // As if the person confirmed the prompt (tests); false when none is open.
    bool ConfirmSignDialog();

    void SetMinimised(bool m) { minimised_ = m; }
    // The named chat view (tests); null for a name the room does not have.
    CHeadlessChatView* FindChat(const std::string& view);
    CHeadlessShows& HeadlessShows() { return shows_; }

    // For tests and scripts.
    const Control* Find(const std::string& control) const;
    std::string Text(const std::string& control) const;
    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<std::string>& UserLines() const { return users_; }
    // The queue list's lines as plain text, and their tags (user ids).
    const std::vector<std::string>& QueueLines() const { return queue_; }
    const std::vector<std::uint32_t>& QueueTags() const { return queueTags_; }
    const std::string& Title() const { return title_; }
    bool Shown() const { return shown_; }

    // Prints a line and keeps it: line breaks become spaces, control
    // characters "\xNN" and malformed UTF-8 U+FFFD (Lines() holds it so).
    void Say(const std::string& kind, const std::string& text);

private:
    void OnInserted(std::size_t index, const UserListItem& item) override;
    void OnRemoved(std::size_t index) override;
    void OnChanged(std::size_t index, const UserListItem& item) override;
    void OnCleared() override;
    void OnQueueShown(const std::vector<MicQueueLine>& lines) override;
    void OnQueueLineChanged(std::size_t index, const MicQueueLine& line) override;

    FILE* out_;
    std::map<std::string, Control> controls_;
    std::vector<std::string> lines_;
    std::vector<std::string> users_;  // the user list lines as plain text
    std::vector<std::string> queue_;  // the queue list lines, markup kept
    std::vector<std::uint32_t> queueTags_;
    std::string title_;
    bool shown_ = false;
    bool minimised_ = false;
    std::map<ChatObjectKey, std::string> clipIcons_;
    std::map<std::string, CHeadlessChatView> chats_;
    CHeadlessChatView nowhere_;  // names the room does not have
    CHeadlessChatView announcement_;
    CHeadlessShows shows_;
    CHeadlessPurchaseView purchases_;
    std::function<void()> signConfirm_;
};

namespace markup {
// The text of label markup without its tags (for plain output).
std::string ToPlain(const std::string& marked);
}  // namespace markup
