#pragma once
// The wealth medals: one small PNG per wealth grade, drawn by the server
// and served at /wealth/N.png (the address the account service hands out).

#include <string>

namespace server {

class CHttpServer;

inline constexpr unsigned kMaxMedalGrade = 30;

// The medal of grade 0 … kMaxMedalGrade (distinct per grade); empty above.
// Drawn once, then kept.
const std::string& WealthMedalPng(unsigned grade);

// GET /wealth/N.png with N written plainly (no sign, no leading zero);
// anything else under /wealth/ is 404.
void MountMedalRoute(CHttpServer& server);

}  // namespace server
