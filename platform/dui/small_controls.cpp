#include "platform/dui/small_controls.h"

#include <QPainter>

#include "platform/dui/draw.h"

// ---------------------------------------------------------------- CGifControl

bool CGifControl::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "file") SetFile(v.empty() || v.front() == '/' || !manager_ ? v : manager_->ResolveImagePath(v));
    else if (name == "autoplay") autoPlay_ = dui::ParseBool(v);
    else return CContainerUI::SetAttribute(name, v);
    if (autoPlay_ && picture_.IsLoaded()) Play();
    return true;
}

bool CGifControl::SetFile(const std::string& path) {
    KillTimer(kFrameTimer);
    picture_.Release();
    frame_ = 0;
    file_ = path;
    const bool ok = picture_.Load(path);
    update();
    return ok;
}

void CGifControl::Play() {
    frame_ = 0;
    KillTimer(kFrameTimer);
    if (picture_.IsAnimated()) SetTimer(kFrameTimer, static_cast<unsigned>(picture_.FrameDelay(0)));
    update();
}

void CGifControl::Stop() { KillTimer(kFrameTimer); }

void CGifControl::ShowFrame(int n) {
    if (n < 0 || n >= picture_.FrameCount()) return;
    frame_ = n;
    update();
}

void CGifControl::DoTimer(unsigned id) {
    if (id != kFrameTimer) {
        CContainerUI::DoTimer(id);
        return;
    }
    KillTimer(kFrameTimer);
    if (!picture_.IsAnimated()) return;
    if (++frame_ >= picture_.FrameCount()) {
        frame_ = 0;
        if (listener_) listener_->OnGifEnd(this);  // may call SetFile or Play again
        if (!picture_.IsAnimated() || HasTimer(kFrameTimer)) return;
    }
    SetTimer(kFrameTimer, static_cast<unsigned>(picture_.FrameDelay(frame_)));
    update();
}

void CGifControl::PaintStatusImage(QPainter& p) { picture_.Draw(p, rect(), frame_); }

// ---------------------------------------------------------------- CButtonExUI

bool CButtonExUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "iconimage") SetIconImage(v);
    else return CButtonUI::SetAttribute(name, v);
    return true;
}

void CButtonExUI::SetIconImage(const std::string& image) {
    icon_ = image;
    update();
}

void CButtonExUI::PaintStatusImage(QPainter& p) {
    CButtonUI::PaintStatusImage(p);
    if (icon_.empty()) return;
    const QRect rc = pushed_ ? rect().translated(1, 1) : rect();
    if (!DrawImage(p, rc, icon_)) icon_.clear();
}

// ---------------------------------------------------------------- CTextTileUI

bool CTextTileUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "align") {
        align_ = dui::ParseAlign(v, dui::kAlignLeft | dui::kAlignVCenter);
    } else if (name == "endellipsis") endEllipsis_ = v == "true";
    else if (name == "font") font_ = std::clamp(dui::ParseInt(v, -1), -1, 255);
    else if (name == "textcolor") hasText_ = dui::ParseColor(v, textColor_);
    else if (name == "disabledtextcolor") hasDisabled_ = dui::ParseColor(v, disabledColor_);
    else if (name == "textpadding") textPadding_ = dui::ParseRect(v);
    else return CTileLayoutUI::SetAttribute(name, v);
    update();
    return true;
}

QColor CTextTileUI::TextColor() const {
    if (!isEnabled()) {
        if (hasDisabled_) return dui::ToQColor(disabledColor_);
        return manager_ ? manager_->DisabledTextColor() : QColor(Qt::gray);
    }
    if (hasText_) return dui::ToQColor(textColor_);
    return manager_ ? manager_->DefaultTextColor() : QColor(Qt::black);
}

QRect CTextTileUI::CaptionRect() const {
    return rect().adjusted(textPadding_.l, textPadding_.t, -textPadding_.r, -textPadding_.b);
}

void CTextTileUI::paintEvent(QPaintEvent* e) {
    CTileLayoutUI::paintEvent(e);
    if (text_.empty()) return;
    QPainter p(this);
    const QFont font = manager_ ? manager_->Font(font_) : this->font();
    dui::DrawPlainText(p, CaptionRect(), QString::fromStdString(text_), font, TextColor(), align_, endEllipsis_, false);
}
