#include "platform/dui/controls.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "platform/dui/draw.h"

// ---------------------------------------------------------------- CLabelUI

bool CLabelUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "align") align_ = dui::ParseAlign(v, align_);
    else if (name == "valign") align_ = dui::ParseAlign(v, align_);
    else if (name == "font") font_ = std::clamp(dui::ParseInt(v, -1), -1, 255);
    else if (name == "textcolor") hasTextColor_ = dui::ParseColor(v, textColor_);
    else if (name == "disabledtextcolor") hasDisabledColor_ = dui::ParseColor(v, disabledColor_);
    else if (name == "textpadding") textPadding_ = dui::ParseRect(v);
    else if (name == "showhtml") showHtml_ = dui::ParseBool(v);
    else if (name == "endellipsis") endEllipsis_ = dui::ParseBool(v);
    else if (name == "wordbreak" || name == "multiline") wordBreak_ = dui::ParseBool(v);
    else return CControlUI::SetAttribute(name, v);
    update();
    return true;
}

void CLabelUI::SetShowHtml(bool on) {
    showHtml_ = on;
    update();
}

void CLabelUI::SetTextColor(std::uint32_t argb) {
    hasTextColor_ = true;
    textColor_ = argb;
    update();
}

QColor CLabelUI::CurrentTextColor() const {
    if (!isEnabled()) {
        if (hasDisabledColor_) return dui::ToQColor(disabledColor_);
        return manager_ ? manager_->DisabledTextColor() : QColor(0xA7, 0xA6, 0xAA);
    }
    std::uint32_t argb = 0;
    if (StateTextColor(argb)) return dui::ToQColor(argb);
    if (hasTextColor_) return dui::ToQColor(textColor_);
    return manager_ ? manager_->DefaultTextColor() : QColor(Qt::black);
}

QFont CLabelUI::CurrentFont() const { return manager_ ? manager_->Font(font_) : font(); }

QRect CLabelUI::TextRect() const {
    return rect().adjusted(textPadding_.l, textPadding_.t, -textPadding_.r, -textPadding_.b);
}

void CLabelUI::PaintText(QPainter& p) {
    if (text_.empty()) return;
    const QRect rc = TextRect();
    if (showHtml_ && manager_) {
        dui::DrawMarkupLine(p, *manager_, rc, text_, CurrentFont(), CurrentTextColor(), align_);
    } else {
        dui::DrawPlainText(p, rc, QString::fromStdString(text_), CurrentFont(), CurrentTextColor(), align_,
                           endEllipsis_, wordBreak_);
    }
}

// ---------------------------------------------------------------- CButtonUI

CButtonUI::CButtonUI(QWidget* parent) : CLabelUI(parent) {
    align_ = dui::kAlignHCenter | dui::kAlignVCenter;
    setFocusPolicy(Qt::NoFocus);
}

bool CButtonUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "normalimage") normalImage_ = v;
    else if (name == "hotimage") hotImage_ = v;
    else if (name == "pushedimage") pushedImage_ = v;
    else if (name == "focusedimage") focusedImage_ = v;
    else if (name == "disabledimage") disabledImage_ = v;
    else if (name == "foreimage") foreImage_ = v;
    else if (name == "hottextcolor") hasHotText_ = dui::ParseColor(v, hotText_);
    else if (name == "pushedtextcolor") hasPushedText_ = dui::ParseColor(v, pushedText_);
    else if (name == "hotbkcolor") hasHotBk_ = dui::ParseColor(v, hotBk_);
    else return CLabelUI::SetAttribute(name, v);
    update();
    return true;
}

void CButtonUI::SetNormalImage(const std::string& img) {
    normalImage_ = img;
    update();
}

void CButtonUI::Activate() { Notify(dui::notify::kClick); }

void CButtonUI::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !isEnabled()) {
        e->ignore();
        return;
    }
    pressing_ = pushed_ = true;
    update();
}

void CButtonUI::mouseDoubleClickEvent(QMouseEvent* e) { mousePressEvent(e); }

void CButtonUI::mouseMoveEvent(QMouseEvent* e) {
    if (!pressing_) return;
    const bool inside = rect().contains(e->position().toPoint());
    if (inside != pushed_) {
        pushed_ = inside;
        update();
    }
}

void CButtonUI::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !pressing_) return;
    const bool click = rect().contains(e->position().toPoint()) && isEnabled();
    pressing_ = pushed_ = false;
    update();
    if (click) Activate();  // last: the handler may delete this button
}

void CButtonUI::enterEvent(QEnterEvent*) {
    hot_ = true;
    update();
}

void CButtonUI::leaveEvent(QEvent*) {
    hot_ = false;
    update();
}

void CButtonUI::PaintBkColor(QPainter& p) {
    if (hot_ && hasHotBk_ && isEnabled()) {
        p.fillRect(rect(), dui::ToQColor(hotBk_));
        return;
    }
    CLabelUI::PaintBkColor(p);
}

bool CButtonUI::StateTextColor(std::uint32_t& argb) const {
    if (pushed_ && hasPushedText_) return argb = pushedText_, true;
    if ((hot_ || pushed_) && hasHotText_) return argb = hotText_, true;
    return false;
}

void CButtonUI::PaintStatusImage(QPainter& p) {
    const QRect rc = rect();
    bool drawn = false;
    if (!isEnabled()) drawn = DrawImage(p, rc, disabledImage_);
    else if (pushed_) drawn = DrawImage(p, rc, pushedImage_) || DrawImage(p, rc, hotImage_);
    else if (hot_) drawn = DrawImage(p, rc, hotImage_);
    else if (hasFocus()) drawn = DrawImage(p, rc, focusedImage_);
    if (!drawn) DrawImage(p, rc, normalImage_);
    DrawImage(p, rc, foreImage_);
}

// ---------------------------------------------------------------- COptionUI

bool COptionUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "group") group_ = v;
    else if (name == "selected") Selected(dui::ParseBool(v), false);
    else if (name == "selectedimage") selectedImage_ = v;
    else if (name == "selectedhotimage") selectedHotImage_ = v;
    else if (name == "selectedtextcolor") hasSelectedText_ = dui::ParseColor(v, selectedText_);
    else if (name == "selectedbkcolor") hasSelectedBk_ = dui::ParseColor(v, selectedBk_);
    else return CButtonUI::SetAttribute(name, v);
    update();
    return true;
}

void COptionUI::Activate() {
    QPointer<COptionUI> self(this);
    Notify(dui::notify::kClick);
    if (!self) return;
    if (group_.empty()) Selected(!selected_);
    else Selected(true);
}

void COptionUI::Selected(bool selected, bool notify) {
    if (selected_ == selected) return;
    selected_ = selected;
    update();
    if (selected && !group_.empty()) {
        // The group is the window's: every option with this group name in it.
        for (QWidget* w : window()->findChildren<QWidget*>()) {
            auto* other = dynamic_cast<COptionUI*>(w);
            if (!other || other == this || other->group_ != group_ || !other->selected_) continue;
            other->selected_ = false;
            other->update();
        }
    }
    if (notify) Notify(dui::notify::kSelectChanged, selected ? 1 : 0);
}

void COptionUI::PaintBkColor(QPainter& p) {
    if (selected_ && hasSelectedBk_) {
        p.fillRect(rect(), dui::ToQColor(selectedBk_));
        return;
    }
    CButtonUI::PaintBkColor(p);
}

bool COptionUI::StateTextColor(std::uint32_t& argb) const {
    if (selected_ && hasSelectedText_) return argb = selectedText_, true;
    return CButtonUI::StateTextColor(argb);
}

void COptionUI::PaintStatusImage(QPainter& p) {
    if (selected_) {
        if (hot_ && DrawImage(p, rect(), selectedHotImage_)) return;
        if (DrawImage(p, rect(), selectedImage_)) return;
    }
    CButtonUI::PaintStatusImage(p);
}

bool CCheckBoxUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "group") return true;  // check boxes stand alone
    return COptionUI::SetAttribute(name, v);
}

// ---------------------------------------------------------------- CProgressUI

bool CProgressUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "min") min_ = dui::ParseInt(v);
    else if (name == "max") max_ = dui::ParseInt(v, 100);
    else if (name == "value") value_ = dui::ParseInt(v);
    else if (name == "hor") horizontal_ = dui::ParseBool(v, true);
    else if (name == "foreimage") foreImage_ = v;
    else if (name == "forecolor") hasForeColor_ = dui::ParseColor(v, foreColor_);
    else return CLabelUI::SetAttribute(name, v);
    update();
    return true;
}

void CProgressUI::SetValue(int v) {
    value_ = v;
    update();
}

QRect CProgressUI::FilledRect() const {
    const QRect rc = rect();
    if (max_ <= min_) return QRect(rc.topLeft(), QSize(0, 0));
    const double f = std::clamp((static_cast<double>(value_) - min_) / (static_cast<double>(max_) - min_), 0.0, 1.0);
    if (horizontal_) return QRect(rc.left(), rc.top(), static_cast<int>(rc.width() * f + 0.5), rc.height());
    const int h = static_cast<int>(rc.height() * f + 0.5);
    return QRect(rc.left(), rc.bottom() + 1 - h, rc.width(), h);
}

void CProgressUI::PaintStatusImage(QPainter& p) {
    const QRect filled = FilledRect();
    if (filled.isEmpty()) return;
    if (hasForeColor_) p.fillRect(filled, dui::ToQColor(foreColor_));
    if (!foreImage_.empty()) {
        p.save();
        p.setClipRect(filled);
        DrawImage(p, rect(), foreImage_);
        p.restore();
    }
}
