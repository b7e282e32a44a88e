#include "ui/billboard_list.h"

#include "core/log.h"
#include "platform/dui/builder.h"
#include "platform/dui/controls.h"
#include "room/room_user.h"
#include "ui/offer_view.h"

namespace {

// The first three places' badges: gold, silver, bronze.
constexpr std::uint32_t kPlaceColours[] = {0xFFE8A317, 0xFF9EA7B8, 0xFFC0703A};

}  // namespace

void CUserBillboardList::SetLines(const std::vector<purchase::BillboardLine>& lines) {
    RemoveAll();
    for (const purchase::BillboardLine& line : lines)
        if (!AddLine(line)) break;
}

bool CUserBillboardList::AddLine(const purchase::BillboardLine& line) {
    CSkinManager* m = GetManager();
    if (!m) return false;
    CControlUI* item = CSkinBuilder::BuildFile(m->SkinFolder() + kTemplate, *m, nullptr);
    if (!item) return false;
    if (!dynamic_cast<CListContainerElementUI*>(item)) {
        log_msg("skin: %s is no list line", kTemplate);
        delete item;
        return false;
    }
    item->SetFixedHeight(kLineHeight);
    if (CControlUI* c = item->FindSubControl("bntvip")) {
        c->SetText(std::to_string(line.place));
        if (line.place >= 1 && line.place <= 3) c->SetBkColor(kPlaceColours[line.place - 1]);
    }
    if (CControlUI* c = item->FindSubControl("bntgrade")) {
        offer_view::ShowPicture(c, line.icon);
        c->SetToolTip(line.gradeText);
    }
    if (CControlUI* c = item->FindSubControl("labelname")) {
        c->SetText(line.nickname);
        c->SetToolTip(line.nickname);
    }
    if (auto* c = dynamic_cast<CLabelUI*>(item->FindSubControl("labelgrade"))) {
        c->SetText(line.gradeText);
        // An unreadable colour keeps the template's.
        if (const std::uint32_t rgb = ParseColour(line.colour)) c->SetTextColor(0xFF000000u | rgb);
    }
    if (!Add(item)) {
        delete item;
        return false;
    }
    lines_.push_back(line);
    return true;
}

void CUserBillboardList::RemoveAll() {
    CListUI::RemoveAll();
    lines_.clear();
}

const purchase::BillboardLine* CUserBillboardList::LineAt(int index) const {
    if (index < 0 || index >= static_cast<int>(lines_.size())) return nullptr;
    return &lines_[static_cast<std::size_t>(index)];
}
