// Loading and saving files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "core/files.h"
#include "formats/markup.h"

namespace fs = std::filesystem;

namespace {
class MarkupFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("zeri-xml-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    fs::path dir_;
};
}  // namespace

TEST_F(MarkupFile, SavesTheTextUnchangedAndLoadsItBack) {
    CMarkupSTL x;
    ASSERT_TRUE(x.AddElem("xml_root"));
    ASSERT_TRUE(x.AddChildElem("micname", "\xE9\xBA\xA6\xE5\x85\x8B"));
    const std::string path = Path("common.xml");
    ASSERT_TRUE(x.Save(path));
    std::string bytes;
    ASSERT_TRUE(files::ReadFile(path, bytes));
    EXPECT_EQ(bytes, x.GetDoc());

    CMarkupSTL y;
    ASSERT_TRUE(y.Load(path));
    ASSERT_TRUE(y.FindElem("xml_root"));
    ASSERT_TRUE(y.FindChildElem("micname"));
    EXPECT_EQ(y.GetChildData(), "\xE9\xBA\xA6\xE5\x85\x8B");
    // Saving over an existing file replaces it whole and leaves no temporary.
    ASSERT_TRUE(y.SetChildData("x"));
    ASSERT_TRUE(y.Save(path));
    ASSERT_TRUE(files::ReadFile(path, bytes));
    EXPECT_EQ(bytes, y.GetDoc());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(MarkupFile, EmptyDocumentWritesAnEmptyFile) {
    const std::string path = Path("empty.xml");
    ASSERT_TRUE(files::WriteFileAtomic(path, "<old/>"));
    CMarkupSTL x;
    EXPECT_TRUE(x.Save(path));
    EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(MarkupFile, FailedSaveLeavesTheOldFile) {
    CMarkupSTL x("<new/>");
    // The target is a folder: the rename fails and the folder stays as it was.
    fs::create_directories(dir_ / "taken" / "inside");
    EXPECT_FALSE(x.Save(Path("taken")));
    EXPECT_TRUE(fs::is_directory(dir_ / "taken" / "inside"));
    EXPECT_FALSE(x.Save(Path("missing/folder.xml")));
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);  // no temporaries
}

TEST_F(MarkupFile, UnreadableOrDamagedFilesLoadAsEmptyDocuments) {
    CMarkupSTL x("<a/>");
    ASSERT_TRUE(x.FindElem());
    EXPECT_FALSE(x.Load(Path("none.xml")));
    EXPECT_EQ(x.GetDoc(), "");
    EXPECT_EQ(x.GetError(), "Element tag not found");
    EXPECT_FALSE(x.FindElem());

    const std::string path = Path("GiftConfig.xml");
    ASSERT_TRUE(files::WriteFileAtomic(path, "<xml_root>\r\n<giftconfig>\r\n<gift id=\"1\"/>\r\n</giftconfg>\r\n</xml_root>\r\n"));
    EXPECT_FALSE(x.Load(path));
    EXPECT_EQ(x.GetError(), "End tag does not correspond to giftconfig");
    EXPECT_FALSE(x.FindElem());
    EXPECT_EQ(x.GetChildAttrib("id"), "");
}
