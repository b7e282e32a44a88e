#include "platform/dui/list.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

#include "platform/dui/draw.h"

// ---------------------------------------------------------------- body

CListBodyUI::CListBodyUI(CListUI* list) : list_(list) {}

int CListBodyUI::ContentHeight() const {
    long long h = inset_.t + inset_.b;
    bool first = true;
    for (CControlUI* c : items_) {
        if (c->isHidden()) continue;
        if (!first) h += childPadding_;
        first = false;
        const int own = c->FixedSize().cy;
        h += (own > 0 ? own : list_->ItemStyle().height) + c->Padding().t + c->Padding().b;
    }
    return static_cast<int>(std::min<long long>(h, dui::kMaxCoord));
}

void CListBodyUI::Relayout() {
    const QRect in = InnerRect();
    int y = in.top();
    for (CControlUI* c : items_) {
        if (c->isHidden()) continue;
        const auto pd = c->Padding();
        const int own = c->FixedSize().cy;
        const int h = own > 0 ? own : list_->ItemStyle().height;
        y += pd.t;
        Place(c, QRect(in.left() + pd.l, y, std::max(0, in.width() - pd.l - pd.r), h));
        y = std::min(y + h + pd.b + childPadding_, dui::kMaxCoord);
    }
}

// ---------------------------------------------------------------- list

CListUI::CListUI(QWidget* parent) : CContainerUI(parent), body_(new CListBodyUI(this)), scroll_(new QScrollArea(this)) {
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(false);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setAutoFillBackground(false);
    scroll_->setWidget(body_);
    QObject::connect(scroll_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        const int max = scroll_->verticalScrollBar()->maximum();
        if (max > 0 && v == max) Notify(dui::notify::kEndPage);
    });
}

bool CListUI::SetAttribute(std::string_view name, const std::string& v) {
    auto color = [&](bool& has, std::uint32_t& c) { has = dui::ParseColor(v, c); };
    if (name == "itemfont") style_.font = std::clamp(dui::ParseInt(v, -1), -1, 255);
    else if (name == "itemshowhtml") style_.showHtml = dui::ParseBool(v);
    else if (name == "itemendellipsis") style_.endEllipsis = dui::ParseBool(v);
    else if (name == "itemalign") style_.align = dui::ParseAlign(v, style_.align);
    else if (name == "itemtextpadding") style_.textPadding = dui::ParseRect(v);
    else if (name == "itemheight") style_.height = std::clamp(dui::ParseInt(v, 24), 1, dui::kMaxCoord);
    else if (name == "itemtextcolor") color(style_.hasText, style_.text);
    else if (name == "itemselectedtextcolor") color(style_.hasSelText, style_.selText);
    else if (name == "itemhottextcolor") color(style_.hasHotText, style_.hotText);
    else if (name == "itemdisabledtextcolor") color(style_.hasDisabledText, style_.disabledText);
    else if (name == "itembkcolor") color(style_.hasBk, style_.bk);
    else if (name == "itemselectedbkcolor") color(style_.hasSelBk, style_.selBk);
    else if (name == "itemhotbkcolor") color(style_.hasHotBk, style_.hotBk);
    else if (name == "itemlinecolor") color(style_.hasLine, style_.line);
    else if (name == "itembkimage") style_.bkImage = v;
    else if (name == "itemselectedimage") style_.selImage = v;
    else if (name == "itemhotimage") style_.hotImage = v;
    else if (name == "vscrollbar")
        scroll_->setVerticalScrollBarPolicy(dui::ParseBool(v, true) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    else if (name == "childpadding") body_->SetAttribute(name, v);
    else return CContainerUI::SetAttribute(name, v);
    Relayout();
    body_->update();
    return true;
}

bool CListUI::Add(CControlUI* item) { return AddAt(item, GetCount()); }

bool CListUI::AddAt(CControlUI* item, int index) {
    if (!item) return false;
    if (!item->GetManager()) item->SetManager(manager_);
    body_->SetManager(manager_);
    if (!body_->AddAt(item, index)) return false;
    if (cur_ >= index) ++cur_;
    Relayout();
    return true;
}

bool CListUI::Remove(CControlUI* item) {
    const int index = body_->GetItemIndex(item);
    if (index < 0) return false;
    body_->Remove(item);
    if (cur_ == index) cur_ = -1;
    else if (cur_ > index) --cur_;
    hot_ = -1;
    Relayout();
    return true;
}

void CListUI::RemoveAll() {
    body_->RemoveAll();
    cur_ = hot_ = -1;
    Relayout();
}

int CListUI::GetCount() const { return body_->GetCount(); }
CControlUI* CListUI::GetItemAt(int index) const { return body_->GetItemAt(index); }
int CListUI::GetItemIndex(CControlUI* item) const { return body_->GetItemIndex(item); }

CControlUI* CListUI::FindSubControl(std::string_view name) {
    if (name_ == name) return this;
    return body_->FindSubControl(name);
}

bool CListUI::SelectItem(int index, bool notify) {
    if (index < -1 || index >= GetCount()) return false;
    if (index == cur_) return true;
    const int old = cur_;
    cur_ = index;
    body_->update();
    for (int i : {old, index})
        if (CControlUI* c = GetItemAt(i)) c->update();
    if (index >= 0) EnsureVisible(index);
    if (notify) Notify(dui::notify::kItemSelect, static_cast<std::uintptr_t>(std::max(index, 0)), old);
    return true;
}

void CListUI::EnsureVisible(int index) {
    if (CControlUI* c = GetItemAt(index)) scroll_->ensureWidgetVisible(c, 0, 0);
}

void CListUI::SetItemShowHtml(bool on) {
    style_.showHtml = on;
    body_->update();
}

void CListUI::Relayout() {
    const QRect in = InnerRect();
    if (scroll_->geometry() != in) scroll_->setGeometry(in);
    const int content = body_->ContentHeight();
    int width = in.width();
    if (content > in.height() && scroll_->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
        width -= scroll_->verticalScrollBar()->sizeHint().width();
    body_->setGeometry(0, 0, std::max(0, width), content);
    body_->Relayout();
}

void CListUI::ItemPressed(CControlUI* item, QMouseEvent* e) {
    const int index = GetItemIndex(item);
    if (index < 0 || !item->isEnabled()) return;
    QPointer<CListUI> self(this);
    const QPoint global = e->globalPosition().toPoint();
    const bool right = e->button() == Qt::RightButton;
    if (!right && e->button() != Qt::LeftButton) return;
    SelectItem(index, true);
    if (!self) return;
    Notify(right ? dui::notify::kItemRClick : dui::notify::kItemClick, static_cast<std::uintptr_t>(index), 0, global);
}

void CListUI::ItemDoubleClicked(CControlUI* item, QMouseEvent* e) {
    const int index = GetItemIndex(item);
    if (index < 0 || e->button() != Qt::LeftButton || !item->isEnabled()) return;
    Notify(dui::notify::kItemActivate, static_cast<std::uintptr_t>(index), 0, e->globalPosition().toPoint());
}

void CListUI::ItemHot(CControlUI* item, bool hot) {
    const int index = GetItemIndex(item);
    if (hot) hot_ = index;
    else if (hot_ == index) hot_ = -1;
    item->update();
}

void CListUI::PaintItemBackground(CControlUI* item, QPainter& p) {
    const int index = GetItemIndex(item);
    const QRect rc = item->rect();
    if (index == cur_ && style_.hasSelBk) p.fillRect(rc, dui::ToQColor(style_.selBk));
    else if (index == hot_ && style_.hasHotBk) p.fillRect(rc, dui::ToQColor(style_.hotBk));
    else if (style_.hasBk) p.fillRect(rc, dui::ToQColor(style_.bk));
    if (index == cur_ && !style_.selImage.empty()) item->DrawImage(p, rc, style_.selImage);
    else if (index == hot_ && !style_.hotImage.empty()) item->DrawImage(p, rc, style_.hotImage);
    else if (!style_.bkImage.empty()) item->DrawImage(p, rc, style_.bkImage);
    if (style_.hasLine) {
        p.setPen(dui::ToQColor(style_.line));
        p.drawLine(rc.bottomLeft(), rc.bottomRight());
    }
}

QColor CListUI::ItemTextColor(CControlUI* item) const {
    const int index = GetItemIndex(item);
    if (!item->isEnabled())
        return style_.hasDisabledText ? dui::ToQColor(style_.disabledText)
                                      : (manager_ ? manager_->DisabledTextColor() : QColor(Qt::gray));
    if (index == cur_ && style_.hasSelText) return dui::ToQColor(style_.selText);
    if (index == hot_ && style_.hasHotText) return dui::ToQColor(style_.hotText);
    if (style_.hasText) return dui::ToQColor(style_.text);
    return manager_ ? manager_->DefaultTextColor() : QColor(Qt::black);
}

CListUI* OwnerList(const CControlUI* item) {
    auto* body = item ? dynamic_cast<CListBodyUI*>(item->Owner()) : nullptr;
    return body ? body->List() : nullptr;
}

// ---------------------------------------------------------------- items

namespace {

template <class Item>
void Press(Item* item, QMouseEvent* e) {
    if (CListUI* list = OwnerList(item)) list->ItemPressed(item, e);
    else e->ignore();
}

template <class Item>
void DoubleClick(Item* item, QMouseEvent* e) {
    if (CListUI* list = OwnerList(item)) list->ItemDoubleClicked(item, e);
    else e->ignore();
}

}  // namespace

bool CListLabelElementUI::IsSelected() const {
    CListUI* list = OwnerList(this);
    return list && list->GetCurSel() == list->GetItemIndex(const_cast<CListLabelElementUI*>(this));
}

void CListLabelElementUI::mousePressEvent(QMouseEvent* e) { Press(this, e); }
void CListLabelElementUI::mouseDoubleClickEvent(QMouseEvent* e) { DoubleClick(this, e); }

void CListLabelElementUI::enterEvent(QEnterEvent*) {
    if (CListUI* list = OwnerList(this)) list->ItemHot(this, true);
}

void CListLabelElementUI::leaveEvent(QEvent*) {
    if (CListUI* list = OwnerList(this)) list->ItemHot(this, false);
}

void CListLabelElementUI::PaintBkColor(QPainter& p) {
    CControlUI::PaintBkColor(p);
    if (CListUI* list = OwnerList(this)) list->PaintItemBackground(this, p);
}

void CListLabelElementUI::PaintText(QPainter& p) {
    CListUI* list = OwnerList(this);
    if (text_.empty() || !list || !manager_) return;
    const ListItemStyle& st = list->ItemStyle();
    const QRect rc = rect().adjusted(st.textPadding.l, st.textPadding.t, -st.textPadding.r, -st.textPadding.b);
    const QFont font = manager_->Font(st.font);
    if (st.showHtml) dui::DrawMarkupLine(p, *manager_, rc, text_, font, list->ItemTextColor(this), st.align);
    else dui::DrawPlainText(p, rc, QString::fromStdString(text_), font, list->ItemTextColor(this), st.align,
                            st.endEllipsis, false);
}

bool CListContainerElementUI::IsSelected() const {
    CListUI* list = OwnerList(this);
    return list && list->GetCurSel() == list->GetItemIndex(const_cast<CListContainerElementUI*>(this));
}

void CListContainerElementUI::mousePressEvent(QMouseEvent* e) { Press(this, e); }
void CListContainerElementUI::mouseDoubleClickEvent(QMouseEvent* e) { DoubleClick(this, e); }

void CListContainerElementUI::enterEvent(QEnterEvent*) {
    if (CListUI* list = OwnerList(this)) list->ItemHot(this, true);
}

void CListContainerElementUI::leaveEvent(QEvent*) {
    if (CListUI* list = OwnerList(this)) list->ItemHot(this, false);
}

void CListContainerElementUI::PaintBkColor(QPainter& p) {
    CControlUI::PaintBkColor(p);
    if (CListUI* list = OwnerList(this)) list->PaintItemBackground(this, p);
}
