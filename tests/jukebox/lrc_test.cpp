// Lyric files as they come (tags, several times per line, damage, mixed
// encodings) and the order in which a moving position announces them.
#include <gtest/gtest.h>

#include "platform/jukebox/lrc_parser.h"
#include "platform/jukebox/lyric_cursor.h"
#include "tests/jukebox/songs.h"
#include "tests/wavedev/signal.h"

namespace {

using namespace jukebox;

std::vector<int> Times(const std::vector<LrcLine>& lines) {
    std::vector<int> out;
    for (const auto& l : lines) out.push_back(l.timeMs);
    return out;
}

TEST(LrcParse, FractionsAreTenthsHundredthsOrThousandths) {
    const auto lines = ParseLrc("[01:02.5]a\n[01:02.50]b\n[01:02.500]c\n[01:02]d\n[00:03.07]e\n[00:03:25]f\n");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(Times(lines), (std::vector<int>{3070, 3250, 62000, 62500, 62500, 62500}));
    // Equal times keep the file's order.
    EXPECT_EQ(lines[3].text, "a");
    EXPECT_EQ(lines[4].text, "b");
    EXPECT_EQ(lines[5].text, "c");
    EXPECT_EQ(ParseLrc("[100:00.00]long song")[0].timeMs, 6000000);
}

TEST(LrcParse, SeveralTagsPerLineAndSortedByTime) {
    const auto lines = ParseLrc(
        "\xEF\xBB\xBF[ti:Song]\r\n[ar:Someone]\r\n[offset:0]\r\n"
        "[00:20.00][00:05.00]chorus \xe5\x89\xaf\xe6\xad\x8c\r\n"
        "[00:10.00]verse\r\n"
        "[00:30.00]\r\n");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(Times(lines), (std::vector<int>{5000, 10000, 20000, 30000}));
    EXPECT_EQ(lines[0].text, "chorus \xe5\x89\xaf\xe6\xad\x8c");
    EXPECT_EQ(lines[1].text, "verse");
    EXPECT_EQ(lines[2].text, lines[0].text);
    EXPECT_EQ(lines[3].text, "");  // an empty line: the singing pauses
}

TEST(LrcParse, BadLinesAreSkippedAndTheRestKept) {
    const std::string bad[] = {
        "plain text without a time",
        "[00:61.00]seconds past 59",
        "[0a:10.00]letters",
        "[00:10.1234]four fraction digits",
        "[00:10.00 unclosed",
        "[:10.00]no minutes",
        "[00:1]one second digit",
        "[12345:00.00]too many minute digits",
        "[00:10.00][ti:x]a tag after a time",
        "[00:11.00]not utf-8 \xff\xfe",
        "[00:12.00]overlong \xc0\xaf",
        "[00:13.00]cut short \xe5\x89",
        "[00:14.00]surrogate \xed\xa0\x80",
    };
    std::string content = "[00:01.00]first\n";
    for (const auto& line : bad) content += line + "\n";
    content += "[00:02.00]last";  // no newline at the end
    const auto lines = ParseLrc(content);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "first");
    EXPECT_EQ(lines[1].text, "last");
    EXPECT_TRUE(ParseLrc("").empty());
    EXPECT_TRUE(ParseLrc(std::string("\0\0[\0", 4)).empty());
}

TEST(LrcParse, AFileCannotMultiplyItself) {
    std::string manyTags;
    for (std::size_t i = 0; i < kMaxLrcTags + 1; ++i) manyTags += "[00:01.00]";
    const std::string longText(kMaxLrcTextBytes + 1, 'x');
    std::string content = manyTags + "too many tags\n[00:02.00]" + longText + "\n[00:03.00]kept\n";
    auto lines = ParseLrc(content);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "kept");

    // A full file of tagged lines stops at the cap, and keeps the earliest read.
    std::string full;
    std::string tags;
    for (std::size_t i = 0; i < kMaxLrcTags; ++i) tags += "[00:00.00]";
    for (std::size_t i = 0; i < kMaxLrcLines / kMaxLrcTags + 5; ++i) full += tags + "x\n";
    full = "[59:00.00]first\n" + full;
    lines = ParseLrc(full);
    EXPECT_EQ(lines.size(), kMaxLrcLines);
    EXPECT_EQ(lines.back().text, "first");
}

TEST(LrcParse, FilesBesideTheSong) {
    EXPECT_EQ(LrcPathFor("/music/a.song.mp3"), "/music/a.song.lrc");
    EXPECT_EQ(LrcPathFor("/music/noext"), "/music/noext.lrc");

    wavetest::CTempDir dir;
    ASSERT_TRUE(jukeboxtest::WriteText(dir / "s.lrc", "[00:01.00]one\n[00:00.50]zero\n"));
    const auto lines = LoadLrc(dir / "s.lrc");
    EXPECT_EQ(Times(lines), (std::vector<int>{500, 1000}));
    EXPECT_TRUE(LoadLrc(dir / "missing.lrc").empty());
    // Too big to be lyrics: refused before it is read.
    ASSERT_TRUE(jukeboxtest::WriteText(dir / "big.lrc",
                                       "[00:01.00]x\n" + std::string(kMaxLrcBytes, 'x')));
    EXPECT_TRUE(LoadLrc(dir / "big.lrc").empty());
}

TEST(LrcParse, LineAtAPosition) {
    const auto lines = ParseLrc("[00:01.00]a\n[00:02.00]b\n[00:02.00]c\n");
    EXPECT_EQ(LrcLineAt(lines, 0), -1);
    EXPECT_EQ(LrcLineAt(lines, 999), -1);
    EXPECT_EQ(LrcLineAt(lines, 1000), 0);
    EXPECT_EQ(LrcLineAt(lines, 2000), 2);  // both lines at 2 s have been reached
    EXPECT_EQ(LrcLineAt({}, 5000), -1);
}

TEST(LyricCursor, EachPassedLineOnceInOrder) {
    CLyricCursor cursor;
    cursor.Reset(ParseLrc("[00:00.10]a\n[00:00.15]b\n[00:00.40]c\n[00:01.00]d\n"));
    EXPECT_TRUE(cursor.Update(0).empty());
    EXPECT_EQ(cursor.Update(200), (std::vector<int>{0, 1}));  // two lines within one poll
    EXPECT_TRUE(cursor.Update(300).empty());
    EXPECT_TRUE(cursor.Update(300).empty());                  // paused: nothing again
    EXPECT_TRUE(cursor.Update(220).empty());                  // jitter backwards: not a seek
    EXPECT_EQ(cursor.Update(420), (std::vector<int>{2}));
    EXPECT_EQ(cursor.Update(1500), (std::vector<int>{3}));
    EXPECT_TRUE(cursor.Update(1600).empty());
    EXPECT_EQ(cursor.shown(), 3);
}

TEST(LyricCursor, SeekingResynchronises) {
    CLyricCursor cursor;
    cursor.Reset(ParseLrc("[00:01]a\n[00:02]b\n[00:10]c\n[00:20]d\n"));
    // Starting far into the song (a stall at the start): only the line now sung.
    EXPECT_EQ(cursor.Update(2100), (std::vector<int>{1}));
    cursor.Reset(ParseLrc("[00:01]a\n[00:02]b\n[00:10]c\n[00:20]d\n"));
    EXPECT_EQ(cursor.Update(1100), (std::vector<int>{0}));
    EXPECT_EQ(cursor.Update(2100), (std::vector<int>{1}));
    // Forward past several lines: only the one now sung.
    EXPECT_EQ(cursor.Update(15000), (std::vector<int>{2}));
    // Back to the start: the shown line is cleared, and then sung again.
    EXPECT_EQ(cursor.Update(500), (std::vector<int>{CLyricCursor::kClear}));
    EXPECT_EQ(cursor.Update(1100), (std::vector<int>{0}));
    // Back into the same line's time: nothing changes.
    EXPECT_TRUE(cursor.Update(1000).empty());
    EXPECT_EQ(cursor.Update(2500), (std::vector<int>{1}));
    EXPECT_EQ(cursor.Update(11000), (std::vector<int>{2}));
    // A seek backwards that lands on an earlier line shows that line.
    EXPECT_EQ(cursor.Update(2500), (std::vector<int>{1}));
    // A new song starts from nothing.
    cursor.Reset(ParseLrc("[00:00.05]x\n"));
    EXPECT_EQ(cursor.shown(), CLyricCursor::kClear);
    EXPECT_EQ(cursor.Update(100), (std::vector<int>{0}));
    cursor.Reset({});
    EXPECT_TRUE(cursor.Update(100).empty());
}

}  // namespace
