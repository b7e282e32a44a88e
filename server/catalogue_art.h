#pragma once
// The demo catalogue's pictures, drawn at seed time: gift icons, chat
// pictures and animations, cars, VIP badges and prop cards. Nothing here
// comes from a file; every picture is made from shapes and colours.

#include <cstdint>
#include <string>

namespace server::catalogue_art {

enum class Shape { heart, star, flower, gem, balloon, crown, cake, lollipop };
inline constexpr int kShapeCount = 8;

// PNG, 40 × 40: a gift in its cell of the gift panel.
std::string GiftIcon(Shape shape, std::uint32_t rgb);
// PNG, 24 × 24: the gift inside a chat line.
std::string GiftChatPicture(Shape shape, std::uint32_t rgb);
// Animated GIF, 96 × 96: the gift swelling and turning, with sparkles.
std::string GiftAnimation(Shape shape, std::uint32_t rgb);

// PNG, 64 × 40 (the car panel's cell), and a GIF of the car driving by.
std::string CarIcon(std::uint32_t rgb, int style);
std::string CarAnimation(std::uint32_t rgb, int style);

// VIP level 1 … 3: the shop's picture (PNG, 40 × 40) and the badge beside
// a name in the user list and chat (PNG, 22 × 16).
std::string VipIcon(unsigned level);
std::string VipBadge(unsigned level);

// PNG, 40 × 40: a card with a sign on it; `sign` 0 gag, 1 ungag, 2 video text.
std::string PropIcon(int sign, std::uint32_t rgb);

}  // namespace server::catalogue_art
