// Saving bodies whole or not at all, naming files after URLs without
// leaving the folder, and the queue operations the client reads through.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>

#include "core/files.h"
#include "web/download_writer.h"
#include "web/http_public.h"

using namespace web;
namespace fs = std::filesystem;

namespace {

class DownloadFolder : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("zeri_web_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (::geteuid() != 0) fs::permissions(dir_, fs::perms::owner_all);
        fs::remove_all(dir_);
    }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    std::mt19937 random(11);
    for (char& c : s) c = static_cast<char>(random());
    return s;
}

}  // namespace

TEST_F(DownloadFolder, ABodyOverManyBlocksIsWrittenInOrderAndReplacesTheOldFile) {
    ASSERT_TRUE(files::WriteFileAtomic(Path("a.png"), "old"));
    const std::string body = Pattern(3 * 10240 + 17);
    ByteQueue q;
    for (std::size_t at = 0; at < body.size(); at += 777)
        q.Append(body.data() + at, static_cast<long>(std::min<std::size_t>(777, body.size() - at)));
    ASSERT_TRUE(SaveBody(q, body.size(), Path("a.png")));
    EXPECT_EQ(q.Size(), 0u);
    std::string back;
    ASSERT_TRUE(files::ReadFile(Path("a.png"), back));
    EXPECT_EQ(back, body);
    EXPECT_EQ(Entries(), 1u);  // no temporary left behind
}

TEST_F(DownloadFolder, IncompleteBodiesAndUnwritableTargetsLeaveTheOldFile) {
    ASSERT_TRUE(files::WriteFileAtomic(Path("a.png"), "old"));
    ByteQueue q;
    q.Append("abc", 3);
    EXPECT_FALSE(SaveBody(q, 4, Path("a.png")));  // short
    EXPECT_FALSE(SaveBody(q, 2, Path("a.png")));  // surplus
    EXPECT_EQ(q.Size(), 3u);
    // The target cannot be created: a missing folder, or a folder in the way.
    EXPECT_FALSE(SaveBody(q, 3, Path("missing/a.png")));
    fs::create_directories(dir_ / "taken");
    EXPECT_FALSE(SaveBody(q, 3, Path("taken")));
    EXPECT_FALSE(SaveBody(q, 3, ""));
    EXPECT_FALSE(SaveBody(q, 3, Path("") + "/"));
    std::string back;
    ASSERT_TRUE(files::ReadFile(Path("a.png"), back));
    EXPECT_EQ(back, "old");
    EXPECT_EQ(Entries(), 2u);  // a.png and taken/
    if (::geteuid() != 0) {
        fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(SaveBody(q, 3, Path("a.png")));
        fs::permissions(dir_, fs::perms::owner_all);
        ASSERT_TRUE(files::ReadFile(Path("a.png"), back));
        EXPECT_EQ(back, "old");
    }
}

TEST_F(DownloadFolder, UrlNamesNeverLeaveTheFolder) {
    EXPECT_EQ(CHttpPublic::UrlFileName("http://h/res/1/ab.png?v=2#x"), "ab.png");
    const char* unusable[] = {"http://h/a/", "http://h/..", "http://h/.", "http://h",
                              "http://h/a/..?x=/", "", "/", "http://h/a\\..", "http://h/?a/b"};
    for (const char* url : unusable) {
        EXPECT_EQ(CHttpPublic::UrlFileName(url), "") << url;
        EXPECT_EQ(CHttpPublic::FileForUrl(dir_.string(), url), "") << url;
    }
    EXPECT_EQ(CHttpPublic::UrlFileName("http://h/a\\b.png"), "b.png");
    EXPECT_EQ(CHttpPublic::FileForUrl(dir_.string(), "http://h/x/y.gif"),
              (dir_ / "y.gif").string());
}

TEST_F(DownloadFolder, FileInFolderOnlyForPlainNamesOfRegularFiles) {
    ASSERT_TRUE(files::WriteFileAtomic(Path("y.gif"), "g"));
    fs::create_directories(dir_ / "sub");
    ASSERT_TRUE(files::WriteFileAtomic(Path("sub/z.gif"), "g"));
    EXPECT_TRUE(CHttpPublic::FileInFolder(dir_.string(), "y.gif"));
    EXPECT_TRUE(CHttpPublic::FileInFolder(dir_.string() + "/", "y.gif"));
    EXPECT_FALSE(CHttpPublic::FileInFolder(dir_.string(), "none.gif"));
    EXPECT_FALSE(CHttpPublic::FileInFolder(dir_.string(), "sub"));      // a folder
    EXPECT_FALSE(CHttpPublic::FileInFolder(dir_.string(), "sub/z.gif"));  // leaves the name
    EXPECT_FALSE(CHttpPublic::FileInFolder((dir_ / "sub").string(), "../y.gif"));
    EXPECT_FALSE(CHttpPublic::FileInFolder(dir_.string(), ""));
    EXPECT_FALSE(CHttpPublic::FileInFolder(dir_.string(), ".."));
    EXPECT_FALSE(CHttpPublic::FileInFolder(dir_.string(), "sub\\z.gif"));
}

TEST(ByteQueueReads, FrontContiguousAndSearchAcrossBlocks) {
    ByteQueue q;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(1);
    EXPECT_EQ(q.Front(&p), 0u);
    EXPECT_EQ(p, nullptr);
    const std::string data = Pattern(10240 * 2 + 5);
    q.Append(data.data(), static_cast<long>(data.size()));
    EXPECT_EQ(q.Front(&p), 10240u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), 10240), data.substr(0, 10240));
    q.Consume(10000);
    // Gathered across the block boundary; null over a block or over the total.
    const unsigned char* c = q.ReadContiguous(500);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c), 500), data.substr(10000, 500));
    EXPECT_EQ(q.ReadContiguous(10241), nullptr);
    EXPECT_EQ(q.ReadContiguous(q.Size() + 1), nullptr);
    // Consume past the total is ignored.
    const std::size_t before = q.Size();
    q.Consume(before + 1);
    EXPECT_EQ(q.Size(), before);
    // Search finds a byte in a later block, and stops at the limit.
    ByteQueue lines;
    const std::string text = std::string(10239, 'a') + "b\nc";
    lines.Append(text.data(), static_cast<long>(text.size()));
    EXPECT_EQ(lines.FindEither('\r', '\n', 100000), 10240u);
    EXPECT_EQ(lines.FindEither('\r', '\n', 10240), 10240u);  // not within the limit
    EXPECT_EQ(lines.FindEither('b', 'x', 100000), 10239u);
    EXPECT_EQ(lines.At(10241), 'c');
    EXPECT_EQ(lines.At(10242), 0);
    std::string out;
    lines.Take(10241, out);
    EXPECT_EQ(out, text.substr(0, 10241));
    EXPECT_EQ(lines.Size(), 1u);
}
