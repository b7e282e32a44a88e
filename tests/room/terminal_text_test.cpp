// What the headless client prints reaches a terminal: another user's control
// bytes and malformed UTF-8 must be shown, never acted on, while real text
// (CJK, emoji) passes unchanged.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/text/terminal.h"
#include "platform/text/text.h"
#include "room/headless_view.h"

using text::ForTerminal;
using namespace std::string_literals;

namespace {

// Nothing in `s` a terminal would act on, and all of it well-formed UTF-8.
::testing::AssertionResult Inert(const std::string& s) {
    if (text::RepairUtf8(s) != s) return ::testing::AssertionFailure() << "malformed UTF-8";
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b < 0x20 && b != '\t') || b == 0x7F)
            return ::testing::AssertionFailure() << "control byte " << int(b) << " at " << i;
        if (b == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) < 0xA0)
            return ::testing::AssertionFailure() << "C1 control at " << i;
    }
    return ::testing::AssertionSuccess();
}

const std::string kFFFD = "\xEF\xBF\xBD";

}  // namespace

TEST(TerminalText, ControlCharactersAreShownAsHexExceptTab) {
    EXPECT_EQ(ForTerminal("\x1b[2Jgone"), "\\x1b[2Jgone");
    EXPECT_EQ(ForTerminal("\x1b]0;owned\x07title"), "\\x1b]0;owned\\x07title");
    EXPECT_EQ(ForTerminal("a\0b"s), "a\\x00b");  // not the end of the line
    EXPECT_EQ(ForTerminal("x\x7fy\x1f"), "x\\x7fy\\x1f");
    EXPECT_EQ(ForTerminal("one\ntwo\rthree"), "one\\x0atwo\\x0dthree");
    EXPECT_EQ(ForTerminal("a\tb"), "a\tb");
    EXPECT_EQ(ForTerminal(" ~"), " ~");
    EXPECT_EQ(ForTerminal(""), "");
}

TEST(TerminalText, C1ControlsAreShownButTheLatinRangeAboveThemIsText) {
    EXPECT_EQ(ForTerminal("\xC2\x9B" "2J"), "\\x9b2J");  // the one-byte CSI
    EXPECT_EQ(ForTerminal("\xC2\x80|\xC2\x9D|\xC2\x9F"), "\\x80|\\x9d|\\x9f");
    EXPECT_EQ(ForTerminal("\xC2\xA0\xC2\xA9 café"), "\xC2\xA0\xC2\xA9 café");
}

TEST(TerminalText, MalformedUtf8BecomesReplacementCharacters) {
    // A lone C1 byte is not UTF-8: replaced, not passed to the terminal.
    EXPECT_EQ(ForTerminal("a\x9b" "2J"), "a" + kFFFD + "2J");
    // Overlong forms of ESC and of "/" cannot hide a control or a slash.
    EXPECT_EQ(ForTerminal("\xC0\x9B"), kFFFD + kFFFD);
    EXPECT_EQ(ForTerminal("\xE0\x80\x9B"), kFFFD);
    EXPECT_EQ(ForTerminal("\xF0\x80\x80\xAF"), kFFFD);
    // UTF-16 surrogates written as UTF-8, and values beyond U+10FFFF.
    EXPECT_EQ(ForTerminal("\xED\xA0\x80\xED\xB0\x80"), kFFFD + kFFFD);
    EXPECT_EQ(ForTerminal("\xF4\x90\x80\x80"), kFFFD);
    EXPECT_EQ(ForTerminal("\xFF\xFE"), kFFFD + kFFFD);
    // Sequences cut off at the end of the text.
    EXPECT_EQ(ForTerminal("ok\xE4\xB8"), "ok" + kFFFD);
    EXPECT_EQ(ForTerminal("ok\xF0\x9F\x98"), "ok" + kFFFD);
    EXPECT_EQ(ForTerminal("ok\xC2"), "ok" + kFFFD);
    // A break in the middle resumes on the byte that broke it.
    EXPECT_EQ(ForTerminal("\xE4\x1b[m"), kFFFD + "\\x1b[m");
}

TEST(TerminalText, RealTextPassesUnchanged) {
    for (const std::string& s : std::vector<std::string>{"中文聊天 한국어 日本語", "😀👍🏽👩‍💻🇨🇳", kFFFD + "ok",
                                "\xE2\x80\xAE" "bidi mark", "tab\tand ~ \\x1b as typed"})
        EXPECT_EQ(ForTerminal(s), s);
}

TEST(TerminalText, NoOneOrTwoByteInputLeavesAnythingATerminalActsOn) {
    for (int a = 0; a < 256; ++a) {
        const std::string one(1, static_cast<char>(a));
        ASSERT_TRUE(Inert(ForTerminal(one))) << a;
        for (int b = 0; b < 256; ++b) {
            const std::string two = one + static_cast<char>(b);
            ASSERT_TRUE(Inert(ForTerminal(two))) << a << " " << b;
            ASSERT_TRUE(Inert(ForTerminal("\xE4" + two))) << a << " " << b;
        }
    }
}

// --- the headless view's output -------------------------------------------------

class HeadlessOutput : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(file, nullptr); }
    void TearDown() override {
        if (file) std::fclose(file);
    }
    // Everything printed so far, as bytes.
    std::string Printed() {
        std::fflush(file);
        std::rewind(file);
        std::string all;
        char buf[256];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, file)) > 0;) all.append(buf, n);
        return all;
    }
    FILE* file = std::tmpfile();
    CHeadlessView view{file};
};

TEST_F(HeadlessOutput, EveryKindOfLineIsPrintedInert) {
    view.ShowTip("\x1b]0;pwned\x07tip");
    view.ShowNotice("<c=#ff0000>\x1b[2J</c>notice");
    view.MessageBox("\xC2\x9B" "31mtext", "cap\x1b", BoxIcon::Info);
    CHeadlessChatView& chat = *view.FindChat("Edit_RecvChat");
    chat.AppendText("bob\x1b[8m: hi\xFF", {});
    chat.AppendLineBreak();
    chat.ScrollToEnd();
    chat.AppendPlaceholder(1, "wait.png");
    chat.ReplacePlaceholder(1, "/tmp/\x1b[1mpic.png");
    const std::vector<std::string> expected = {
        "tip: \\x1b]0;pwned\\x07tip",
        "notice: \\x1b[2Jnotice",
        "box: cap\\x1b: \\x9b31mtext",
        "chat: [Edit_RecvChat] bob\\x1b[8m: hi" + kFFFD,
        "chat: [Edit_RecvChat] picture ready: /tmp/\\x1b[1mpic.png",
    };
    EXPECT_EQ(view.Lines(), expected);
    std::string all;
    for (const auto& l : expected) all += l + "\n";
    EXPECT_EQ(Printed(), all);
    // The views' own models keep what was written; only the output is shown.
    EXPECT_EQ(chat.Lines().front(), "bob\x1b[8m: hi\xFF");
}

TEST_F(HeadlessOutput, LineBreaksInAPeersTextCannotStartALineOfItsOwn) {
    CHeadlessChatView& chat = *view.FindChat("Edit_RecvChat");
    chat.AppendText("mallory: hi\nchat: [Edit_RecvChat] alice: my password is\r", {});
    chat.ScrollToEnd();
    view.ShowTip("one\r\ntwo");
    // The chat view's deliberate breaks and the view's own folding keep one
    // printed line per thing shown.
    EXPECT_EQ(Printed(),
              "chat: [Edit_RecvChat] mallory: hi chat: [Edit_RecvChat] alice: my password is \n"
              "tip: one  two\n");
    EXPECT_EQ(view.Lines().size(), 2u);
}
