// What the purchase dialogs read and show, apart from the windows: the gift
// count a box holds, prices and totals, the video text's byte bound, and
// where a buy dialog opens around the cursor.
#include <gtest/gtest.h>

#include "ui/offer_view.h"
#include "ui/purchase_texts.h"

using namespace purchase_text;

TEST(GiftCount, OnlyACountTheRoomTakesReadsAsItself) {
    EXPECT_EQ(ParseGiftCount("1"), 1);
    EXPECT_EQ(ParseGiftCount("9999"), 9999);
    EXPECT_EQ(ParseGiftCount(" 12 "), 12);
    EXPECT_EQ(ParseGiftCount("0042"), 42);
    // Junk and counts beyond the bound read 0: the room refuses them
    // instead of giving a count nobody typed.
    for (const char* junk : {"", "   ", "0", "abc", "12a", "-3", "+5", "1 2", "10000", "4294967297",
                             "99999999999999999999999"})
        EXPECT_EQ(ParseGiftCount(junk), 0) << '"' << junk << '"';
}

TEST(PriceTexts, HundredthsShowExactlyWithTheCurrency) {
    EXPECT_EQ(PriceText(12345, "元"), "123.45元");
    EXPECT_EQ(PriceText(29, ""), "0.29");
    EXPECT_EQ(PriceText(-150, "元"), "-1.50元");
    EXPECT_EQ(OfferPriceText(1000, 0, "元"), "10.00元");
    EXPECT_EQ(OfferPriceText(1000, 1000, "元"), "10.00元");
    EXPECT_EQ(OfferPriceText(800, 1000, "元"), "原价:10.00/现价:8.00元");
    EXPECT_EQ(TotalText(1050, 3, "元"), "31.50元");
    EXPECT_EQ(TotalText(1050, 0, "元"), "");
    EXPECT_EQ(TotalText(1050, 10000, "元"), "");
    // A hostile catalogue price cannot overflow the total.
    EXPECT_EQ(TotalText(INT64_MAX / 2, 9999, "元"), "");
}

TEST(PriceTexts, ExpiryIsADateOrForever) {
    EXPECT_EQ(ExpiryText(0), "永久");
    const std::string d = ExpiryText(1767225600);  // 2026-01-01 00:00 UTC
    ASSERT_EQ(d.size(), 10u);
    EXPECT_TRUE(d == "2026-01-01" || d == "2025-12-31") << d;
}

TEST(VideoText, HeldTo128BytesAtACharacterBoundary) {
    EXPECT_EQ(FitVideoText(std::string(200, 'a')).size(), 128u);
    std::string cjk;
    for (int i = 0; i < 50; ++i) cjk += "视";  // 3 bytes each
    const std::string fitted = FitVideoText(cjk);
    EXPECT_EQ(fitted.size(), 126u);
    EXPECT_EQ(fitted, cjk.substr(0, 126));
    // A four-byte character that would cross the bound is left out whole.
    const std::string edge = std::string(127, 'a') + "\xF0\x9F\x98\x80";
    EXPECT_EQ(FitVideoText(edge), std::string(127, 'a'));
    EXPECT_EQ(FitVideoText(std::string(124, 'a') + "\xF0\x9F\x98\x80").size(), 128u);
}

TEST(VideoText, ControlCharactersAndBrokenBytesAreDropped) {
    EXPECT_EQ(FitVideoText("a\tb\nc\x7F"
                           "d"),
              "abcd");
    EXPECT_EQ(FitVideoText(std::string("x\0y", 3)), "xy");
    EXPECT_EQ(FitVideoText("ok\xE8\xA7"
                           "!"),
              "ok!");  // a cut-off sequence
    EXPECT_EQ(FitVideoText("\xC0\xAF"
                           "z"),
              "z");  // an overlong slash
    // Dropped characters make room: the bound counts what is sent.
    EXPECT_EQ(FitVideoText(std::string(10, '\n') + std::string(128, 'b')), std::string(128, 'b'));
}

TEST(BuyDialogPlace, AboveTheCursorCentredAndKeptOnTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    const QSize size(300, 200);
    EXPECT_EQ(offer_view::PlaceAboveCursor({640, 500}, size, screen), QPoint(490, 300));
    // Near the right edge and the top: moved in, still whole.
    EXPECT_EQ(offer_view::PlaceAboveCursor({1270, 500}, size, screen), QPoint(980, 300));
    EXPECT_EQ(offer_view::PlaceAboveCursor({10, 50}, size, screen), QPoint(0, 0));
    // A second screen to the left has negative coordinates.
    EXPECT_EQ(offer_view::PlaceAboveCursor({-600, 400}, size, QRect(-1280, 0, 1280, 800)),
              QPoint(-750, 200));
    // Without a known screen the place is taken as it comes.
    EXPECT_EQ(offer_view::PlaceAboveCursor({10, 50}, size, QRect()), QPoint(-140, -150));
}
