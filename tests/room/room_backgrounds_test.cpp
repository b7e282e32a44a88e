// The room-settings dialog's background pictures without a window: the
// upload (its body, the five-picture and one-at-a-time refusals, names made
// safe), the service's list fetched into my picture folder (hostile URLs
// skipped, sealed answers only), deleting and the clothing pages.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/files.h"
#include "core/paths.h"
#include "core/service_hosts.h"
#include "net/service_answer.h"
#include "platform/kitlib/kitlib.h"
#include "room/room_backgrounds.h"
#include "tests/room/room_test_support.h"

using namespace room_backgrounds;
using Upload = CRoomBackgrounds::Upload;

namespace {

constexpr std::uint32_t kMe = 42, kRoom = 258;

class RecordingHttp : public IHttpStarter {
public:
    struct Call {
        unsigned message;
        std::string url;
        std::vector<std::uint8_t> body;
        std::string destination;
    };
    std::vector<Call> posts, downloads;
    bool accept = true;
    bool Download(unsigned message, const std::string& url, const std::string& destination) override {
        if (!accept) return false;
        downloads.push_back({message, url, {}, destination});
        return true;
    }
    bool Post(unsigned message, const std::string& url, const std::vector<std::uint8_t>& body) override {
        if (!accept) return false;
        posts.push_back({message, url, body, {}});
        return true;
    }
    std::string Host() override { return {}; }
};

struct Item {
    std::uint32_t id;
    std::string text;
};

KitlibAnswer AnswerOf(const std::vector<Item>& items, bool sealed, const std::string& error = {}) {
    msg::ServiceAnswer a;
    a.error = error;
    for (const Item& i : items) a.items.push_back({true, i.id, i.text});
    const std::string bytes = msg::EncodeServiceAnswer(a, sealed);
    KitlibAnswer k;
    k.bytes.assign(bytes.begin(), bytes.end());
    k.length = static_cast<std::uint32_t>(bytes.size());
    return k;
}

class RoomBackgrounds : public ::testing::Test {
protected:
    void SetUp() override {
        SetServiceHosts(ServiceHosts{"pics.test", 8000, 5099});
        source = paths::DataFolder() + "chosen/";
        ASSERT_TRUE(paths::MakeDirs(source));
        BackgroundsSetup s;
        s.http = &http;
        s.userId = kMe;
        s.roomId = kRoom;
        s.choose = [this](const std::string& title, const std::string& filter) {
            titles.push_back(title);
            filters.push_back(filter);
            return chosen;
        };
        s.zoom = [this](const std::string& from, const std::string& to, int w, int h) {
            zooms.push_back({from, to, w, h});
            std::string bytes;
            if (!files::ReadFile(from, bytes) || bytes.rfind("PIC", 0) != 0) return -1;
            return files::WriteFileAtomic(to, "SCALED:" + bytes) ? 0 : -3;
        };
        s.box = [this](const std::string& text, const std::string& caption) {
            boxes.push_back(caption + ": " + text);
        };
        s.changed = [this] { ++changes; };
        bg = std::make_unique<CRoomBackgrounds>(std::move(s));
    }
    void TearDown() override { SetServiceHosts(ServiceHosts{}); }

    std::string Choose(const std::string& name, const std::string& bytes = "PICTURE") {
        chosen = source + name;
        EXPECT_TRUE(files::WriteFileAtomic(chosen, bytes));
        return chosen;
    }
    std::string Images() const { return paths::UserFolder(kMe) + "Image/"; }
    void Listed(const std::vector<Item>& items) {
        const KitlibAnswer a = AnswerOf(items, true);
        ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_LIST, &a));
    }

    struct Zoom {
        std::string from, to;
        int w, h;
    };
    roomtest::ScopedDataFolder data{"roombg"};
    RecordingHttp http;
    std::string source, chosen;
    std::vector<std::string> titles, filters, boxes;
    std::vector<Zoom> zooms;
    int changes = 0;
    std::unique_ptr<CRoomBackgrounds> bg;
};

}  // namespace

TEST(RoomBackgroundsBody, StartsWithTheRoomIdLeastSignificantByteFirst) {
    const auto body = UploadBody(258, "JPEG");
    ASSERT_EQ(body.size(), 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(body.begin(), body.begin() + 4),
              (std::vector<std::uint8_t>{0x02, 0x01, 0x00, 0x00}));
    EXPECT_EQ(std::string(body.begin() + 4, body.end()), "JPEG");
    const auto big = UploadBody(0xA1B2C3D4, "");
    EXPECT_EQ(big, (std::vector<std::uint8_t>{0xD4, 0xC3, 0xB2, 0xA1}));
}

TEST_F(RoomBackgrounds, AnUploadScalesACopyAndSendsItAfterTheRoomId) {
    const std::string picked = Choose("sunset.JPG", "PIC-sunset");
    ASSERT_EQ(bg->Add(), Upload::sent);
    EXPECT_EQ(titles, std::vector<std::string>{"选择图片"});
    EXPECT_NE(filters[0].find("*.jpg"), std::string::npos);
    EXPECT_NE(filters[0].find("*.bmp"), std::string::npos);
    ASSERT_EQ(zooms.size(), 1u);
    EXPECT_EQ(zooms[0].from, picked);
    EXPECT_EQ(zooms[0].to, Images() + "sunset.JPG");
    EXPECT_EQ(zooms[0].w, 320);
    EXPECT_EQ(zooms[0].h, 240);
    ASSERT_EQ(http.posts.size(), 1u);
    EXPECT_EQ(http.posts[0].message, UM_BACKGROUND_SAVED);
    EXPECT_EQ(http.posts[0].url, "http://pics.test:5099/savepic");
    EXPECT_EQ(http.posts[0].body, UploadBody(kRoom, "SCALED:PIC-sunset"));
    EXPECT_TRUE(bg->uploading());

    // One at a time: the second waits for the first's answer.
    EXPECT_EQ(bg->Add(), Upload::pending);
    EXPECT_EQ(boxes.back(), "提示: 等待上传完成");
    EXPECT_EQ(titles.size(), 1u);
    EXPECT_EQ(http.posts.size(), 1u);

    // The answer names the picture: the local copy takes that name.
    const KitlibAnswer saved = AnswerOf({{11, "bg_11.jpg"}}, false);
    ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_SAVED, &saved));
    EXPECT_FALSE(bg->uploading());
    ASSERT_EQ(bg->pictures().size(), 1u);
    EXPECT_EQ(bg->pictures()[0].id, 11u);
    EXPECT_EQ(bg->pictures()[0].file, Images() + "bg_11.jpg");
    EXPECT_TRUE(bg->pictures()[0].present);
    std::string copy;
    ASSERT_TRUE(files::ReadFile(Images() + "bg_11.jpg", copy));
    EXPECT_EQ(copy, "SCALED:PIC-sunset");
    EXPECT_GE(changes, 2);
}

TEST_F(RoomBackgrounds, FivePicturesAreTheMost) {
    Listed({{1, "http://pics.test:5099/bg/1.jpg"}, {2, "http://pics.test:5099/bg/2.jpg"},
            {3, "http://pics.test:5099/bg/3.jpg"}, {4, "http://pics.test:5099/bg/4.jpg"},
            {5, "http://pics.test:5099/bg/5.jpg"}, {6, "http://pics.test:5099/bg/6.jpg"}});
    EXPECT_EQ(bg->pictures().size(), 5u);
    Choose("more.jpg", "PIC");
    EXPECT_EQ(bg->Add(), Upload::too_many);
    EXPECT_EQ(boxes, std::vector<std::string>{"提示: 上传图片不能超过5张"});
    EXPECT_TRUE(titles.empty());
    EXPECT_TRUE(http.posts.empty());
    // Deleting one makes room again.
    ASSERT_TRUE(bg->Delete(3));
    EXPECT_EQ(http.posts.back().url, "http://pics.test:5099/delbackgroundpic?picId=3");
    EXPECT_EQ(http.posts.back().message, UM_BACKGROUND_DELETED);
    const KitlibAnswer done = AnswerOf({{0, ""}}, true);
    ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_DELETED, &done));
    EXPECT_EQ(bg->pictures().size(), 4u);
    EXPECT_EQ(bg->Add(), Upload::sent);
}

TEST_F(RoomBackgrounds, UploadsThatCannotGoAheadSendNothing) {
    chosen.clear();
    EXPECT_EQ(bg->Add(), Upload::cancelled);
    Choose("photo.png", "PIC");
    EXPECT_EQ(bg->Add(), Upload::wrong_type);
    Choose("broken.jpg", "not a picture");
    EXPECT_EQ(bg->Add(), Upload::unreadable);
    EXPECT_EQ(boxes.back(), "提示: 图片无法读取");
    EXPECT_TRUE(http.posts.empty());
    EXPECT_FALSE(bg->uploading());

    http.accept = false;
    Choose("fine.bmp", "PIC");
    EXPECT_EQ(bg->Add(), Upload::not_started);
    EXPECT_FALSE(bg->uploading());
}

TEST_F(RoomBackgrounds, NamesFromOutsideStayInsideThePictureFolder) {
    // A chosen name with the other platform's separators.
    Choose("a\\..\\..\\b.jpg", "PIC");
    ASSERT_EQ(bg->Add(), Upload::sent);
    EXPECT_EQ(zooms.back().to, Images() + "b.jpg");
    // The service's name for it tries to leave the folder.
    const KitlibAnswer saved = AnswerOf({{7, "../../evil.jpg"}, {8, ".."}}, false);
    ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_SAVED, &saved));
    ASSERT_EQ(bg->pictures().size(), 1u);
    const std::string file = bg->pictures()[0].file;
    EXPECT_EQ(file.rfind(Images(), 0), 0u);
    EXPECT_EQ(file.find('/', Images().size()), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(RoomBackgrounds, AFailedOrRefusedUploadEndsTheWait) {
    Choose("one.jpg", "PIC1");
    ASSERT_EQ(bg->Add(), Upload::sent);
    ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_SAVED, nullptr));
    EXPECT_FALSE(bg->uploading());
    EXPECT_TRUE(bg->pictures().empty());

    ASSERT_EQ(bg->Add(), Upload::sent);
    const KitlibAnswer refused = AnswerOf({}, false, "图片太大");
    ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_SAVED, &refused));
    EXPECT_EQ(boxes.back(), "提示: 图片太大");
    EXPECT_FALSE(bg->uploading());
    EXPECT_TRUE(bg->pictures().empty());
}

TEST_F(RoomBackgrounds, TheListIsFetchedIntoMyPictureFolderAndHostileUrlsSkipped) {
    ASSERT_TRUE(paths::MakeDirs(Images()));
    ASSERT_TRUE(files::WriteFileAtomic(Images() + "have.jpg", "cached"));
    Listed({{1, "http://pics.test:5099/bg/new.jpg?v=2"},
            {2, "http://pics.test:5099/bg/have.jpg"},
            {3, "http://pics.test:5099/bg/a b.jpg"},
            {4, "ftp://pics.test/bg/x.jpg"},
            {5, "http://pics.test:5099/bg/"},
            {6, "http://pics.test:5099/x\r\nHost: evil/y.jpg"}});
    ASSERT_EQ(bg->pictures().size(), 2u);
    ASSERT_EQ(http.downloads.size(), 1u);
    EXPECT_EQ(http.downloads[0].message, UM_BACKGROUND_FETCHED);
    EXPECT_EQ(http.downloads[0].url, "http://pics.test:5099/bg/new.jpg?v=2");
    EXPECT_EQ(http.downloads[0].destination, Images() + "new.jpg");
    EXPECT_FALSE(bg->pictures()[0].present);
    EXPECT_TRUE(bg->pictures()[1].present);

    ASSERT_TRUE(files::WriteFileAtomic(Images() + "new.jpg", "fetched"));
    KitlibAnswer fetched;
    fetched.file = Images() + "new.jpg";
    ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_FETCHED, &fetched));
    EXPECT_TRUE(bg->pictures()[0].present);

    // An unsealed or undecodable list changes nothing.
    const KitlibAnswer plain = AnswerOf({{9, "http://pics.test:5099/bg/9.jpg"}}, false);
    ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_LIST, &plain));
    ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_LIST, nullptr));
    EXPECT_EQ(bg->pictures().size(), 2u);
    EXPECT_FALSE(bg->OnAnswer(1748, nullptr));
}

TEST_F(RoomBackgrounds, DeletesAndClothingPagesOneAtATime) {
    Listed({{12, "http://pics.test:5099/bg/12.jpg"}});
    ASSERT_TRUE(bg->Delete(12));
    EXPECT_FALSE(bg->Delete(12));
    const KitlibAnswer refused = AnswerOf({}, true, "不是房管");
    ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_DELETED, &refused));
    EXPECT_EQ(boxes.back(), "提示: 不是房管");
    EXPECT_EQ(bg->pictures().size(), 1u);
    // A failed request ends the wait too.
    ASSERT_TRUE(bg->Delete(12));
    ASSERT_TRUE(bg->OnAnswer(UM_BACKGROUND_DELETED, nullptr));
    EXPECT_EQ(bg->pictures().size(), 1u);
    EXPECT_TRUE(bg->Delete(12));

    ASSERT_TRUE(bg->RequestClothing(2));
    EXPECT_EQ(http.posts.back().message, UM_CLOTHING_PAGE);
    EXPECT_EQ(http.posts.back().url,
              "http://pics.test:5099/getroomclothinginfo?roomid=258&pageid=2");
    EXPECT_TRUE(bg->clothingLoading());
    EXPECT_FALSE(bg->RequestClothing(3));
    ASSERT_TRUE(bg->OnAnswer(UM_CLOTHING_PAGE, nullptr));
    EXPECT_FALSE(bg->clothingLoading());
    ASSERT_TRUE(bg->RequestClothing(3));
    const KitlibAnswer page = AnswerOf({{31, "红裙"}, {32, "礼帽"}}, true);
    ASSERT_TRUE(bg->OnAnswer(UM_CLOTHING_PAGE, &page));
    ASSERT_EQ(bg->clothing().size(), 2u);
    EXPECT_EQ(bg->clothing()[1].id, 32u);
    EXPECT_EQ(bg->clothing()[1].text, "礼帽");
}
