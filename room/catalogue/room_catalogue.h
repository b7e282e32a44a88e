#pragma once
// The room's four item catalogues (gifts, cars, VIP grades, packs). They are
// synced once my VIP grade is known (the first VIP list answer: the service
// prices by it), their progress shows on the panels ("12/40" and a bar; a
// headless line at most once a second), and each finished sync is taken in
// at its done message.

#include <cstdint>
#include <memory>
#include <string>

#include "core/message.h"
#include "room/catalogue/global_gift_http.h"
#include "room/room_session.h"

class CRoomCatalogue : public IRoomFeature {
public:
    struct Setup {
        std::string programFolder;
        std::string dataFolder;
        std::string host;          // the catalogue service; empty: no sync
        std::uint16_t port = 8000;
        HWND window = 0;           // where the done and progress messages go
    };
    // Headless progress lines, at most one per catalogue this often.
    static constexpr std::uint32_t kReportEveryMs = 1000;

    CRoomCatalogue(CRoomSession& session, Setup setup);
    ~CRoomCatalogue() override;

    bool OnPacket(std::uint32_t, const unsigned char*, std::size_t) override { return false; }
    bool OnWindowMessage(const WindowMessage& m) override;

    // Init and Request for the four catalogues, the buy type being my VIP
    // grade (0 when unknown). Once; later calls do nothing.
    void StartSync(int buyType);
    bool started() const { return started_; }

    catalogue::CGlobalGiftHttp& gifts() { return *catalogues_[0]; }
    catalogue::CGlobalGiftHttp& cars() { return *catalogues_[1]; }
    catalogue::CGlobalGiftHttp& vips() { return *catalogues_[2]; }
    catalogue::CGlobalGiftHttp& packs() { return *catalogues_[3]; }
    // The badge of a VIP grade (full path), empty while unknown.
    std::string VipIcon(std::uint32_t level) const;
    // The panel control a catalogue's progress shows on; empty for none.
    static std::string ProgressControl(const std::string& itemType);

private:
    void ShowProgress(const catalogue::CatalogueProgress& p);

    CRoomSession& session_;
    Setup setup_;
    bool started_ = false;
    std::unique_ptr<catalogue::CGlobalGiftHttp> catalogues_[4];
    std::uint32_t lastReportMs_[4] = {};
    bool reported_[4] = {};
};
