#include "platform/dui/inputs.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QScrollBar>
#include <QSlider>
#include <QTextEdit>

#include <algorithm>

#include "platform/dui/draw.h"
#include "platform/dui/text_markup.h"

namespace {

// Editors show the control's own background through them.
void MakeTransparent(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Window, Qt::transparent);
    w->setPalette(pal);
    w->setAutoFillBackground(false);
}

void SetEditorTextColor(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Text, c);
    pal.setColor(QPalette::WindowText, c);
    // The hint ("tipvalue") in the text's own colour, fainter, so it reads on
    // the skin's background whatever the application palette is.
    QColor hint = c;
    hint.setAlpha(c.alpha() * 5 / 9);
    pal.setColor(QPalette::PlaceholderText, hint);
    w->setPalette(pal);
}

class CComboBox : public QComboBox {
public:
    CComboBox(QWidget* parent, std::function<void()> onDrop) : QComboBox(parent), onDrop_(std::move(onDrop)) {}
    void showPopup() override {
        onDrop_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> onDrop_;
};

}  // namespace

// ---------------------------------------------------------------- CEditUI

CEditUI::CEditUI(QWidget* parent) : CLabelUI(parent), edit_(new QLineEdit(this)) {
    edit_->setFrame(false);
    MakeTransparent(edit_);
    edit_->installEventFilter(this);
    QObject::connect(edit_, &QLineEdit::textEdited, this, [this] { Notify(dui::notify::kTextChanged); });
    QObject::connect(edit_, &QLineEdit::returnPressed, this, [this] { Notify(dui::notify::kReturn); });
    edit_->setContextMenuPolicy(Qt::DefaultContextMenu);
    QObject::connect(edit_, &QWidget::customContextMenuRequested, this,
                     [this](const QPoint& pos) { Notify(dui::notify::kMenu, 0, 0, edit_->mapToGlobal(pos)); });
    setFocusProxy(edit_);
}

bool CEditUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "readonly") edit_->setReadOnly(dui::ParseBool(v));
    else if (name == "password") edit_->setEchoMode(dui::ParseBool(v) ? QLineEdit::Password : QLineEdit::Normal);
    else if (name == "maxchar") edit_->setMaxLength(std::clamp(dui::ParseInt(v, 32767), 1, 32767));
    else if (name == "numberonly") edit_->setValidator(dui::ParseBool(v) ? new QIntValidator(0, 2147483647, edit_) : nullptr);
    else if (name == "tipvalue" || name == "prompttext") edit_->setPlaceholderText(QString::fromStdString(v));
    else if (name == "menu") {
        contextMenu_ = dui::ParseBool(v);
        edit_->setContextMenuPolicy(contextMenu_ ? Qt::CustomContextMenu : Qt::DefaultContextMenu);
    } else if (!CLabelUI::SetAttribute(name, v)) return false;
    Relayout();
    return true;
}

std::string CEditUI::GetText() const { return edit_->text().toStdString(); }

void CEditUI::SetText(const std::string& utf8) {
    text_ = utf8;
    edit_->setText(QString::fromStdString(utf8));  // setText sends no textEdited
}

void CEditUI::Relayout() {
    edit_->setGeometry(TextRect());
    edit_->setFont(CurrentFont());
    SetEditorTextColor(edit_, CurrentTextColor());
    edit_->setAlignment(dui::ToQtAlign(align_));
}

bool CEditUI::eventFilter(QObject* watched, QEvent* e) {
    if (watched == edit_) {
        if (e->type() == QEvent::FocusIn) Notify(dui::notify::kSetFocus);
        else if (e->type() == QEvent::FocusOut) Notify(dui::notify::kKillFocus);
    }
    return false;
}

// ---------------------------------------------------------------- CRichEditUI

CRichEditUI::CRichEditUI(QWidget* parent) : CLabelUI(parent), edit_(new QTextEdit(this)) {
    edit_->setFrameShape(QFrame::NoFrame);
    MakeTransparent(edit_);
    MakeTransparent(edit_->viewport());
    edit_->installEventFilter(this);
    edit_->viewport()->installEventFilter(this);
    QObject::connect(edit_, &QTextEdit::textChanged, this, [this] {
        // Only typing counts; text the program puts in is not news to it.
        if (edit_->hasFocus() && !edit_->isReadOnly()) Notify(dui::notify::kTextChanged);
    });
    QObject::connect(edit_, &QWidget::customContextMenuRequested, this,
                     [this](const QPoint& pos) { Notify(dui::notify::kMenu, 0, 0, edit_->mapToGlobal(pos)); });
    align_ = dui::kAlignLeft | dui::kAlignTop;
    setFocusProxy(edit_);
}

bool CRichEditUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "readonly") edit_->setReadOnly(dui::ParseBool(v));
    else if (name == "wantreturn") wantReturn_ = dui::ParseBool(v, true);
    else if (name == "rich") edit_->setAcceptRichText(dui::ParseBool(v, true));
    else if (name == "vscrollbar")
        edit_->setVerticalScrollBarPolicy(dui::ParseBool(v) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    else if (name == "hscrollbar")
        edit_->setHorizontalScrollBarPolicy(dui::ParseBool(v) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    else if (name == "autovscroll") autoVScroll_ = dui::ParseBool(v);
    else if (name == "maxchar") maxChar_ = std::max(0, dui::ParseInt(v));
    else if (name == "multiline") edit_->setLineWrapMode(dui::ParseBool(v, true) ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    else if (name == "menu") {
        contextMenu_ = dui::ParseBool(v);
        edit_->setContextMenuPolicy(contextMenu_ ? Qt::CustomContextMenu : Qt::DefaultContextMenu);
    } else if (!CLabelUI::SetAttribute(name, v)) return false;
    Relayout();
    return true;
}

std::string CRichEditUI::GetText() const { return edit_->toPlainText().toStdString(); }

void CRichEditUI::SetText(const std::string& utf8) {
    text_ = utf8;
    edit_->setPlainText(QString::fromStdString(utf8));
}

void CRichEditUI::AppendText(const std::string& utf8) {
    QTextCursor c(edit_->document());
    c.movePosition(QTextCursor::End);
    c.insertText(QString::fromStdString(utf8));
    if (autoVScroll_) edit_->verticalScrollBar()->setValue(edit_->verticalScrollBar()->maximum());
}

bool CRichEditUI::HasSelection() const { return edit_->textCursor().hasSelection(); }

std::string CRichEditUI::GetSelText() const {
    // The selection separates paragraphs with U+2029; callers want "\n".
    return edit_->textCursor().selectedText().replace(QChar(0x2029), '\n').toStdString();
}

void CRichEditUI::SelectAll() { edit_->selectAll(); }
void CRichEditUI::Clear() { edit_->clear(); }
bool CRichEditUI::IsReadOnly() const { return edit_->isReadOnly(); }

void CRichEditUI::Relayout() {
    edit_->setGeometry(TextRect());
    edit_->setFont(CurrentFont());
    SetEditorTextColor(edit_, CurrentTextColor());
}

bool CRichEditUI::eventFilter(QObject* watched, QEvent* e) {
    if (watched == edit_) {
        if (e->type() == QEvent::FocusIn) Notify(dui::notify::kSetFocus);
        else if (e->type() == QEvent::FocusOut) Notify(dui::notify::kKillFocus);
        else if (e->type() == QEvent::KeyPress && !wantReturn_) {
            auto* k = static_cast<QKeyEvent*>(e);
            if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && !(k->modifiers() & Qt::ShiftModifier)) {
                Notify(dui::notify::kReturn);
                return true;
            }
        }
    } else if (watched == edit_->viewport() && e->type() == QEvent::MouseButtonRelease) {
        auto* m = static_cast<QMouseEvent*>(e);
        const QString anchor = edit_->anchorAt(m->position().toPoint());
        if (m->button() == Qt::LeftButton && !anchor.isEmpty() && !edit_->textCursor().hasSelection())
            Notify(dui::notify::kLink, 0, 0, m->globalPosition().toPoint(), anchor.toStdString());
    }
    return false;
}

// ---------------------------------------------------------------- CComboUI

CComboUI::CComboUI(QWidget* parent)
    : CLabelUI(parent), box_(new CComboBox(this, [this] { Notify(dui::notify::kDropDown); })) {
    QObject::connect(box_, qOverload<int>(&QComboBox::activated), this, [this](int index) { Picked(index); });
}

bool CComboUI::AcceptChild(CControlUI* child) {
    // Items in the skin are list elements; the combo keeps their text only.
    const std::string_view cls = child->GetClass();
    if (cls != "ListLabelElement" && cls != "ListTextElement" && cls != "ListElement") return false;
    AddItem(dui::MarkupPlainText(child->GetText()), child->GetUserData());
    delete child;
    return true;
}

bool CComboUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "selectedid" || name == "cursel") {
        pendingSel_ = dui::ParseInt(v, -1);
        SelectItem(pendingSel_);
        return true;
    }
    if (!CLabelUI::SetAttribute(name, v)) return false;
    Relayout();
    return true;
}

int CComboUI::AddItem(const std::string& text, const std::string& userData) {
    box_->addItem(QString::fromStdString(text), QString::fromStdString(userData));
    const int index = box_->count() - 1;
    if (index == pendingSel_ || (cur_ < 0 && pendingSel_ < 0)) SelectItem(index);
    return index;
}

void CComboUI::RemoveAll() {
    box_->clear();
    cur_ = -1;
    pendingSel_ = -1;
}

int CComboUI::GetCount() const { return box_->count(); }
int CComboUI::GetCurSel() const { return cur_; }

bool CComboUI::SelectItem(int index, bool notify) {
    if (index < 0 || index >= box_->count()) return false;
    const int old = cur_;
    cur_ = index;
    box_->setCurrentIndex(index);
    if (notify && old != index) Notify(dui::notify::kItemSelect, static_cast<std::uintptr_t>(index), old);
    return true;
}

void CComboUI::Picked(int index) { SelectItem(index, true); }

std::string CComboUI::GetItemText(int index) const {
    return index >= 0 && index < box_->count() ? box_->itemText(index).toStdString() : std::string();
}

std::string CComboUI::GetItemUserData(int index) const {
    return index >= 0 && index < box_->count() ? box_->itemData(index).toString().toStdString() : std::string();
}

void CComboUI::Relayout() {
    box_->setGeometry(TextRect());
    box_->setFont(CurrentFont());
}

// ---------------------------------------------------------------- CSliderUI

CSliderUI::CSliderUI(QWidget* parent) : CControlUI(parent), slider_(new QSlider(Qt::Horizontal, this)) {
    slider_->setRange(0, 100);
    QObject::connect(slider_, &QSlider::valueChanged, this, [this](int v) {
        if (!quiet_) Notify(dui::notify::kValueChanged, static_cast<std::uintptr_t>(std::max(0, v)), v);
    });
}

bool CSliderUI::SetAttribute(std::string_view name, const std::string& v) {
    quiet_ = true;
    bool known = true;
    if (name == "min") slider_->setMinimum(dui::ParseInt(v));
    else if (name == "max") slider_->setMaximum(dui::ParseInt(v, 100));
    else if (name == "value") slider_->setValue(dui::ParseInt(v));
    else if (name == "step") slider_->setSingleStep(std::max(1, dui::ParseInt(v, 1)));
    else if (name == "hor") slider_->setOrientation(dui::ParseBool(v, true) ? Qt::Horizontal : Qt::Vertical);
    else if (name == "forecolor" || name == "thumbcolor") SetSliderColor(name == "forecolor", v);
    else known = CControlUI::SetAttribute(name, v);
    quiet_ = false;
    return known;
}

void CSliderUI::SetValue(int v) {
    quiet_ = true;
    slider_->setValue(v);
    quiet_ = false;
}

int CSliderUI::GetValue() const { return slider_->value(); }

void CSliderUI::SetSliderColor(bool filled, const std::string& v) {
    std::uint32_t argb = 0;
    if (!dui::ParseColor(v, argb)) return;
    // The style draws the filled part in the highlight colour and the handle in the button colour.
    QPalette pal = slider_->palette();
    pal.setColor(filled ? QPalette::Highlight : QPalette::Button, QColor::fromRgba(argb));
    slider_->setPalette(pal);
}

void CSliderUI::Relayout() { slider_->setGeometry(rect()); }
