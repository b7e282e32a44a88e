#include "room/headless_view.h"

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
    std::string line = kind + ": " + text;
    // One line each, whatever the text holds.
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    lines_.push_back(line);
    if (out_) {
        std::fprintf(out_, "%s\n", line.c_str());
        std::fflush(out_);
    }
}

void CHeadlessView::SetText(const std::string& control, const std::string& text) {
    controls_[control].text = text;
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

void CHeadlessView::SetTitle(const std::string& title) { title_ = title; }

void CHeadlessView::ShowWindow(bool shown) { shown_ = shown; }

void CHeadlessView::AppendSystemLine(const std::string& view, const std::string& text) {
    Say("chat", "[" + view + "] " + text);
}

void CHeadlessView::ClearChat(const std::string&) {}

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
