#include "room/headless_view.h"

#include <utility>

#include "platform/text/terminal.h"

namespace markup {
std::string ToPlain(const std::string& marked) {
    std::string out;
    out.reserve(marked.size());
    bool inTag = false;
    for (char c : marked) {
        if (c == '<') inTag = true;
        else if (c == '>' && inTag) inTag = false;
        else if (!inTag) out.push_back(c);
    }
    return out;
}
}  // namespace markup

void CHeadlessView::Say(const std::string& kind, const std::string& text) {
    std::string folded = kind + ": " + text;
    // One line each, whatever the text holds: breaks fold to spaces, so no
    // peer can start a line of its own.
    for (char& c : folded)
        if (c == '\n' || c == '\r') c = ' ';
    // What a peer wrote reaches a terminal here: its controls are shown.
    const std::string line = text::ForTerminal(folded);
    lines_.push_back(line);
    if (out_) {
        std::fprintf(out_, "%s\n", line.c_str());
        std::fflush(out_);
    }
}

void CHeadlessView::SetText(const std::string& control, const std::string& text) {
    const bool changed = controls_[control].text != text;
    controls_[control].text = text;
    // Why a room refused me is what a script waits for.
    if (control == "Label_Fail" && !text.empty()) Say("fail", text);
    // My balances are what a script checks after buying.
    if (control == "Label_Balance") Say("balance", text);
    if (control == "Label_Pelto") Say("pelto", text);
    // The anchor's flowers: each one given in the room counts here (a room
    // cleared again to 0 is no news).
    if (control == "text_flower" && changed) Say("flowers", text);
}
void CHeadlessView::SetVisible(const std::string& control, bool visible) {
    controls_[control].visible = visible;
}
void CHeadlessView::SetEnabled(const std::string& control, bool enabled) {
    controls_[control].enabled = enabled;
}
void CHeadlessView::SetImage(const std::string& control, const std::string& file) {
    controls_[control].image = file;
}
void CHeadlessView::SetTooltip(const std::string& control, const std::string& text) {
    controls_[control].tooltip = text;
}

void CHeadlessView::ShowTip(const std::string& text) {
    controls_["text_tip"].text = text;
    if (!text.empty()) Say("tip", text);
}

void CHeadlessView::ShowNotice(const std::string& marked) {
    controls_["notice"].text = marked;
    Say("notice", markup::ToPlain(marked));
}

void CHeadlessView::MessageBox(const std::string& text, const std::string& caption, BoxIcon) {
    Say("box", caption + ": " + text);
}

void CHeadlessView::OpenSignDialog(std::function<void()> confirm) {
    signConfirm_ = confirm ? std::move(confirm) : [] {};
    Say("sign", "请签到 (/sign)");
}

bool CHeadlessView::ConfirmSignDialog() {
    if (!signConfirm_) return false;
    // The dialog closes on confirm, before the room hears of it.
    auto confirm = std::exchange(signConfirm_, nullptr);
    confirm();
    return true;
}

void CHeadlessView::SetTitle(const std::string& title) { title_ = title; }

void CHeadlessView::ShowWindow(bool shown) { shown_ = shown; }

CHeadlessChatView* CHeadlessView::FindChat(const std::string& view) {
    // The announcement is kept, not printed: it is no line anyone said.
    if (view == "Edit_Announcement") return &announcement_;
    static const char* const kViews[] = {"Edit_RecvChat", "Edit_VipChat", "Edit_PrivateChat",
                                         "Edit_NearChat"};
    for (const char* name : kViews) {
        if (view != name) continue;
        auto it = chats_.find(view);
        if (it == chats_.end())
            it = chats_.emplace(view, CHeadlessChatView([this, view](const std::string& line) {
                             Say("chat", "[" + view + "] " + line);
                         })).first;
        return &it->second;
    }
    return nullptr;
}

IChatView& CHeadlessView::ChatView(const std::string& view) {
    if (CHeadlessChatView* v = FindChat(view)) return *v;
    nowhere_.Clear();
    return nowhere_;
}

void CHeadlessView::ClearChat(const std::string& view) {
    if (CHeadlessChatView* v = FindChat(view)) v->Clear();
}

// --- chat views ---------------------------------------------------------------

void CHeadlessChatView::Put(std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t nl = text.find('\n', start);
        const std::string_view part =
            text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        if (!part.empty()) {
            if (!open_) {
                lines_.emplace_back();
                open_ = true;
            }
            lines_.back() += part;
            pending_ += part;
        }
        if (nl == std::string_view::npos) break;
        AppendLineBreak();
        start = nl + 1;
    }
}

void CHeadlessChatView::AppendText(std::string_view run, const ChatTextFormat& format) {
    formats_.push_back(format);
    Put(run);
}

void CHeadlessChatView::AppendFace(const FaceEntry& face) {
    CPlainChatSink plain;
    plain.AppendFace(face);
    Put(plain.Text());
}

void CHeadlessChatView::AppendImage(const std::string& path) {
    images_.push_back(path);
    Put("[图片]");
}

void CHeadlessChatView::AppendPlaceholder(ChatObjectKey key, const std::string&) {
    placeholders_[key] = "waiting";
    Put("[图片]");
}

void CHeadlessChatView::ReplacePlaceholder(ChatObjectKey key, const std::string& path) {
    auto it = placeholders_.find(key);
    if (it == placeholders_.end()) return;
    it->second = path;
    if (say_) say_("picture ready: " + path);
}

void CHeadlessChatView::FailPlaceholder(ChatObjectKey key) {
    auto it = placeholders_.find(key);
    if (it != placeholders_.end()) it->second = "failed";
}

void CHeadlessChatView::AppendVoiceClip(ChatObjectKey, const std::string&) { Put("[语音]"); }

void CHeadlessChatView::AppendLineBreak() {
    if (!open_) lines_.emplace_back();
    open_ = false;
    if (!pending_.empty() && pending_.back() != ' ') pending_ += ' ';
}

void CHeadlessChatView::DeleteFirstLines(std::size_t count) {
    if (count >= lines_.size()) {
        lines_.clear();
        open_ = false;
        return;
    }
    lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(count));
}

void CHeadlessChatView::ScrollToEnd() {
    while (!pending_.empty() && pending_.back() == ' ') pending_.pop_back();
    if (!pending_.empty() && say_) say_(pending_);
    pending_.clear();
}

void CHeadlessChatView::Clear() {
    lines_.clear();
    open_ = false;
    pending_.clear();
    formats_.clear();
    images_.clear();
    placeholders_.clear();
}

const CHeadlessView::Control* CHeadlessView::Find(const std::string& control) const {
    auto it = controls_.find(control);
    return it == controls_.end() ? nullptr : &it->second;
}

std::string CHeadlessView::Text(const std::string& control) const {
    const Control* c = Find(control);
    return c ? c->text : std::string();
}

void CHeadlessView::OnInserted(std::size_t index, const UserListItem& item) {
    users_.insert(users_.begin() + static_cast<std::ptrdiff_t>(index), markup::ToPlain(item.text));
}
void CHeadlessView::OnRemoved(std::size_t index) {
    if (index < users_.size()) users_.erase(users_.begin() + static_cast<std::ptrdiff_t>(index));
}
void CHeadlessView::OnChanged(std::size_t index, const UserListItem& item) {
    if (index < users_.size()) users_[index] = markup::ToPlain(item.text);
}
void CHeadlessView::OnCleared() { users_.clear(); }

void CHeadlessView::OnQueueShown(const std::vector<MicQueueLine>& lines) {
    queue_.clear();
    queueTags_.clear();
    for (const MicQueueLine& l : lines) {
        queue_.push_back(l.text);
        queueTags_.push_back(l.userId);
    }
}
void CHeadlessView::OnQueueLineChanged(std::size_t index, const MicQueueLine& line) {
    if (index >= queue_.size()) return;
    queue_[index] = line.text;
    queueTags_[index] = line.userId;
}
