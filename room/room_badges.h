#pragma once
// The badges beside a user's name in the user list: the VIP icon (from the
// VIP catalogue), and the wealth medal, whose picture is fetched once into
// "res/wealth/" and shared by every user and room that shows it. The vest
// is the role table's business (it decorates users as well).

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "room/chat_transfers.h"
#include "room/room_session.h"

struct RoomBadgesSetup {
    std::string dataFolder;  // "res/wealth/" below it
    // The VIP badge of a VIP level (a local file); empty: none (yet).
    std::function<std::string(std::uint32_t level)> vipIcon;
};

class CRoomBadges : public IRoomFeature {
public:
    // Adds itself to the session.
    CRoomBadges(CRoomSession& session, IChatTransfers& transfers, RoomBadgesSetup setup);
    ~CRoomBadges() override;
    CRoomBadges(const CRoomBadges&) = delete;
    CRoomBadges& operator=(const CRoomBadges&) = delete;

    // The local file of a medal URL: "res/wealth/" + its file name; empty
    // when the URL names no usable file.
    std::string MedalPath(const std::string& url) const;
    // The medal's local file when cached; otherwise empty, and its one
    // download is started (the users and SetOnMedalsArrived hear of it).
    std::string MedalIcon(const std::string& url);
    // Told after medal pictures arrived (the billboards show them too).
    void SetOnMedalsArrived(std::function<void()> f) { onMedalsArrived_ = std::move(f); }
    // The VIP pictures changed (the catalogue finished): redraw every line.
    void VipIconsChanged() { session_.RedecorateUsers(); }

    void DecorateUser(RoomUser& u) override;
    bool OnPacket(std::uint32_t, const unsigned char*, std::size_t) override { return false; }
    bool OnWindowMessage(const WindowMessage& m) override;

private:
    enum class Fetch { waiting, failed };

    CRoomSession& session_;
    IChatTransfers& transfers_;
    RoomBadgesSetup setup_;
    // Medal files asked for in this run: each is fetched at most once, and
    // one that failed is not asked again until the program starts anew.
    std::map<std::string, Fetch> fetches_;
    std::function<void()> onMedalsArrived_;
};
