#include "platform/dui/control.h"

#include <QContextMenuEvent>
#include <QPainter>
#include <QTimerEvent>

#include <algorithm>

#include "platform/dui/draw.h"

using dui::kMaxCoord;

// ---------------------------------------------------------------- CControlUI

CControlUI::CControlUI(QWidget* parent) : QWidget(parent) {}

CControlUI::~CControlUI() {
    if (owner_) owner_->Forget(this);
}

void CControlUI::SetText(const std::string& utf8) {
    if (text_ == utf8) return;
    text_ = utf8;
    update();
}

void CControlUI::SetEnabled(bool enabled) {
    setEnabled(enabled);
    update();
}

void CControlUI::SetToolTip(const std::string& utf8) { setToolTip(QString::fromStdString(utf8)); }

void CControlUI::setVisible(bool visible) {
    skinHidden_ = !visible;
    // Without a parent a shown widget would become a window of its own; the
    // state is kept until a container takes the control.
    if (!parentWidget()) return;
    const bool changed = isHidden() == visible;
    QWidget::setVisible(visible);
    if (changed) NeedParentUpdate();
}

void CControlUI::NeedParentUpdate() {
    if (owner_) owner_->Relayout();
}

void CControlUI::Notify(std::string_view type, std::uintptr_t wParam, std::intptr_t lParam, QPoint ptMouse,
                        std::string text) {
    if (manager_) manager_->SendNotify(this, type, wParam, lParam, ptMouse, std::move(text));
}

void CControlUI::SetFixedWidth(int w) {
    fixed_.cx = std::clamp(w, 0, kMaxCoord);
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int h) {
    fixed_.cy = std::clamp(h, 0, kMaxCoord);
    NeedParentUpdate();
}

void CControlUI::SetBkColor(std::uint32_t argb) {
    hasBkColor_ = true;
    bkColor_ = argb;
    update();
}

void CControlUI::SetBkImage(const std::string& image) {
    bkImage_ = image;
    update();
}

void CControlUI::ApplyAttributeList(const std::vector<dui::SkinAttr>& attrs) {
    for (const auto& a : attrs) SetAttribute(a.name, a.value);
}

bool CControlUI::SetAttribute(std::string_view name, const std::string& v) {
    std::uint32_t argb = 0;
    auto nonNegative = [](int x) { return std::clamp(x, 0, kMaxCoord); };
    if (name == "name") name_ = v;
    else if (name == "text") SetText(v);
    else if (name == "tooltip") SetToolTip(v);
    else if (name == "userdata") userData_ = v;
    else if (name == "visible") SetVisible(dui::ParseBool(v, true));
    else if (name == "enabled") SetEnabled(dui::ParseBool(v, true));
    else if (name == "float") float_ = dui::ParseBool(v);
    else if (name == "pos") {
        floatPos_ = dui::ParseRect(v);
        if (floatPos_.r > floatPos_.l) fixed_.cx = nonNegative(floatPos_.r - floatPos_.l);
        if (floatPos_.b > floatPos_.t) fixed_.cy = nonNegative(floatPos_.b - floatPos_.t);
    } else if (name == "width") fixed_.cx = nonNegative(dui::ParseInt(v));
    else if (name == "height") fixed_.cy = nonNegative(dui::ParseInt(v));
    else if (name == "minwidth") min_.cx = nonNegative(dui::ParseInt(v));
    else if (name == "minheight") min_.cy = nonNegative(dui::ParseInt(v));
    else if (name == "maxwidth") max_.cx = nonNegative(dui::ParseInt(v, kMaxCoord));
    else if (name == "maxheight") max_.cy = nonNegative(dui::ParseInt(v, kMaxCoord));
    else if (name == "padding") padding_ = dui::ParseRect(v);
    else if (name == "bkcolor") {
        if (dui::ParseColor(v, argb)) SetBkColor(argb);
    } else if (name == "bordercolor") {
        hasBorderColor_ = dui::ParseColor(v, borderColor_);
    } else if (name == "bordersize") borderSize_ = std::clamp(dui::ParseInt(v), 0, 64);
    else if (name == "borderround") borderRound_ = dui::ParseSize(v);
    else if (name == "bkimage") SetBkImage(v);
    else if (name == "menu") contextMenu_ = dui::ParseBool(v);
    else if (name == "mouse") setAttribute(Qt::WA_TransparentForMouseEvents, !dui::ParseBool(v, true));
    else return false;
    return true;
}

CControlUI* CControlUI::FindSubControl(std::string_view name) { return name_ == name ? this : nullptr; }

bool CControlUI::DrawImage(QPainter& p, const QRect& rc, const std::string& desc) {
    if (!manager_ || desc.empty()) return false;
    return dui::DrawSkinImage(p, *manager_, rc, dui::ParseImage(desc));
}

void CControlUI::SetTimer(unsigned id, unsigned periodMs) {
    KillTimer(id);
    const int qtId = startTimer(static_cast<int>(std::max(1u, std::min(periodMs, 0x7FFFFFFFu))));
    if (qtId) timers_[id] = {qtId, periodMs};
}

void CControlUI::KillTimer(unsigned id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    killTimer(it->second.first);
    timers_.erase(it);
}

unsigned CControlUI::TimerPeriod(unsigned id) const {
    auto it = timers_.find(id);
    return it == timers_.end() ? 0 : it->second.second;
}

void CControlUI::DoTimer(unsigned id) { Notify(dui::notify::kTimer, id); }

void CControlUI::timerEvent(QTimerEvent* e) {
    for (const auto& [id, t] : timers_) {
        if (t.first == e->timerId()) {
            DoTimer(id);
            return;
        }
    }
    QWidget::timerEvent(e);
}

void CControlUI::contextMenuEvent(QContextMenuEvent* e) {
    if (!contextMenu_) {
        e->ignore();
        return;
    }
    e->accept();
    Notify(dui::notify::kMenu, 0, 0, e->globalPos());
}

void CControlUI::paintEvent(QPaintEvent*) {
    QPainter p(this);
    DoPaint(p);
}

void CControlUI::DoPaint(QPainter& p) {
    PaintBkColor(p);
    PaintBkImage(p);
    PaintStatusImage(p);
    PaintText(p);
    PaintBorder(p);
}

void CControlUI::PaintBkColor(QPainter& p) {
    if (!hasBkColor_) return;
    const QColor c = dui::ToQColor(bkColor_);
    if (borderRound_.cx > 0 || borderRound_.cy > 0) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(rect(), borderRound_.cx / 2.0, borderRound_.cy / 2.0);
        p.restore();
    } else {
        p.fillRect(rect(), c);
    }
}

void CControlUI::PaintBkImage(QPainter& p) {
    if (!bkImage_.empty()) DrawImage(p, rect(), bkImage_);
}

void CControlUI::PaintBorder(QPainter& p) {
    if (borderSize_ <= 0 || !hasBorderColor_) return;
    p.save();
    QPen pen(dui::ToQColor(borderColor_));
    pen.setWidth(borderSize_);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const double half = borderSize_ / 2.0;
    const QRectF r = QRectF(rect()).adjusted(half, half, -half, -half);
    if (borderRound_.cx > 0 || borderRound_.cy > 0) {
        p.setRenderHint(QPainter::Antialiasing);
        p.drawRoundedRect(r, borderRound_.cx / 2.0, borderRound_.cy / 2.0);
    } else {
        p.drawRect(r);
    }
    p.restore();
}

// ---------------------------------------------------------------- flow layout

std::vector<std::pair<int, int>> dui::FlowLayout(const std::vector<FlowItem>& items, int avail, int gap) {
    const std::size_t n = items.size();
    std::vector<std::pair<int, int>> out(n);
    if (n == 0) return out;
    gap = std::clamp(gap, 0, kMaxCoord);
    long long used = static_cast<long long>(gap) * static_cast<long long>(n - 1);
    std::vector<int> size(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
        used += items[i].before + items[i].after;
        if (items[i].fixed > 0) {
            size[i] = items[i].fixed;
            used += items[i].fixed;
        }
    }
    long long remaining = std::max<long long>(0, avail - used);
    // Items whose share falls outside their bounds take the bound and leave
    // the pool; the others then share again.
    for (;;) {
        long long count = 0;
        for (std::size_t i = 0; i < n; ++i) count += size[i] < 0;
        if (count == 0) break;
        const long long share = remaining / count;
        bool bounded = false;
        for (std::size_t i = 0; i < n; ++i) {
            if (size[i] >= 0) continue;
            const int mn = items[i].min, mx = std::max(items[i].min, items[i].max);
            if (share < mn || share > mx) {
                size[i] = share < mn ? mn : mx;
                remaining = std::max<long long>(0, remaining - size[i]);
                bounded = true;
            }
        }
        if (bounded) continue;
        long long rest = remaining - share * count;  // rounding goes to the last sharer
        for (std::size_t i = n; i-- > 0;) {
            if (size[i] >= 0) continue;
            size[i] = static_cast<int>(share + rest);
            rest = 0;
        }
        break;
    }
    long long pos = 0;
    for (std::size_t i = 0; i < n; ++i) {
        pos += items[i].before;
        out[i] = {static_cast<int>(std::min<long long>(pos, kMaxCoord)), size[i]};
        pos += static_cast<long long>(size[i]) + items[i].after + gap;
    }
    return out;
}

// ---------------------------------------------------------------- CContainerUI

CContainerUI::CContainerUI(QWidget* parent) : CControlUI(parent) {}

CContainerUI::~CContainerUI() {
    // Children die after this (in ~QWidget); they must not call back.
    for (CControlUI* c : items_) c->owner_ = nullptr;
    items_.clear();
}

bool CContainerUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "inset") inset_ = dui::ParseRect(v);
    else if (name == "childpadding") childPadding_ = std::clamp(dui::ParseInt(v), 0, kMaxCoord);
    else return CControlUI::SetAttribute(name, v);
    Relayout();
    return true;
}

bool CContainerUI::Add(CControlUI* child) { return AddAt(child, GetCount()); }

bool CContainerUI::AddAt(CControlUI* child, int index) {
    if (!child || child == this || index < 0 || index > GetCount()) return false;
    if (child->owner_) child->owner_->Forget(child);
    const bool hidden = child->parentWidget() ? child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide)
                                              : child->skinHidden_;
    if (child->parentWidget() != this) child->setParent(this);
    child->owner_ = this;
    if (!child->manager_) child->manager_ = manager_;
    items_.insert(items_.begin() + index, child);
    child->QWidget::setVisible(!hidden);
    Relayout();
    return true;
}

bool CContainerUI::Remove(CControlUI* child) {
    if (GetItemIndex(child) < 0) return false;
    delete child;  // its destructor forgets it here
    Relayout();
    return true;
}

void CContainerUI::RemoveAll() {
    const auto items = items_;
    items_.clear();
    for (CControlUI* c : items) {
        c->owner_ = nullptr;
        delete c;
    }
    Relayout();
}

void CContainerUI::Forget(CControlUI* child) {
    items_.erase(std::remove(items_.begin(), items_.end(), child), items_.end());
    child->owner_ = nullptr;
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    return index >= 0 && index < GetCount() ? items_[static_cast<std::size_t>(index)] : nullptr;
}

int CContainerUI::GetItemIndex(CControlUI* child) const {
    auto it = std::find(items_.begin(), items_.end(), child);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

CControlUI* CContainerUI::FindSubControl(std::string_view name) {
    if (name_ == name) return this;
    for (CControlUI* c : items_)
        if (CControlUI* found = c->FindSubControl(name)) return found;
    return nullptr;
}

void CContainerUI::resizeEvent(QResizeEvent*) { Relayout(); }

QRect CContainerUI::InnerRect() const {
    const QRect r = rect();
    return QRect(r.left() + inset_.l, r.top() + inset_.t, std::max(0, r.width() - inset_.l - inset_.r),
                 std::max(0, r.height() - inset_.t - inset_.b));
}

void CContainerUI::Place(CControlUI* child, const QRect& rc) {
    const QRect r(rc.topLeft(), QSize(std::max(0, rc.width()), std::max(0, rc.height())));
    if (child->geometry() != r) child->setGeometry(r);
    child->Relayout();  // hidden widgets get their resize event only when shown
}

void CContainerUI::PlaceFloat(CControlUI* child) {
    const dui::Rect4 p = child->floatPos_;
    int w = p.r > p.l ? p.r - p.l : child->fixed_.cx;
    int h = p.b > p.t ? p.b - p.t : child->fixed_.cy;
    Place(child, QRect(p.l, p.t, w, h));
}

std::vector<CControlUI*> CContainerUI::VisibleFlowItems() const {
    std::vector<CControlUI*> out;
    // Every child is shown or hidden explicitly when added, so isHidden()
    // tells its own state even before the window is shown.
    for (CControlUI* c : items_)
        if (!c->isHidden()) out.push_back(c);
    return out;
}

void CContainerUI::Relayout() {
    const QRect in = InnerRect();
    for (CControlUI* c : VisibleFlowItems()) {
        if (c->float_) {
            PlaceFloat(c);
            continue;
        }
        const dui::Rect4 pd = c->padding_;
        QRect r = in.adjusted(pd.l, pd.t, -pd.r, -pd.b);
        if (c->fixed_.cx > 0) r.setWidth(std::min(c->fixed_.cx, r.width()));
        if (c->fixed_.cy > 0) r.setHeight(std::min(c->fixed_.cy, r.height()));
        Place(c, r);
    }
}

// ---------------------------------------------------------------- layouts

namespace {

// Lays out along one axis; vertical when `vertical`.
void FlowChildren(CContainerUI& box, const std::vector<CControlUI*>& items, const QRect& in, int gap, bool vertical) {
    std::vector<CControlUI*> flow;
    std::vector<dui::FlowItem> sizes;
    for (CControlUI* c : items) {
        if (c->IsFloat()) continue;
        const auto pd = c->Padding();
        dui::FlowItem f;
        f.fixed = vertical ? c->FixedSize().cy : c->FixedSize().cx;
        f.min = vertical ? c->MinSize().cy : c->MinSize().cx;
        f.max = vertical ? c->MaxSize().cy : c->MaxSize().cx;
        f.before = vertical ? pd.t : pd.l;
        f.after = vertical ? pd.b : pd.r;
        flow.push_back(c);
        sizes.push_back(f);
    }
    (void)box;
    const auto placed = dui::FlowLayout(sizes, vertical ? in.height() : in.width(), gap);
    for (std::size_t i = 0; i < flow.size(); ++i) {
        CControlUI* c = flow[i];
        const auto pd = c->Padding();
        const int crossAvail = vertical ? in.width() - pd.l - pd.r : in.height() - pd.t - pd.b;
        const int fixedCross = vertical ? c->FixedSize().cx : c->FixedSize().cy;
        const int mn = vertical ? c->MinSize().cx : c->MinSize().cy;
        const int mx = vertical ? c->MaxSize().cx : c->MaxSize().cy;
        int cross = fixedCross > 0 ? fixedCross : std::clamp(crossAvail, mn, std::max(mn, mx));
        cross = std::max(0, cross);
        QRect r = vertical ? QRect(in.left() + pd.l, in.top() + placed[i].first, cross, placed[i].second)
                           : QRect(in.left() + placed[i].first, in.top() + pd.t, placed[i].second, cross);
        CContainerUI::Place(c, r);
    }
}

}  // namespace

void CVerticalLayoutUI::Relayout() {
    const auto items = VisibleFlowItems();
    for (CControlUI* c : items)
        if (c->IsFloat()) PlaceFloat(c);
    FlowChildren(*this, items, InnerRect(), childPadding_, true);
}

void CHorizontalLayoutUI::Relayout() {
    const auto items = VisibleFlowItems();
    for (CControlUI* c : items)
        if (c->IsFloat()) PlaceFloat(c);
    FlowChildren(*this, items, InnerRect(), childPadding_, false);
}

bool CTileLayoutUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "columns") columns_ = std::clamp(dui::ParseInt(v, 1), 1, 1024);
    else if (name == "itemsize") itemSize_ = dui::ParseSize(v);
    else return CContainerUI::SetAttribute(name, v);
    Relayout();
    return true;
}

void CTileLayoutUI::Relayout() {
    const QRect in = InnerRect();
    const int gap = childPadding_;
    int cols = columns_;
    if (itemSize_.cx > 0) cols = std::max(1, (in.width() + gap) / (itemSize_.cx + gap));
    const int cellW = itemSize_.cx > 0 ? itemSize_.cx : std::max(0, (in.width() - gap * (cols - 1)) / cols);
    std::vector<CControlUI*> cells;
    for (CControlUI* c : VisibleFlowItems()) {
        if (c->IsFloat()) PlaceFloat(c);
        else cells.push_back(c);
    }
    int y = in.top();
    for (std::size_t row = 0; row * cols < cells.size(); ++row) {
        int rowH = itemSize_.cy;
        if (rowH <= 0) {
            for (std::size_t k = row * cols; k < std::min(cells.size(), (row + 1) * cols); ++k)
                rowH = std::max(rowH, cells[k]->FixedSize().cy);
            if (rowH <= 0) rowH = cellW;
        }
        for (std::size_t k = row * cols; k < std::min(cells.size(), (row + 1) * cols); ++k) {
            const int col = static_cast<int>(k - row * cols);
            const auto pd = cells[k]->Padding();
            const QRect cell(in.left() + col * (cellW + gap), y, cellW, rowH);
            Place(cells[k], cell.adjusted(pd.l, pd.t, -pd.r, -pd.b));
        }
        y = std::min(y + rowH + gap, kMaxCoord);
    }
}

bool CTabLayoutUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "selectedid") {
        cur_ = std::max(0, dui::ParseInt(v));
        ShowCurrent();
        return true;
    }
    return CContainerUI::SetAttribute(name, v);
}

bool CTabLayoutUI::Add(CControlUI* child) { return AddAt(child, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* child, int index) {
    if (!CContainerUI::AddAt(child, index)) return false;
    ShowCurrent();
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* child) {
    if (!CContainerUI::Remove(child)) return false;
    cur_ = std::clamp(cur_, 0, std::max(0, GetCount() - 1));
    ShowCurrent();
    return true;
}

void CTabLayoutUI::ShowCurrent() {
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* c = items_[static_cast<std::size_t>(i)];
        const bool show = i == cur_;
        if (c->isHidden() == show) c->QWidget::setVisible(show);
    }
}

void CTabLayoutUI::Relayout() {
    const QRect in = InnerRect();
    for (CControlUI* c : items_) {
        const auto pd = c->Padding();
        Place(c, in.adjusted(pd.l, pd.t, -pd.r, -pd.b));
    }
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount()) return false;
    if (index == cur_) return true;
    const int old = cur_;
    cur_ = index;
    ShowCurrent();
    Relayout();
    Notify(dui::notify::kTabSelect, static_cast<std::uintptr_t>(index), old);
    return true;
}
