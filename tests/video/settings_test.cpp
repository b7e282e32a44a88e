// The user's settings file: what is written is read back, a file with some
// keys keeps the defaults for the rest, rewriting never doubles a key, and a
// damaged file is never read as settings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "video/settings.h"

namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("zeri-set-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        path = (dir / "common.xml").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string File() const {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static std::size_t Count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
    std::filesystem::path dir;
    std::string path;
};

}  // namespace

TEST_F(Settings, WhatIsWrittenIsReadBackAndRewritingNeverDoublesAKey) {
    CSettingsStore store;
    ASSERT_TRUE(store.SetPath(path));
    EXPECT_NE(File().find("xml_root"), std::string::npos);
    DeviceSettings d;
    d.micnoise = 1;
    d.keyvalue = 'V';
    d.keyname = "V";
    d.micname = "USB 麦克风";
    d.loopback = 1;
    ASSERT_TRUE(store.WriteDevice(d));
    d.micnoise = 0;
    ASSERT_TRUE(store.WriteDevice(d));  // again, changed
    EXPECT_EQ(Count(File(), "<micnoise>"), 1u);
    EXPECT_EQ(Count(File(), "<keyname>"), 1u);

    DeviceSettings read;
    ASSERT_TRUE(store.ReadDevice(read));
    EXPECT_EQ(read.micnoise, 0u);
    EXPECT_EQ(read.keyvalue, static_cast<std::uint32_t>('V'));
    EXPECT_EQ(read.keyname, "V");
    EXPECT_EQ(read.micname, "USB 麦克风");
    EXPECT_EQ(read.speakername, "");
    EXPECT_EQ(read.loopback, 1u);
    EXPECT_EQ(read.mixsoftwate, 1u);
}

TEST_F(Settings, APartialFileKeepsTheDefaultsAndADamagedOneIsNotRead) {
    std::ofstream(path) << "<xml_root>\r\n<micecho>1</micecho>\r\n<keyvalue>abc</keyvalue>\r\n"
                           "<keyname>F9</keyname>\r\n</xml_root>\r\n";
    CSettingsStore store;
    ASSERT_TRUE(store.SetPath(path));
    DeviceSettings read;
    ASSERT_TRUE(store.ReadDevice(read));
    EXPECT_EQ(read.micecho, 1u);
    EXPECT_EQ(read.keyvalue, 113u);  // not a number: the default stays
    EXPECT_EQ(read.keyname, "F9");
    EXPECT_EQ(read.micenhance, 0u);
    EXPECT_EQ(read.mixsoftwate, 1u);

    std::ofstream(path) << "<other/>";
    DeviceSettings untouched;
    untouched.keyname = "mine";
    EXPECT_FALSE(store.ReadDevice(untouched));
    EXPECT_EQ(untouched.keyname, "mine");
    EXPECT_FALSE(store.WriteDevice(untouched));
    EXPECT_EQ(File(), "<other/>");  // a file that is not ours is left alone
    // Taking the path again sets the damaged file aside and starts afresh.
    ASSERT_TRUE(store.SetPath(path));
    std::ifstream kept(path + ".damaged");
    std::string old((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
    EXPECT_EQ(old, "<other/>");
    EXPECT_TRUE(store.WriteDevice(untouched));
    ASSERT_TRUE(store.ReadDevice(read));
    EXPECT_EQ(read.keyname, "mine");
}
