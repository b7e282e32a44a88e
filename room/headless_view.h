#pragma once
// The room view without windows: every control's state in a map (tests read
// it) and one line on standard output for each thing a person would see,
// prefixed with a short kind word ("tip:", "notice:", "box:", "chat:", …).

#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "room/room_view.h"

class CHeadlessView : public IRoomView, private IUserListObserver {
public:
    struct Control {
        std::string text;
        bool visible = true;
        bool enabled = true;
        std::string image;
        std::string tooltip;
    };

    explicit CHeadlessView(FILE* out = stdout) : out_(out) {}

    void SetText(const std::string& control, const std::string& text) override;
    void SetVisible(const std::string& control, bool visible) override;
    void SetEnabled(const std::string& control, bool enabled) override;
    void SetImage(const std::string& control, const std::string& file) override;
    void SetTooltip(const std::string& control, const std::string& text) override;
    void ShowTip(const std::string& text) override;
    void ShowNotice(const std::string& markup) override;
    void MessageBox(const std::string& text, const std::string& caption, BoxIcon icon) override;
    void SetTitle(const std::string& title) override;
    void ShowWindow(bool shown) override;
    void AppendSystemLine(const std::string& view, const std::string& text) override;
    void ClearChat(const std::string& view) override;
    IUserListObserver& UserListView() override { return *this; }

    // For tests and scripts.
    const Control* Find(const std::string& control) const;
    std::string Text(const std::string& control) const;
    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<std::string>& UserLines() const { return users_; }
    const std::string& Title() const { return title_; }
    bool Shown() const { return shown_; }

    // Prints a line and keeps it.
    void Say(const std::string& kind, const std::string& text);

private:
    void OnInserted(std::size_t index, const UserListItem& item) override;
    void OnRemoved(std::size_t index) override;
    void OnChanged(std::size_t index, const UserListItem& item) override;
    void OnCleared() override;

    FILE* out_;
    std::map<std::string, Control> controls_;
    std::vector<std::string> lines_;
    std::vector<std::string> users_;  // the user list lines as plain text
    std::string title_;
    bool shown_ = false;
};

namespace markup {
// The text of label markup without its tags (for plain output).
std::string ToPlain(const std::string& marked);
}  // namespace markup
