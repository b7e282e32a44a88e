#pragma once
// The room directory's data, without windows: a line per room, the server's
// room list answer (GET /rooms), the URLs that ask for it, and the rooms the
// user keeps (favourites, recent) brought up to date with live counts.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/buddy/buddy.h"

namespace rooms {

struct RoomLine {
    bool folder = false;  // directory and history lines never are
    std::uint32_t roomId = 0;
    std::uint32_t people = 0;
    std::uint32_t mode = 0;
    std::string name, secondName, logo, description;
};

struct RoomPage {
    std::uint32_t total = 0;  // rooms matching, over all pages
    std::uint32_t page = 1;
    std::uint32_t size = 0;
    std::vector<RoomLine> rooms;
};

// The service's own limits.
inline constexpr int kPageSize = 50;
inline constexpr std::size_t kMaxSearchBytes = 64;
inline constexpr std::size_t kMaxIds = 100;

// One page of the directory ("/rooms?page=P&size=S[&q=TEXT]"). The search
// text is trimmed and cut to the service's 64 bytes on a character boundary.
std::string DirectoryUrl(std::string_view host, std::string_view search, int page,
                         int size = kPageSize);
// Just these rooms ("/rooms?ids=…", at most 100, in order); empty when none.
std::string RoomsByIdsUrl(std::string_view host, const std::vector<std::uint32_t>& ids);
// The answer of either; nothing (and why, in `error`) when it is not one.
// Rooms without an id are left out; texts are kept as they come.
std::optional<RoomPage> ParseRoomPage(std::string_view json, std::string* error = nullptr);

// A room id typed by the user: digits (blanks around allowed), 1 to 2^32-1.
std::optional<std::uint32_t> ParseRoomId(std::string_view text);
// Where a room's logo is fetched: a path on the services host ("/…") or an
// http(s) URL as it is; empty for anything else.
std::string LogoUrl(std::string_view host, std::string_view logo);

// The room mode's name ("抢麦模式"…); empty for 0 or a mode not known here.
std::string ModeName(std::uint32_t mode);

// The rooms of a store chain (favourites or history), in its order.
std::vector<RoomLine> FromStore(const BuddyRoomInfo* chain);
std::vector<std::uint32_t> IdsOf(const std::vector<RoomLine>& lines);
// Lines of rooms the live answer names take its name, people, mode, logo
// and description (kept when the answer's are empty); the rest keep what
// the store had.
void ApplyLive(std::vector<RoomLine>& lines, const std::vector<RoomLine>& live);

}  // namespace rooms
