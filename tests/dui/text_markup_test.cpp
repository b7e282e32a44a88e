// The text markup: the templates the room fills, parsed into runs and laid
// out with known metrics (10 px per byte of text, images by name).
#include <gtest/gtest.h>

#include <map>

#include "platform/dui/text_markup.h"

using namespace dui;

namespace {

TextRun Move(int n) {
    TextRun r;
    r.kind = TextRun::kMove;
    r.amount = n;
    return r;
}
TextRun Tab(int n) {
    TextRun r;
    r.kind = TextRun::kTab;
    r.amount = n;
    return r;
}
TextRun Image(std::string name, int w = 0, int h = 0) {
    TextRun r;
    r.kind = TextRun::kImage;
    r.text = std::move(name);
    r.width = w;
    r.height = h;
    return r;
}
TextRun Text(std::string s, int font = -1, std::uint32_t color = 0, bool hasColor = false) {
    TextRun r;
    r.text = std::move(s);
    r.font = font;
    r.color = color;
    r.hasColor = hasColor;
    return r;
}

RunMetrics FixedMetrics() {
    static const std::map<std::string, std::pair<int, int>> images = {
        {"enter.png", {16, 16}}, {"vip.png", {20, 14}}, {"vest.png", {18, 18}}, {"medal.png", {24, 12}}};
    RunMetrics m;
    m.textWidth = [](std::string_view t, int) { return static_cast<int>(t.size()) * 10; };
    m.imageSize = [](const std::string& name) {
        auto it = images.find(name);
        return it == images.end() ? std::pair<int, int>{0, 0} : it->second;
    };
    return m;
}

}  // namespace

TEST(TextMarkup, NoticeOfAUserEnteringGivesIconBetweenGapsThenText) {
    const auto runs = ParseTextMarkup("<x 4><i enter.png><x 4>bob(1001) 进入了房间 12:00");
    const std::vector<TextRun> want = {Move(4), Image("enter.png"), Move(4), Text("bob(1001) 进入了房间 12:00")};
    EXPECT_EQ(runs, want);
    const auto placed = LayoutTextRuns(runs, FixedMetrics());
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].x, 4);
    EXPECT_EQ(placed[0].width, 16);
    EXPECT_EQ(placed[1].x, 24) << "4 + 16 + 4";
}

TEST(TextMarkup, MicQueueEntryNestsColourAndFont) {
    const auto runs = ParseTextMarkup("<c #FFFFFF><f 0><i spk.png><x 4>2.<x 4><i vest.png><x 4>amy</f></c> tail");
    ASSERT_EQ(runs.size(), 8u);
    EXPECT_EQ(runs[0], Image("spk.png"));
    EXPECT_EQ(runs[2], Text("2.", 0, 0xFFFFFFFFu, true));
    EXPECT_EQ(runs[6], Text("amy", 0, 0xFFFFFFFFu, true));
    EXPECT_EQ(runs[7], Text(" tail")) << "closing tags restore the style outside";
}

TEST(TextMarkup, UserListLineWithEmptyIconsDrawsNothingForThem) {
    const auto runs = ParseTextMarkup(
        "<x 3><i file='vip.png'><i file=''><x 5><c #FF0000><f 0>nick</f></c><x 5><i file=''><w 65><i file='medal.png'>");
    const std::vector<TextRun> want = {Move(3), Image("vip.png"), Move(5), Text("nick", 0, 0xFFFF0000u, true),
                                       Move(5), Tab(65), Image("medal.png")};
    EXPECT_EQ(runs, want);
    const auto placed = LayoutTextRuns(runs, FixedMetrics());
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[1].x, 28) << "3 + 20 + 5";
    EXPECT_EQ(placed[2].x, 73) << "the text ends at 68, +5 = 73, past the stop at 65";

    const auto shortName = LayoutTextRuns(ParseTextMarkup("<x 3><c #FF0000>a</c><w 65><i medal.png>"), FixedMetrics());
    ASSERT_EQ(shortName.size(), 2u);
    EXPECT_EQ(shortName[1].x, 65) << "a short line waits for the stop";
}

TEST(TextMarkup, ClothingPicturesTakeTheirGivenSize) {
    const auto runs = ParseTextMarkup("<e vest.png 16 16><e vip.png 16 16>");
    EXPECT_EQ(runs, (std::vector<TextRun>{Image("vest.png", 16, 16), Image("vip.png", 16, 16)}));
    const auto placed = LayoutTextRuns(runs, FixedMetrics());
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[1].x, 16);
    EXPECT_EQ(placed[1].height, 16);
}

TEST(TextMarkup, InsertedTextIsNeverMoreThanTheseTags) {
    // Nicknames go into templates unescaped: only our tags take effect.
    EXPECT_EQ(ParseTextMarkup("<b>bold</b>"), (std::vector<TextRun>{Text("<b>bold</b>")}));
    EXPECT_EQ(ParseTextMarkup("a<x>b"), (std::vector<TextRun>{Text("a<x>b")}));
    EXPECT_EQ(ParseTextMarkup("<img src=x>"), (std::vector<TextRun>{Text("<img src=x>")}));
    EXPECT_EQ(ParseTextMarkup("1 < 2"), (std::vector<TextRun>{Text("1 < 2")}));
    EXPECT_EQ(ParseTextMarkup("x</c></f>y"), (std::vector<TextRun>{Text("xy")})) << "unmatched closers vanish";
    EXPECT_EQ(ParseTextMarkup("<x 99999999>").at(0).amount, 4096);
    EXPECT_EQ(MarkupPlainText("<c #FF0000>hi</c><x 4><i a.png> there"), "hi there");
}

TEST(TextMarkup, MissingImagesTakeNoRoom) {
    const auto placed = LayoutTextRuns(ParseTextMarkup("<i nope.png>ab"), FixedMetrics());
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0].x, 0);
}
