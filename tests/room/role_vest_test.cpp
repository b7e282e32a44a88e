// The vests against an in-process zeri-server: roles and pictures fetched
// and cached, the cache read back, pictures fetched only when missing or
// damaged, retries, hostile caches, and the room's users wearing them.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <vector>

#include "core/clock.h"
#include "core/files.h"
#include "formats/markup.h"
#include "platform/kitlib/kitlib.h"
#include "room/headless_view.h"
#include "room/role_vest.h"
#include "room/room_roles.h"
#include "tests/room/room_test_support.h"
#include "tests/support/account_server.h"
#include "tests/web/scripted_server.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr HWND kWindow = 77;
constexpr std::uint32_t kMe = 10001;

// Keeps the messages posted to the room window.
class Router : public IMessageRouter {
public:
    bool Post(HWND target, WindowMessage m, std::unique_ptr<CMessageData>) override {
        std::lock_guard<std::mutex> g(lock);
        if (target == kWindow) got.push_back(m.msg);
        cv.notify_all();
        return true;
    }
    std::intptr_t Send(HWND, const WindowMessage&) override { return 0; }
    bool IsWindow(HWND) override { return true; }
    bool WaitDone(std::size_t n) {
        std::unique_lock<std::mutex> g(lock);
        return cv.wait_for(g, 60s, [&] {
            return std::count(got.begin(), got.end(), UM_ROLE_VESTS_DONE) >= static_cast<long>(n);
        });
    }
    std::mutex lock;
    std::condition_variable cv;
    std::vector<unsigned> got;
};

std::string Read(const std::string& path) {
    std::string s;
    files::ReadFile(path, s);
    return s;
}

class RoleVests : public testing::Test {
protected:
    void SetUp() override {
        SetMessageRouter(&router);
        UseHost("127.0.0.1:" + std::to_string(server.accountPort()));
    }
    void TearDown() override {
        KITLIB_SetHosts("", "");
        SetMessageRouter(nullptr);
    }
    static void UseHost(const std::string& host) { KITLIB_SetHosts("", host); }
    std::string Folder() const { return data.path(); }
    std::string Cache() const { return Folder() + CRoleVest::kCacheFile; }
    // One refresh to its end, the list taken over as the room window would.
    void Refresh(CRoleVest& v) {
        const std::size_t before = Done();
        v.LoadAndRefresh(kWindow, kMe);
        ASSERT_TRUE(router.WaitDone(before + 1));
        ASSERT_TRUE(v.TakeNewList());
        ASSERT_TRUE(v.WaitQuiet(30));
    }
    std::size_t Done() {
        std::lock_guard<std::mutex> g(router.lock);
        return static_cast<std::size_t>(std::count(router.got.begin(), router.got.end(), UM_ROLE_VESTS_DONE));
    }

    testsupport::AccountServer server;
    testsupport::TempFolder data;
    Router router;
};

// A role answer as the service would give it, over a scripted server.
std::string Answer(const std::string& roles) {
    const std::string body = R"({"CMD":31012,"CODE":0,"OBJ":{"xRole":[)" + roles + "]}}";
    return webtest::Answer200(body);
}

}  // namespace

TEST_F(RoleVests, RolesAndPicturesAreFetchedCachedAndReadBack) {
    const std::vector<std::uint8_t> ids = {1, 3, 7, 20};
    {
        CRoleVest v(Folder());
        Refresh(v);
        ASSERT_EQ(v.Count(), ids.size());
        for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(v.IdAt(i), ids[i]);
        EXPECT_EQ(v.IdAt(ids.size()), 0);
        EXPECT_EQ(v.Name(7), "主播");
        EXPECT_EQ(v.Find(1)->colour, 0xE53935u);
        for (std::uint8_t id : ids) {
            const std::string woman = v.VestPicture(id, 1);
            EXPECT_EQ(woman, Folder() + "res/vestpic/" + std::to_string(id) + "_w.bmp");
            EXPECT_EQ(v.VestPicture(id, 0), Folder() + "res/vestpic/" + std::to_string(id) + "_m.bmp");
            EXPECT_EQ(v.VestPicture(id, 2), v.VestPicture(id, 0));
            EXPECT_EQ(Read(woman).substr(0, 2), "BM");
            EXPECT_GT(Read(v.VestPicture(id, 2)).size(), 54u);
        }
        EXPECT_EQ(v.VestPicture(99, 1), "");
        EXPECT_EQ(v.Name(99), "");
    }
    ASSERT_TRUE(fs::exists(Cache()));

    // A new start reads the cache at once, even with the service gone.
    UseHost("127.0.0.1:" + std::to_string(webtest::ClosedPort()));
    CRoleVest again(Folder());
    testing::internal::CaptureStderr();
    again.LoadAndRefresh(kWindow, kMe);
    ASSERT_EQ(again.Count(), ids.size());
    EXPECT_EQ(again.Name(3), "管理员");
    EXPECT_EQ(again.Find(20)->colour, 0x757575u);
    EXPECT_EQ(again.VestPicture(20, 1), Folder() + "res/vestpic/20_w.bmp");
    ASSERT_TRUE(again.WaitQuiet(60));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(again.Count(), ids.size()) << "failures keep what the cache gave";
}

TEST_F(RoleVests, ColourTextsAndARepeatedRoleAsTheServiceSentThem) {
    const std::string dead = "http://127.0.0.1:" + std::to_string(webtest::ClosedPort());
    webtest::ScriptedServer service({{Answer(
        R"({"role":5,"role_name":"first","color":"#000001","woman_icon":")" + dead +
        R"(/5_w.bmp","man_icon":")" + dead + R"(/5_m.bmp"},)"
        R"({"role":5,"role_name":"second","color":"#FF8000","woman_icon":")" + dead +
        R"(/5_w.bmp","man_icon":")" + dead + R"(/5_m.bmp"},)"
        R"({"ROLE":9,"Role_Name":"cased","COLOR":"#","woman_icon":")" + dead + R"(/","man_icon":""})")}});
    UseHost("127.0.0.1:" + std::to_string(service.port()));
    CRoleVest v(Folder());
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    Refresh(v);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "standard output is the room's";
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("[]->roleid=5, color=#FF8000, name=second\n"), std::string::npos) << out;
    EXPECT_NE(out.find("[]->CRoleVest Respond suc \n"), std::string::npos) << out;

    // The body asked for my roles, formatted.
    const std::string request = service.Requests().at(0);
    EXPECT_EQ(request.rfind("POST /kampo?m=LB HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(request.find("\"userId\":\t10001"), std::string::npos) << request;

    ASSERT_EQ(v.Count(), 2u);
    EXPECT_EQ(v.Name(5), "second");
    EXPECT_EQ(v.Find(5)->colour, 0xFF8000u);
    EXPECT_EQ(v.Name(9), "cased") << "member names in any letter case";
    EXPECT_EQ(v.Find(9)->colour, 0u) << "a colour text of one character reads 0";
    // Fields are set although the pictures could not be fetched; a URL
    // naming no file gives none.
    EXPECT_EQ(v.Find(5)->womanFile, "res/vestpic/5_w.bmp");
    EXPECT_FALSE(fs::exists(Folder() + "res/vestpic/5_w.bmp"));
    EXPECT_EQ(v.VestPicture(9, 1), "");

    CMarkupSTL doc;
    ASSERT_TRUE(doc.Load(Cache()));
    ASSERT_TRUE(doc.FindElem("xml_root"));
    ASSERT_TRUE(doc.FindChildElem("vestconfig"));
    doc.IntoElem();
    ASSERT_TRUE(doc.FindChildElem("vest"));
    EXPECT_EQ(doc.GetChildAttrib("id"), "5");
    EXPECT_EQ(doc.GetChildAttrib("color"), "16744448");
    EXPECT_EQ(doc.GetChildAttrib("name"), "second");
    EXPECT_EQ(doc.GetChildAttrib("woman"), "res/vestpic/5_w.bmp");
    EXPECT_EQ(doc.GetChildAttrib("man"), "res/vestpic/5_m.bmp");
}

TEST_F(RoleVests, GoodPicturesStayBadOnesAreFetchedAgain) {
    CRoleVest v(Folder());
    Refresh(v);
    const std::string kept = v.VestPicture(1, 1), cut = v.VestPicture(3, 0), empty = v.VestPicture(7, 1);
    const std::string fullCut = Read(cut), fullEmpty = Read(empty);
    // A picture of our own (a whole BMP by its header) is not replaced.
    std::string mine = "BM" + std::string(4, '\0') + std::string(58, 'x');
    mine[2] = static_cast<char>(mine.size());
    ASSERT_TRUE(files::WriteFileAtomic(kept, mine));
    ASSERT_TRUE(files::WriteFileAtomic(cut, fullCut.substr(0, fullCut.size() / 2)));
    ASSERT_TRUE(files::WriteFileAtomic(empty, ""));
    fs::remove(v.VestPicture(20, 0));

    Refresh(v);
    EXPECT_EQ(Read(kept), mine);
    EXPECT_EQ(Read(cut), fullCut);
    EXPECT_EQ(Read(empty), fullEmpty);
    EXPECT_TRUE(fs::exists(v.VestPicture(20, 0)));
}

TEST_F(RoleVests, AClosedServiceIsTriedThreeTimesMoreThenLeftAlone) {
    UseHost("127.0.0.1:" + std::to_string(webtest::ClosedPort()));
    CRoleVest v(Folder());
    testing::internal::CaptureStderr();
    v.LoadAndRefresh(kWindow, kMe);
    ASSERT_TRUE(v.WaitQuiet(60));
    const std::string out = testing::internal::GetCapturedStderr();
    auto count = [&](const std::string& line) {
        std::size_t n = 0;
        for (std::size_t at = out.find(line); at != std::string::npos; at = out.find(line, at + 1)) ++n;
        return n;
    };
    // The first try and three more, each with its debug line and its log line.
    EXPECT_EQ(count("[]->CRoleVest Respond fail \n"), 4u) << out;
    EXPECT_EQ(count("[msg]->CRoleVest Respond fail\n"), 4u) << out;
    EXPECT_EQ(v.Count(), 0u);
    EXPECT_EQ(Done(), 0u);
}

TEST_F(RoleVests, DamagedOrHostileCachesAreIgnoredAndRewritten) {
    ASSERT_TRUE(fs::create_directories(Folder() + "res/vestpic") || fs::exists(Folder() + "res/vestpic"));
    ASSERT_TRUE(files::WriteFileAtomic(Cache(), "<xml_root><vestconfig version=\"3\"><vest id="));
    {
        UseHost("");
        CRoleVest v(Folder());
        v.LoadAndRefresh(kWindow, kMe);
        EXPECT_EQ(v.Count(), 0u);
    }
    ASSERT_TRUE(files::WriteFileAtomic(
        Cache(),
        "<xml_root><vestconfig version=\"v9\">"
        "<vest id=\"3\" color=\"255\" name=\"ok\" woman=\"res\\vestpic\\3_w.bmp\" man=\"../../etc/passwd\"/>"
        "<vest id=\"4\" color=\"x\" name=\"bad\" woman=\"/etc/passwd\" man=\"res/vestpic/../../x\"/>"
        "<vest id=\"3\" color=\"1\" name=\"later\"/>"
        "<vest id=\"300\" name=\"too wide\"/><vest id=\"0\" name=\"none\"/>"
        "</vestconfig></xml_root>"));
    UseHost("");
    CRoleVest v(Folder());
    v.LoadAndRefresh(kWindow, kMe);
    ASSERT_EQ(v.Count(), 2u);
    EXPECT_EQ(v.Name(3), "ok") << "in the cache the first record of an id stays";
    EXPECT_EQ(v.Find(3)->colour, 255u);
    EXPECT_EQ(v.VestPicture(3, 1), Folder() + "res/vestpic/3_w.bmp");
    EXPECT_EQ(v.VestPicture(3, 2), "");
    EXPECT_EQ(v.VestPicture(4, 1), "");
    EXPECT_EQ(v.VestPicture(4, 0), "");
    EXPECT_EQ(v.Find(4)->colour, 0u);
    EXPECT_EQ(v.version(), "v9");

    // The next answer rewrites the cache whole, keeping its version.
    UseHost("127.0.0.1:" + std::to_string(server.accountPort()));
    Refresh(v);
    CMarkupSTL doc;
    ASSERT_TRUE(doc.Load(Cache()));
    ASSERT_TRUE(doc.FindElem("xml_root"));
    ASSERT_TRUE(doc.FindChildElem("vestconfig"));
    EXPECT_EQ(doc.GetChildAttrib("version"), "v9");
    EXPECT_EQ(v.Count(), 4u);
    EXPECT_EQ(v.Find(4), nullptr);
}

TEST_F(RoleVests, TheRoomsUsersWearTheVestOfTheirRoleAndSex) {
    CHeadlessView view{nullptr};
    roomtest::RecordingLink link;
    CManualClock clock;
    struct NoTimers : ITimerSink {
        void OnTimer(unsigned) override {}
    } sink;
    CManualTimerHost timers{clock, sink};
    roomtest::FakeAccount account;
    account.me.userId = kMe;
    account.me.nickname = "alice";
    CRoomSession session{view, link, timers, clock, account};
    ASSERT_TRUE(session.Start());
    CRoleVest vests(Folder());
    CRoomRoles roles(session, vests, kWindow);
    EXPECT_EQ(&roles.table(), &vests);

    session.EnterRoom(1001);
    msg::Control_Room_UserList_Notify list;
    auto block = [](std::uint32_t id, const char* nick, std::uint8_t role, std::uint32_t sex) {
        msg::user_block b;
        b.user_id = id;
        b.nickname = nick;
        b.role = role;
        b.card.profile_byte = sex;
        b.card.wealth_grade = 1;
        return b;
    };
    list.users = {block(7, "wen", 7, 1), block(8, "max", 7, 2), block(9, "rex", 50, 1)};
    roomtest::Deliver(session, list);
    EXPECT_EQ(session.users().at(7).vestIcon, "") << "no roles known yet";

    roles.Request();
    ASSERT_TRUE(router.WaitDone(1));
    WindowMessage done;
    done.msg = UM_ROLE_VESTS_DONE;
    EXPECT_TRUE(session.OnFeatureMessage(done));
    EXPECT_EQ(session.users().at(7).vestIcon, Folder() + "res/vestpic/7_w.bmp");
    EXPECT_EQ(session.users().at(8).vestIcon, Folder() + "res/vestpic/7_m.bmp");
    EXPECT_EQ(session.users().at(9).vestIcon, "") << "a role the table does not know";
    bool drawn = false;
    for (const UserListItem& item : session.userList().items())
        drawn = drawn || item.text.find("7_w.bmp") != std::string::npos;
    EXPECT_TRUE(drawn) << "the list line is redrawn with the vest";

    // A role change dresses the user anew.
    session.SetUserRole(8, 20);
    EXPECT_EQ(session.users().at(8).vestIcon, Folder() + "res/vestpic/20_m.bmp");
    ASSERT_TRUE(vests.WaitQuiet(30));
}
