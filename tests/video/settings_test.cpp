// The user's settings file: what is written is read back, a file with some
// keys keeps the defaults for the rest, rewriting never doubles a key, a bad
// value costs only its key, and a damaged file is never read as settings but
// kept aside.
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
    static std::string Read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
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
                           "<keyname>F9</keyname>\r\n<catch_type >2</catch_type >\r\n"
                           "<record_fps>25</record_fps>\r\n</xml_root>\r\n";
    CSettingsStore store;
    ASSERT_TRUE(store.SetPath(path));
    DeviceSettings read;
    ASSERT_TRUE(store.ReadDevice(read));
    EXPECT_EQ(read.micecho, 1u);
    EXPECT_EQ(read.keyvalue, 113u);  // not a number: the default stays
    EXPECT_EQ(read.keyname, "F9");
    EXPECT_EQ(read.micenhance, 0u);
    EXPECT_EQ(read.mixsoftwate, 1u);
    VideoSettings video;
    ASSERT_TRUE(store.ReadVideo(video));
    EXPECT_EQ(video.catch_type, 2u);
    EXPECT_EQ(video.encode_mode, 1u);
    EXPECT_EQ(video.mouse_enabled, 1u);
    EXPECT_EQ(video.mouse_color, 255u);
    RecordSettings record;
    ASSERT_TRUE(store.ReadRecord(record));
    EXPECT_EQ(record.record_fps, 25u);
    EXPECT_EQ(record.record_width, 320u);
    EXPECT_EQ(record.record_height, 240u);
    EXPECT_EQ(record.record_quality, 1u);

    std::ofstream(path) << "<other/>";
    DeviceSettings untouched;
    untouched.keyname = "mine";
    EXPECT_FALSE(store.ReadDevice(untouched));
    EXPECT_EQ(untouched.keyname, "mine");
    // Saving over a document that is not ours keeps it aside and starts
    // afresh: the user's change is not lost to a damaged file.
    ASSERT_TRUE(store.WriteDevice(untouched));
    EXPECT_EQ(Read(path + ".bad"), "<other/>");
    ASSERT_TRUE(store.ReadDevice(read));
    EXPECT_EQ(read.keyname, "mine");
}

TEST_F(Settings, AnUnparsableFileGivesDefaultsAndIsKeptAsBad) {
    const std::string garbage = "\x01\x02<xml_root><micnoise>1</mic";
    std::ofstream(path, std::ios::binary) << garbage;
    CSettingsStore store;
    ASSERT_TRUE(store.SetPath(path));
    EXPECT_EQ(Read(path + ".bad"), garbage);
    EXPECT_FALSE(std::filesystem::exists(path + ".damaged"));
    DeviceSettings d;
    ASSERT_TRUE(store.ReadDevice(d));  // the fresh document reads, with nothing in it
    EXPECT_EQ(d.micnoise, 0u);
    VideoSettings v;
    ASSERT_TRUE(store.ReadVideo(v));
    EXPECT_EQ(v.encode_mode, 1u);
    // An empty file is no damage: nothing set aside.
    std::filesystem::remove(path + ".bad");
    std::ofstream(path).close();
    ASSERT_TRUE(store.SetPath(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
    EXPECT_NE(File().find("xml_root"), std::string::npos);
}

TEST_F(Settings, VideoKeysKeepTheirBlankAndAllGroupsShareOneDocument) {
    CSettingsStore store;
    ASSERT_TRUE(store.SetPath(path));
    VideoSettings v;
    v.videoname = "Test Camera <1> & co";
    v.catch_type = 1;
    v.mouse_enabled = 0;
    v.mouse_color = 0xABCDEF;
    ASSERT_TRUE(store.WriteVideo(v));
    RecordSettings r;
    r.record_width = 640;
    r.record_height = 480;
    r.record_quality = 2;
    ASSERT_TRUE(store.WriteRecord(r));
    DeviceSettings d;
    d.loopback = 1;
    ASSERT_TRUE(store.WriteDevice(d));
    // Twice more, changed: every key still once.
    v.catch_type = 2;
    ASSERT_TRUE(store.WriteVideo(v));
    ASSERT_TRUE(store.WriteVideo(v));
    ASSERT_TRUE(store.WriteRecord(r));

    const std::string text = File();
    EXPECT_EQ(Count(text, "<videoname >"), 1u) << text;
    EXPECT_EQ(Count(text, "</videoname >"), 1u);
    EXPECT_EQ(Count(text, "<catch_type >2</catch_type >"), 1u);
    EXPECT_EQ(Count(text, "<mouse_color >11259375</mouse_color >"), 1u);  // "%u"
    EXPECT_EQ(Count(text, "<record_width>"), 1u);
    EXPECT_EQ(Count(text, "<loopback>"), 1u);
    // The table's order within a group.
    EXPECT_LT(text.find("<encode_mode>"), text.find("<videoname >"));
    EXPECT_LT(text.find("<mouse_type >"), text.find("<mouse_color >"));
    EXPECT_LT(text.find("<record_quality>"), text.find("<record_fps>"));

    VideoSettings vr;
    ASSERT_TRUE(store.ReadVideo(vr));
    EXPECT_EQ(vr.videoname, v.videoname);
    EXPECT_EQ(vr.catch_type, 2u);
    EXPECT_EQ(vr.mouse_enabled, 0u);
    EXPECT_EQ(vr.mouse_color, 0xABCDEFu);
    EXPECT_EQ(vr.mouse_type, 2u);
    RecordSettings rr;
    ASSERT_TRUE(store.ReadRecord(rr));
    EXPECT_EQ(rr.record_width, 640u);
    EXPECT_EQ(rr.record_height, 480u);
    EXPECT_EQ(rr.record_quality, 2u);
    DeviceSettings dr;
    ASSERT_TRUE(store.ReadDevice(dr));
    EXPECT_EQ(dr.loopback, 1u);
}

TEST_F(Settings, ABadValueCostsOnlyItsOwnKey) {
    std::ofstream(path) << "<xml_root>\r\n"
                           "<keyvalue>0</keyvalue>\r\n<micnoise>2</micnoise>\r\n<micecho>1</micecho>\r\n"
                           "<encode_mode>-1</encode_mode>\r\n<catch_type > 1 </catch_type >\r\n"
                           "<mouse_color >16777216</mouse_color >\r\n<mouse_type >0x1</mouse_type >\r\n"
                           "<record_width>99999999</record_width>\r\n<record_height>12ab</record_height>\r\n"
                           "<record_fps>99999999999999999999</record_fps>\r\n<record_quality>0</record_quality>\r\n"
                           "</xml_root>\r\n";
    CSettingsStore store;
    ASSERT_TRUE(store.SetPath(path));
    DeviceSettings d;
    d.keyvalue = 50;  // what the caller had is not kept for a bad value
    ASSERT_TRUE(store.ReadDevice(d));
    EXPECT_EQ(d.keyvalue, 113u);
    EXPECT_EQ(d.micnoise, 0u);
    EXPECT_EQ(d.micecho, 1u);
    VideoSettings v;
    ASSERT_TRUE(store.ReadVideo(v));
    EXPECT_EQ(v.encode_mode, 1u);
    EXPECT_EQ(v.catch_type, 1u);
    EXPECT_EQ(v.mouse_color, 255u);
    EXPECT_EQ(v.mouse_type, 2u);
    RecordSettings r;
    ASSERT_TRUE(store.ReadRecord(r));
    EXPECT_EQ(r.record_width, 320u);
    EXPECT_EQ(r.record_height, 240u);
    EXPECT_EQ(r.record_fps, 10u);
    EXPECT_EQ(r.record_quality, 0u);
}

TEST_F(Settings, ASaveThatCannotBeWrittenSaysSo) {
    // A folder where the file should be: nothing can replace it.
    std::filesystem::create_directories(path + "/keep");
    CSettingsStore store;
    EXPECT_FALSE(store.SetPath(path));
    VideoSettings v;
    EXPECT_FALSE(store.ReadVideo(v));
    EXPECT_FALSE(store.WriteVideo(v));
    EXPECT_FALSE(store.WriteDevice(DeviceSettings{}));
    EXPECT_TRUE(std::filesystem::is_directory(path + "/keep"));
    EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
}
