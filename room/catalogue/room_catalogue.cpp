#include "room/catalogue/room_catalogue.h"

#include <cstdlib>

#include "platform/patron/patron_records.h"

using catalogue::CatalogueProgress;
using catalogue::CGlobalGiftHttp;

namespace {

int IndexOf(const std::string& itemType) {
    for (int i = 0; i < 4; ++i)
        if (itemType == catalogue::kKinds[i]->itemType) return i;
    return -1;
}

}  // namespace

CRoomCatalogue::CRoomCatalogue(CRoomSession& session, Setup setup)
    : session_(session), setup_(std::move(setup)) {
    for (auto& c : catalogues_) {
        c = std::make_unique<CGlobalGiftHttp>(setup_.programFolder, setup_.dataFolder);
        c->SetWindow(setup_.window);
    }
    session_.AddFeature(this);
}

CRoomCatalogue::~CRoomCatalogue() {
    session_.RemoveFeature(this);
    // Every worker is told at once, so they end side by side.
    for (auto& c : catalogues_) c->StopSync();
}

std::string CRoomCatalogue::ProgressControl(const std::string& itemType) {
    if (itemType == catalogue::kGifts.itemType) return "GiftCtrl_progress";
    if (itemType == catalogue::kCars.itemType) return "CarCtrl_progress";
    if (itemType == catalogue::kPacks.itemType) return "PropCtrl_progress";
    return {};
}

void CRoomCatalogue::StartSync(int buyType) {
    if (started_) return;
    started_ = true;
    for (int i = 0; i < 4; ++i) {
        const catalogue::CatalogueKind& kind = *catalogue::kKinds[i];
        if (catalogues_[i]->Init(setup_.host, setup_.port, kind.itemType, kind.doneMessage, buyType))
            catalogues_[i]->Request();
    }
}

std::string CRoomCatalogue::VipIcon(std::uint32_t level) const { return catalogues_[2]->VipIcon(level); }

bool CRoomCatalogue::OnWindowMessage(const WindowMessage& m) {
    if (m.msg == UM_VIP_LIST) {
        // Not ours alone: others may want my VIP list too.
        const PatronVipList* list = m.wParam == 1 ? m.As<PatronVipList>() : nullptr;
        StartSync(list ? static_cast<int>(list->level) : 0);
        return false;
    }
    if (m.msg == catalogue::UM_CATALOGUE_PROGRESS) {
        if (const auto* p = m.As<CatalogueProgress>()) ShowProgress(*p);
        return true;
    }
    for (auto& c : catalogues_) {
        if (m.msg != c->doneMessage() || c->itemType().empty()) continue;
        // The cached file is new: the panel of this kind shows it.
        if (c->AdoptSync()) session_.view().ItemsReady(std::atoi(c->itemType().c_str()));
        // New VIP pictures: the badges beside the names follow.
        if (c.get() == catalogues_[2].get()) session_.RedecorateUsers();
        return true;
    }
    return false;
}

void CRoomCatalogue::ShowProgress(const CatalogueProgress& p) {
    const int index = IndexOf(p.itemType);
    if (index < 0) return;
    const std::string counts = std::to_string(p.filesDone) + "/" + std::to_string(p.filesTotal);
    const std::string control = ProgressControl(p.itemType);
    if (!control.empty()) {
        // The bar also moves within a file, by its bytes.
        constexpr int kSteps = 1000;
        int within = 0;
        if (p.length > 0 && p.filesDone < p.filesTotal)
            within = static_cast<int>(std::min<std::uint64_t>(p.bytes, p.length) * kSteps / p.length);
        const int total = static_cast<int>(std::min<std::uint32_t>(p.filesTotal, 1u << 20));
        const int done = static_cast<int>(std::min(p.filesDone, p.filesTotal));
        session_.view().SetProgress(control, total == 0 ? 1 : done * kSteps + within,
                                    total == 0 ? 1 : total * kSteps);
        session_.view().SetText(control, counts);
    }
    const bool last = p.filesDone >= p.filesTotal;
    const std::uint32_t now = session_.clock().TickMs();
    if (!last && reported_[index] && now - lastReportMs_[index] < kReportEveryMs) return;
    reported_[index] = true;
    lastReportMs_[index] = now;
    session_.view().Report("progress", std::string(catalogue::kKinds[index]->word) + " " + counts);
}
