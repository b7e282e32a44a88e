// Paths, folders, unique names and the sign-in cycle record.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "core/files.h"
#include "core/paths.h"
#include "core/sign.h"

namespace fs = std::filesystem;

namespace {
class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("zeri-paths-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        paths::SetDataFolderOverride(dir_.string());
    }
    void TearDown() override {
        paths::SetDataFolderOverride("");
        fs::remove_all(dir_);
    }
    fs::path dir_;
};
}  // namespace

TEST_F(PathsTest, MakeDirsCreatesEveryFolderBeforeASeparator) {
    const std::string base = dir_.string();
    EXPECT_TRUE(paths::MakeDirs(base + "/a/b/c/"));
    EXPECT_TRUE(fs::is_directory(dir_ / "a/b/c"));
    EXPECT_TRUE(paths::MakeDirs(base + "\\x\\y"));  // backslashes count; the last part is a file
    EXPECT_TRUE(fs::is_directory(dir_ / "x"));
    EXPECT_FALSE(fs::exists(dir_ / "x/y"));
    EXPECT_TRUE(paths::MakeDirs(base + "//m//n/"));  // doubled separators are harmless
    EXPECT_TRUE(fs::is_directory(dir_ / "m/n"));
    EXPECT_FALSE(paths::MakeDirs(""));
    // A file in the way is a failure, not a success.
    std::ofstream(dir_ / "file") << "x";
    EXPECT_FALSE(paths::MakeDirs(base + "/file/conf/"));
    EXPECT_TRUE(paths::DirExists(base));
    EXPECT_FALSE(paths::DirExists(""));
    EXPECT_FALSE(paths::DirExists(base + "/none"));
}

TEST_F(PathsTest, UniqueNamesAre32LowerCaseHexDigitsAndDiffer) {
    const std::regex hex("^[0-9a-f]{32}$");
    std::set<std::string> names;
    for (int i = 0; i < 200; ++i) {
        const auto n = paths::NewUniqueName();
        EXPECT_TRUE(std::regex_match(n, hex)) << n;
        names.insert(n);
    }
    EXPECT_EQ(names.size(), 200u);
}

TEST_F(PathsTest, PicturePathUsesOtherForAnEmptyUserAndCreatesTheFolder) {
    const std::string p = paths::PicturePath("", "");
    const std::string folder = dir_.string() + "/user/other/Image/";
    ASSERT_EQ(p.rfind(folder, 0), 0u) << p;
    EXPECT_TRUE(std::regex_match(p.substr(folder.size()), std::regex("^[0-9a-f]{32}\\.jpg$")));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(paths::PicturePath("alice", "snap"), dir_.string() + "/user/alice/Image/snap.jpg");
}

TEST_F(PathsTest, PicturePathKeepsOutsideNamesInsideTheirFolder) {
    const std::string p = paths::PicturePath("../..", "../../etc/passwd");
    EXPECT_EQ(p, dir_.string() + "/user/.._../Image/.._.._etc_passwd.jpg");
    EXPECT_EQ(paths::SafeComponent(".."), "__");
    EXPECT_EQ(paths::SafeComponent("a\\b"), "a_b");
}

TEST_F(PathsTest, SignRecordRoundTripsAsTwentyFourLittleEndianBytes) {
    EXPECT_EQ(LoadSign(42).cycleStart, 0);  // missing file reads as zeros
    EXPECT_FALSE(SaveSign(42, 5, true, 1000));  // a sign-in needs a cycle first
    EXPECT_FALSE(fs::exists(dir_ / "user/42/sign.dat"));

    ASSERT_TRUE(SaveSign(42, 0x01020304, false, 0x1122334455));
    std::string bytes;
    ASSERT_TRUE(files::ReadFile((dir_ / "user/42/sign.dat").string(), bytes));
    ASSERT_EQ(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x55\x44\x33\x22\x11\0\0\0", 8));
    EXPECT_EQ(bytes.substr(8, 8), std::string(8, '\0'));
    EXPECT_EQ(bytes.substr(16, 8), std::string("\x04\x03\x02\x01\0\0\0\0", 8));

    ASSERT_TRUE(SaveSign(42, 99, true, 0x2000));
    const SignRecord r = LoadSign(42);
    EXPECT_EQ(r.cycleStart, 0x1122334455);  // kept from the cycle
    EXPECT_EQ(r.value, 0x01020304);         // the sign-in's value is not taken
    EXPECT_EQ(r.lastSignIn, 0x2000);
}

TEST(DataFolder, ProgramFoldersMoveDataToTheUsersShareFolder) {
    using paths::ChooseDataFolder;
    EXPECT_EQ(ChooseDataFolder("/opt/zeri/bin/", "", "", "/home/ann"), "/home/ann/.local/share/zeri/");
    EXPECT_EQ(ChooseDataFolder("/usr/bin/", "", "/x/data", "/home/ann"), "/x/data/zeri/");
    EXPECT_EQ(ChooseDataFolder("/usr/bin/", "", "relative", "/home/ann"),
              "/home/ann/.local/share/zeri/");  // XDG paths must be absolute
    EXPECT_EQ(ChooseDataFolder("/home/ann/zeri/", "", "/x/data", "/home/ann"), "/home/ann/zeri/");
    // Installed under a prefix of the user's own (cmake --install --prefix ~/.local).
    EXPECT_EQ(ChooseDataFolder("/home/ann/.local/bin/", "", "", "/home/ann"), "/home/ann/.local/share/zeri/");
    EXPECT_EQ(ChooseDataFolder("/home/ann/.local/bin", "", "/x/data", "/home/ann"), "/x/data/zeri/");
    EXPECT_EQ(ChooseDataFolder("/home/ann/cabin/", "", "", "/home/ann"), "/home/ann/cabin/");
    EXPECT_EQ(ChooseDataFolder("/home/ann/bin/zeri/", "", "", "/home/ann"), "/home/ann/bin/zeri/");
    EXPECT_EQ(ChooseDataFolder("/optional/zeri/", "", "", "/home/ann"), "/optional/zeri/");
    EXPECT_EQ(ChooseDataFolder("/opt/zeri/", "/tmp/d", "", "/home/ann"), "/tmp/d/");
}

TEST(DataFolder, OverrideWinsOverTheEnvironment) {
    paths::SetDataFolderOverride("/tmp/flag-dir");
    EXPECT_EQ(paths::DataFolder(), "/tmp/flag-dir/");
    paths::SetDataFolderOverride("");
    // tests run with ZERI_DATA_DIR set by CTest
    if (const char* env = std::getenv("ZERI_DATA_DIR"))
        EXPECT_EQ(paths::DataFolder(), paths::WithSlash(env));
    EXPECT_EQ(paths::ExeFolder().back(), '/');
}

TEST(AtomicWrite, ReplacesWholeAndFailsWithoutTouchingTheOldFile) {
    const fs::path dir = fs::temp_directory_path() / ("zeri-atomic-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "f.xml").string();
    ASSERT_TRUE(files::WriteFileAtomic(file, "old"));
    ASSERT_TRUE(files::WriteFileAtomic(file, "new contents"));
    std::string s;
    ASSERT_TRUE(files::ReadFile(file, s));
    EXPECT_EQ(s, "new contents");
    EXPECT_TRUE(files::WriteFileAtomic(file, ""));
    ASSERT_TRUE(files::ReadFile(file, s));
    EXPECT_EQ(s, "");
    EXPECT_FALSE(files::WriteFileAtomic((dir / "missing/f.xml").string(), "x"));
    // No temporaries are left behind.
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir)) ++entries;
    EXPECT_EQ(entries, 1);
    fs::remove_all(dir);
}
