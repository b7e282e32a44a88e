// Sending a picture: echo, upload, and the line that follows the answer.
#include "chat/picture_send.h"
#include "tests/chat/chat_test_support.h"

namespace {

class RecordingUploader : public IPictureUploader {
public:
    bool Upload(const std::string& url, std::vector<std::uint8_t> bytes, std::uint64_t ticket) override {
        uploads.push_back({url, std::move(bytes), ticket});
        return accept;
    }
    struct Call {
        std::string url;
        std::vector<std::uint8_t> bytes;
        std::uint64_t ticket;
    };
    std::vector<Call> uploads;
    bool accept = true;
};

}  // namespace

TEST(PictureSend, UploadUrlCarriesTheFileNameEncoded) {
    EXPECT_EQ(PictureUploadUrl("10.0.0.1:8080", "/home/u/cat.png"), "http://10.0.0.1:8080/up?f=cat.png&t=8");
    EXPECT_EQ(PictureUploadUrl("h", "C:\\pics\\a b&c#d.jpg"), "http://h/up?f=a%20b%26c%23d.jpg&t=8");
    EXPECT_EQ(PictureUploadUrl("h", "/x/图.png"), "http://h/up?f=%E5%9B%BE.png&t=8");
}

TEST(PictureSend, UploadsTheFileAndSendsTheStoredPictureOnTheAnswer) {
    TempDir dir;
    dir.Write("p.png", "PNGDATA");
    RecordingUploader up;
    CPictureSender sender(up);
    const auto started = sender.Send(dir.Path() + "p.png", "pics:8080");
    ASSERT_TRUE(started.ok) << started.error;
    EXPECT_EQ(started.echoCode, "/c[\"" + dir.Path() + "p.png\"]");
    ASSERT_EQ(up.uploads.size(), 1u);
    EXPECT_EQ(up.uploads[0].url, "http://pics:8080/up?f=p.png&t=8");
    EXPECT_EQ(std::string(up.uploads[0].bytes.begin(), up.uploads[0].bytes.end()), "PNGDATA");

    const auto done = sender.OnAnswer(started.ticket, true, "f00d");
    EXPECT_TRUE(done.ok);
    EXPECT_EQ(done.code, "@$#PIC:f00d:0\"");
    EXPECT_EQ(sender.Pending(), 0u);
    // The same answer twice sends one line only.
    EXPECT_FALSE(sender.OnAnswer(started.ticket, true, "f00d").ok);
}

TEST(PictureSend, FailuresAreNeverShownAsSent) {
    TempDir dir;
    dir.Write("big.png", std::string(101, 'x'));
    dir.Write("empty.png", "");
    dir.Write("ok.png", "x");
    RecordingUploader up;
    CPictureSender sender(up, 100);

    for (const std::string& path : std::vector<std::string>{dir.Path() + "missing.png", dir.Path() + "big.png",
                                   dir.Path() + "empty.png", dir.Path()}) {
        const auto r = sender.Send(path, "h");
        EXPECT_FALSE(r.ok) << path;
        EXPECT_TRUE(r.echoCode.empty()) << path;
        EXPECT_FALSE(r.error.empty()) << path;
    }
    EXPECT_TRUE(up.uploads.empty());

    up.accept = false;
    EXPECT_FALSE(sender.Send(dir.Path() + "ok.png", "h").ok);
    EXPECT_EQ(sender.Pending(), 0u);

    up.accept = true;
    // No answer, no id, or an id that would break the line: nothing is sent.
    for (const auto& [transfer, id] : std::vector<std::pair<bool, std::string>>{
             {false, "f1"}, {true, ""}, {true, "a b"}, {true, "x:0\"y"}, {true, std::string(300, 'a')}}) {
        const auto s = sender.Send(dir.Path() + "ok.png", "h");
        ASSERT_TRUE(s.ok);
        const auto r = sender.OnAnswer(s.ticket, transfer, id);
        EXPECT_FALSE(r.ok) << id;
        EXPECT_TRUE(r.code.empty()) << id;
        EXPECT_FALSE(r.error.empty()) << id;
    }
}
