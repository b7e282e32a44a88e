#pragma once
// One user of the current room, as the room window keeps it: from the user
// block and user card the server relays, plus what the client derives.

#include <cstdint>
#include <string>

struct RoomUser {
    std::uint32_t userId = 0;
    std::string nickname;
    std::uint32_t role = 0;
    bool gagged = false;
    bool online = false;
    std::int32_t wealthGrade = 0;
    std::uint32_t nameColour = 0;    // the wealth grade's colour, 0xRRGGBB
    std::uint32_t cardValue3 = 1;    // picks the vest together with the role
    std::uint32_t cardValue14 = 1;
    std::uint32_t vipLevel = 0;
    // Card texts: head image URL, two passed-on texts, grade text, medal URL.
    std::string headUrl;
    std::string cardText2;
    std::string cardText4;
    std::string gradeText;
    std::string medalUrl;
    // Local icon files (may be empty until known).
    std::string vestIcon;
    std::uint32_t vestIndex = 0;
    std::string vipIcon;
    std::string medalIcon;
};

// "#RRGGBB" (or "RRGGBB") to a number; 0 for anything else.
std::uint32_t ParseColour(const std::string& text);
