// My chat style's file: what is written is read back, and anything else
// (damaged, hand-edited beyond what a chooser makes) is no style at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "room/my_chat_style.h"

namespace fs = std::filesystem;

TEST(MyChatStyle, FontsAreMadeOnlyFromSensibleFacesAndSizes) {
    EXPECT_EQ(MakeChatFont("宋体", 10, false), "宋体,10");
    EXPECT_EQ(MakeChatFont("Noto Sans", 36, true), "Noto Sans,36,bold");
    EXPECT_FALSE(MakeChatFont("", 10, false));
    EXPECT_FALSE(MakeChatFont("a,b", 10, false));
    EXPECT_FALSE(MakeChatFont("#FF0000", 10, false));
    EXPECT_FALSE(MakeChatFont("x\ny", 10, false));
    EXPECT_FALSE(MakeChatFont(std::string(33, 'a'), 10, false));
    EXPECT_FALSE(MakeChatFont("宋体", 7, false));
    EXPECT_FALSE(MakeChatFont("宋体", 37, false));
}

TEST(MyChatStyle, WrittenIsReadBackAndADamagedFileIsNoStyle) {
    const fs::path dir = fs::temp_directory_path() / ("zeri-style-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "chat_style").string();
    EXPECT_FALSE(ReadMyChatStyle(file));  // none yet
    const MyChatStyle style{0x2266AA, "黑体,12,bold"};
    ASSERT_TRUE(WriteMyChatStyle(file, style));
    EXPECT_EQ(ReadMyChatStyle(file), style);

    for (const char* bad : {"", "#2266AA", "2266AA\n黑体,12\n", "#2266AG\n黑体,12\n", "#2266AA\n黑体\n",
                            "#2266AA\n黑体,99\n", "#2266AA\n黑体,12,italic\n", "#2266AA\n,12\n"}) {
        std::ofstream(file, std::ios::trunc) << bad;
        EXPECT_FALSE(ReadMyChatStyle(file)) << bad;
    }
    fs::remove_all(dir);
}
