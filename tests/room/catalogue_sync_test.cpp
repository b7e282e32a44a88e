// A catalogue sync over real TCP against a scripted catalogue and file
// server: what lands in the cache folder, what the room window is told, and
// what is left when the server or the room goes away mid-way.
#include <gtest/gtest.h>
#include <httplib.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "core/files.h"
#include "room/catalogue/cached_file.h"
#include "room/catalogue/gift_config.h"
#include "room/catalogue/global_gift_http.h"

using namespace std::chrono_literals;
using catalogue::CatalogueProgress;
using catalogue::CGlobalGiftHttp;

namespace {

constexpr HWND kWindow = 77;

struct Posted {
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::unique_ptr<CMessageData> data;
};

class Router : public IMessageRouter {
public:
    bool Post(HWND, WindowMessage m, std::unique_ptr<CMessageData> data) override {
        std::lock_guard<std::mutex> g(mutex);
        got.push_back({m.msg, m.wParam, m.lParam, std::move(data)});
        cv.notify_all();
        return true;
    }
    std::intptr_t Send(HWND, const WindowMessage&) override { return 0; }
    bool IsWindow(HWND) override { return true; }
    bool WaitFor(unsigned msg) {
        std::unique_lock<std::mutex> l(mutex);
        return cv.wait_for(l, 30s, [&] { return Count(msg) > 0; });
    }
    std::size_t Count(unsigned msg) const {
        std::size_t n = 0;
        for (const Posted& p : got) n += p.msg == msg;
        return n;
    }
    std::vector<CatalogueProgress> Progress() {
        std::lock_guard<std::mutex> g(mutex);
        std::vector<CatalogueProgress> out;
        for (const Posted& p : got)
            if (p.msg == catalogue::UM_CATALOGUE_PROGRESS)
                out.push_back(static_cast<TMessageData<CatalogueProgress>*>(p.data.get())->value);
        return out;
    }
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Posted> got;
};

std::string Digest(const std::string& content) {
    const std::string path = std::filesystem::temp_directory_path() /
                             ("zeri-digest-" + std::to_string(::getpid()));
    files::WriteFileAtomic(path, content);
    const std::string d = catalogue::FileDigest(path).value_or("");
    std::filesystem::remove(path);
    return d;
}

// The catalogue service and its files, scripted per test.
class CatalogueServer {
public:
    CatalogueServer() {
        server.Get("/getgiftinfo", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> g(m);
            queries.push_back(req.params);
            if (status != 200) {
                res.status = status;
                res.set_header("Location", "/getgiftinfo?again=1");
            }
            res.set_content(answer, "application/json");
        });
        server.Get(R"(/res/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
            std::unique_lock<std::mutex> g(m);
            const std::string name = req.matches[1];
            ++hits[name];
            if (name == hold) {
                held = true;
                cv.notify_all();
                cv.wait(g, [&] { return !hold_on; });
            }
            const auto it = files.find(name);
            if (it == files.end()) {
                res.status = 404;
                return;
            }
            res.set_content(it->second, "application/octet-stream");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::sleep_for(1ms);
    }
    ~CatalogueServer() { Stop(); }
    void Stop() {
        {
            std::lock_guard<std::mutex> g(m);
            hold_on = false;
        }
        cv.notify_all();
        server.stop();
        if (thread.joinable()) thread.join();
    }
    // A file served under its content digest; its URL.
    std::string AddFile(const std::string& content, const std::string& ext = "png") {
        const std::string name = Digest(content) + "." + ext;
        std::lock_guard<std::mutex> g(m);
        files[name] = content;
        return Url(name);
    }
    std::string Url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(port) + "/res/" + name;
    }
    void SetAnswer(std::string a) {
        std::lock_guard<std::mutex> g(m);
        answer = std::move(a);
    }
    int Hits(const std::string& url) {
        std::lock_guard<std::mutex> g(m);
        return hits[url.substr(url.rfind('/') + 1)];
    }
    std::size_t Queries() {
        std::lock_guard<std::mutex> g(m);
        return queries.size();
    }
    bool WaitHeld() {
        std::unique_lock<std::mutex> g(m);
        return cv.wait_for(g, 30s, [&] { return held; });
    }

    httplib::Server server;
    std::thread thread;
    int port = 0;
    std::mutex m;
    std::condition_variable cv;
    std::string answer;
    int status = 200;
    std::vector<httplib::Params> queries;
    std::map<std::string, std::string> files;
    std::map<std::string, int> hits;
    std::string hold;  // a file whose request waits until Stop
    bool hold_on = true;
    bool held = false;
};

std::string GiftJson(int id, const std::string& name, const std::string& icon, const std::string& pic,
                     const std::string& extra = "") {
    return "{\"id\":" + std::to_string(id) + ",\"name\":\"" + name + "\",\"iconUrl\":\"" + icon +
           "\",\"chatPicUrl\":\"" + pic + "\"" + extra + "}";
}

std::string AnswerJson(int version, const std::string& entries) {
    return "{\"result\":200,\"versionId\":" + std::to_string(version) + ",\"giftInfoList\":[" + entries + "]}";
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

class CatalogueSync : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRouter(&router);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        SetMessageRouter(nullptr);
        std::filesystem::remove_all(dir);
    }
    std::unique_ptr<CGlobalGiftHttp> Catalogue(int port, int buyType = 0) {
        auto c = std::make_unique<CGlobalGiftHttp>("", dir.string());
        c->SetWindow(kWindow);
        EXPECT_TRUE(c->Init("127.0.0.1", static_cast<std::uint16_t>(port), "1",
                            catalogue::UM_GIFT_CONFIG_DONE, buyType));
        return c;
    }
    // One whole sync; false when no done message came.
    bool Sync(CGlobalGiftHttp& c) {
        const std::size_t before = router.Count(catalogue::UM_GIFT_CONFIG_DONE);
        // The last sync's done message may come before its request is
        // released, and a catalogue runs one request at a time.
        for (int i = 0; i < 3000 && c.InFlight(); ++i) std::this_thread::sleep_for(10ms);
        c.Request();
        std::unique_lock<std::mutex> l(router.mutex);
        const bool done = router.cv.wait_for(
            l, 30s, [&] { return router.Count(catalogue::UM_GIFT_CONFIG_DONE) > before; });
        l.unlock();
        return done && c.AdoptSync();
    }
    std::string Config() {
        std::string text;
        files::ReadFile((dir / "res/globalgift/GiftConfig.xml").string(), text);
        return text;
    }

    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zeri-giftsync-" + std::to_string(::getpid()));
    Router router;
};

}  // namespace

TEST_F(CatalogueSync, FetchesEveryFileWritesTheListAndTellsTheWindow) {
    CatalogueServer server;
    const std::string icon = server.AddFile("icon-bytes");
    const std::string pic = server.AddFile(std::string(50000, 'p'));  // several reads
    const std::string voice = server.AddFile("sound", "mp3");
    server.SetAnswer(AnswerJson(
        5, "{\"id\":1,\"name\":\"bouquet\",\"node\":\"1\",\"sonGiftInfoList\":[" +
               GiftJson(2, "rose", icon, pic, ",\"voiceUrl\":\"" + voice + "\",\"ext\":\"3\"") + "]}," +
               GiftJson(3, "kiss", icon, "")));
    auto c = Catalogue(server.port, 3);
    ASSERT_TRUE(Sync(*c));

    {
        std::lock_guard<std::mutex> g(server.m);
        ASSERT_EQ(server.queries.size(), 1u);
        const httplib::Params& q = server.queries[0];
        using Query = std::multimap<std::string, std::string>;
        const Query wanted = {
            {"appId", "100005"}, {"buyType", "3"}, {"itemType", "1"}, {"osType", "PC"}, {"versionId", "0"}};
        EXPECT_EQ(Query(q.begin(), q.end()), wanted);
    }
    // The same icon twice is fetched once.
    EXPECT_EQ(server.Hits(icon), 1);
    const std::string folder = "res/globalgift/";
    const catalogue::GiftRecord* rose = c->Find(2);
    ASSERT_NE(rose, nullptr);
    EXPECT_EQ(rose->parentId, 1u);
    EXPECT_EQ(rose->iconFile, folder + CGlobalGiftHttp::UrlFileName(icon));
    EXPECT_EQ(rose->chatPicFile, folder + CGlobalGiftHttp::UrlFileName(pic));
    EXPECT_EQ(rose->soundFile, folder + CGlobalGiftHttp::UrlFileName(voice));
    EXPECT_EQ(c->version(), 5u);
    std::vector<const catalogue::GiftRecord*> members;
    EXPECT_TRUE(c->Children(1, members));
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0]->id, 2u);
    EXPECT_EQ(c->VipIcon(3), (dir / rose->chatPicFile).string());
    EXPECT_EQ(c->VipIcon(4), "");

    // Every file the list names is there, whole.
    const catalogue::PanelCatalogue panels = catalogue::ReadGiftConfig(Config());
    ASSERT_TRUE(panels.loaded);
    ASSERT_EQ(panels.items.size(), 2u);
    ASSERT_EQ(panels.items[0].members.size(), 1u);
    for (const std::string& f : {panels.items[0].members[0].file, panels.items[0].members[0].pic,
                                 panels.items[0].members[0].sound, panels.items[1].file})
        EXPECT_TRUE(catalogue::CachedFileGood((dir / f).string(), std::filesystem::path(f).filename().string())) << f;

    // Progress counts up to every file, the last one telling the total.
    const auto progress = router.Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().filesTotal, 4u);
    EXPECT_EQ(progress.back().filesDone, 4u);
    for (std::size_t i = 1; i < progress.size(); ++i)
        EXPECT_GE(progress[i].filesDone, progress[i - 1].filesDone);
    EXPECT_EQ(progress.back().itemType, "1");
}

TEST_F(CatalogueSync, GoodCachedFilesStayAndDamagedOnesAreFetchedAgain) {
    CatalogueServer server;
    const std::string icon = server.AddFile("icon-bytes");
    const std::string pic = server.AddFile("picture-bytes");
    server.SetAnswer(AnswerJson(1, GiftJson(7, "rose", icon, pic)));
    auto c = Catalogue(server.port);
    ASSERT_TRUE(Sync(*c));
    const std::string cachedPic = (dir / "res/globalgift" / CGlobalGiftHttp::UrlFileName(pic)).string();
    // Cut short, as a crash in an older version could have left it.
    ASSERT_TRUE(files::WriteFileAtomic(cachedPic, "pict"));

    ASSERT_TRUE(Sync(*c));
    EXPECT_EQ(server.Hits(icon), 1);  // whole: kept
    EXPECT_EQ(server.Hits(pic), 2);   // truncated: fetched again
    std::string text;
    ASSERT_TRUE(files::ReadFile(cachedPic, text));
    EXPECT_EQ(text, "picture-bytes");
    EXPECT_EQ(c->Find(7)->chatPicFile, "res/globalgift/" + CGlobalGiftHttp::UrlFileName(pic));
}

TEST_F(CatalogueSync, MissingFilesLeaveTheirFieldEmptyAndBadAnswersChangeNothing) {
    CatalogueServer server;
    const std::string icon = server.AddFile("icon-bytes");
    // Not served; and one served under a digest its content does not match.
    const std::string gone = server.Url(std::string(64, 'a') + ".png");
    {
        std::lock_guard<std::mutex> g(server.m);
        server.files[std::string(64, 'b') + ".png"] = "not what the name says";
    }
    const std::string lying = server.Url(std::string(64, 'b') + ".png");
    server.SetAnswer(AnswerJson(2, GiftJson(1, "a", icon, gone) + "," + GiftJson(2, "b", lying, "")));
    auto c = Catalogue(server.port);
    ASSERT_TRUE(Sync(*c));
    EXPECT_EQ(c->Find(1)->chatPicFile, "");
    EXPECT_EQ(c->Find(2)->iconFile, "");
    EXPECT_FALSE(std::filesystem::exists(dir / "res/globalgift" / (std::string(64, 'b') + ".png")));
    const std::string first = Config();

    // A refusal, an answer that is no JSON, and a catalogue behind a
    // redirect (never followed): the list and file stay, nothing is retried.
    const std::string good = AnswerJson(3, GiftJson(9, "z", "", ""));
    for (const std::string bad : {std::string(R"({"result":400,"msg":"unknown itemType"})"),
                                  std::string("<html>busy</html>"), good}) {
        server.SetAnswer(bad);
        {
            std::lock_guard<std::mutex> g(server.m);
            server.status = bad == good ? 302 : 200;
        }
        const std::size_t asked = server.Queries();
        const std::size_t before = router.Count(catalogue::UM_GIFT_CONFIG_DONE);
        c->Request();
        for (int i = 0; i < 3000 && c->InFlight(); ++i) std::this_thread::sleep_for(10ms);
        EXPECT_FALSE(c->InFlight());
        EXPECT_EQ(router.Count(catalogue::UM_GIFT_CONFIG_DONE), before) << bad;
        EXPECT_EQ(Config(), first) << bad;
        EXPECT_NE(c->Find(1), nullptr);
        EXPECT_EQ(server.Queries(), asked + 1) << bad;
    }
    EXPECT_EQ(c->retries(), 0);
}

TEST_F(CatalogueSync, AnEmptyCatalogueEmptiesTheListAndTellsThePanels) {
    CatalogueServer server;
    server.SetAnswer(AnswerJson(1, GiftJson(1, "a", "", "")));
    auto c = Catalogue(server.port);
    ASSERT_TRUE(Sync(*c));
    ASSERT_TRUE(c->HasRecords());
    for (const char* empty : {R"({"result":200,"versionId":2,"giftInfoList":[]})", R"({"result":200,"versionId":3})"}) {
        server.SetAnswer(empty);
        ASSERT_TRUE(Sync(*c)) << empty;
        EXPECT_FALSE(c->HasRecords());
        const catalogue::PanelCatalogue panels = catalogue::ReadGiftConfig(Config());
        EXPECT_TRUE(panels.loaded);
        EXPECT_TRUE(panels.items.empty());
    }
}

TEST_F(CatalogueSync, AnUnreachableServiceIsTriedThreeTimesMore) {
    // A port that was free a moment ago: nobody listens there now.
    const int port = FreePort();
    auto c = Catalogue(port);
    testing::internal::CaptureStderr();
    c->Request();
    for (int i = 0; i < 3000 && (c->retries() < 4 || c->InFlight()); ++i) std::this_thread::sleep_for(10ms);
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c->retries(), 4);
    EXPECT_FALSE(c->InFlight());
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = out.find("CGlobalGiftHttp Respond fail", at)) != std::string::npos; ++at)
        ++lines;
    EXPECT_EQ(lines, 4u);
    EXPECT_EQ(router.Count(catalogue::UM_GIFT_CONFIG_DONE), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "res/globalgift/GiftConfig.xml"));

    // Without a host nothing is asked at all.
    auto none = std::make_unique<CGlobalGiftHttp>("", dir.string());
    ASSERT_TRUE(none->Init("", 8000, "4", catalogue::UM_CAR_CONFIG_DONE, 0));
    none->Request();
    EXPECT_FALSE(none->InFlight());
    EXPECT_FALSE(none->Init("127.0.0.1", 8000, "2", 1, 0));
}

TEST_F(CatalogueSync, AFileServerThatStopsMidSyncLeavesTheOldList) {
    CatalogueServer server;
    const std::string icon = server.AddFile("icon-bytes");
    server.SetAnswer(AnswerJson(1, GiftJson(1, "a", icon, "")));
    auto c = Catalogue(server.port);
    ASSERT_TRUE(Sync(*c));
    const std::string first = Config();

    // The next catalogue's files live on a server that has stopped.
    CatalogueServer files;
    const std::string second = files.AddFile("second");
    const std::string third = files.AddFile("third");
    files.Stop();
    server.SetAnswer(AnswerJson(2, GiftJson(1, "a", icon, "") + "," + GiftJson(2, "b", second, third)));
    c->Request();
    for (int i = 0; i < 3000 && (c->InFlight() || !c->IsFinished() || server.Queries() < 2); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(c->IsFinished());
    EXPECT_EQ(router.Count(catalogue::UM_GIFT_CONFIG_DONE), 1u);
    EXPECT_EQ(Config(), first);
    EXPECT_EQ(c->version(), 1u);
}

TEST_F(CatalogueSync, AStopAbortsTheDownloadInFlightAndWritesNothing) {
    CatalogueServer server;
    const std::string icon = server.AddFile("icon-bytes");
    const std::string slow = server.AddFile("slow-bytes");
    server.hold = CGlobalGiftHttp::UrlFileName(slow);
    server.SetAnswer(AnswerJson(1, GiftJson(1, "a", icon, slow)));
    {
        auto c = Catalogue(server.port);
        c->Request();
        ASSERT_TRUE(server.WaitHeld());
        c->StopSync();
        for (int i = 0; i < 3000 && !c->IsFinished(); ++i) std::this_thread::sleep_for(10ms);
        // The held request is still open on the server: only the abort ended the wait.
        EXPECT_TRUE(c->IsFinished());
        EXPECT_EQ(router.Count(catalogue::UM_GIFT_CONFIG_DONE), 0u);
        EXPECT_FALSE(std::filesystem::exists(dir / "res/globalgift/GiftConfig.xml"));
    }
    // Deleted while a download waits: the destructor aborts and joins.
    {
        std::lock_guard<std::mutex> g(server.m);
        server.hold_on = true;
        server.held = false;
    }
    {
        auto c = Catalogue(server.port);
        c->Request();
        ASSERT_TRUE(server.WaitHeld());
    }
    EXPECT_EQ(router.Count(catalogue::UM_GIFT_CONFIG_DONE), 0u);
}

// ---------------------------------------------------------------- the room's part

#include "platform/patron/patron_records.h"
#include "room/catalogue/room_catalogue.h"
#include "room/headless_view.h"
#include "tests/room/room_test_support.h"

namespace {

// The headless view, also noting which panels were told to reload.
class ReadyView : public CHeadlessView {
public:
    using CHeadlessView::CHeadlessView;
    void ItemsReady(int kind) override { ready.push_back(kind); }
    std::vector<int> ready;
};

class RoomCatalogue : public CatalogueSync, public ITimerSink {
protected:
    void SetUp() override {
        CatalogueSync::SetUp();
        account.me.userId = 42;
        account.me.nickname = "ann";
        ASSERT_TRUE(session.Start());
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }
    CRoomCatalogue::Setup Setup(int port) {
        CRoomCatalogue::Setup s;
        s.dataFolder = dir.string();
        s.host = port ? "127.0.0.1" : "";
        s.port = static_cast<std::uint16_t>(port);
        s.window = kWindow;
        return s;
    }
    void Progress(CRoomCatalogue& room, const char* itemType, std::uint32_t done, std::uint32_t total,
                  std::uint64_t bytes = 0, std::uint64_t length = 0) {
        TMessageData<CatalogueProgress> data({itemType, done, total, bytes, length});
        WindowMessage m{catalogue::UM_CATALOGUE_PROGRESS, 0, 0, &data};
        EXPECT_TRUE(room.OnWindowMessage(m));
    }
    std::vector<std::string> ProgressLines() const {
        std::vector<std::string> out;
        for (const std::string& l : view.Lines())
            if (l.rfind("progress:", 0) == 0) out.push_back(l);
        return out;
    }

    roomtest::ScopedDataFolder data{"rcat"};
    ReadyView view{nullptr};
    roomtest::RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    roomtest::FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
};

}  // namespace

TEST_F(RoomCatalogue, PanelsShowCountsAndABarHeadlessPrintsOncePerSecond) {
    CRoomCatalogue room(session, Setup(0));
    Progress(room, "1", 0, 40);
    clock.AdvanceMs(400);
    Progress(room, "1", 12, 40, 500, 1000);
    EXPECT_EQ(view.Text("GiftCtrl_progress"), "12/40");
    EXPECT_EQ(view.Find("GiftCtrl_progress")->value, 12500);
    EXPECT_EQ(view.Find("GiftCtrl_progress")->max, 40000);
    clock.AdvanceMs(600);
    Progress(room, "1", 13, 40);
    Progress(room, "4", 1, 2);  // each catalogue has its own second
    clock.AdvanceMs(100);
    Progress(room, "1", 40, 40);  // the last always shows
    Progress(room, "7", 0, 0);    // VIP grades have no panel, and nothing to fetch
    EXPECT_EQ(ProgressLines(), (std::vector<std::string>{"progress: gifts 0/40", "progress: gifts 13/40",
                                                        "progress: cars 1/2", "progress: gifts 40/40",
                                                        "progress: vip 0/0"}));
    EXPECT_EQ(view.Text("CarCtrl_progress"), "1/2");
    EXPECT_EQ(view.Find("GiftCtrl_progress")->value, view.Find("GiftCtrl_progress")->max);
}

TEST_F(RoomCatalogue, MyVipGradeStartsTheSyncOnceAndTheDoneMessageSwapsTheList) {
    CatalogueServer server;
    const std::string badge = server.AddFile("gold-badge");
    server.SetAnswer(AnswerJson(1, GiftJson(30, "gold", "", badge, ",\"ext\":\"2\"")));
    CRoomCatalogue room(session, Setup(server.port));
    EXPECT_FALSE(room.started());

    PatronVipList vip{};
    vip.level = 2;
    TMessageData<PatronVipList> payload(vip);
    EXPECT_FALSE(room.OnWindowMessage(WindowMessage{UM_VIP_LIST, 1, 0, &payload}));
    EXPECT_TRUE(room.started());
    // A later list (a purchase) does not sync again.
    room.OnWindowMessage(WindowMessage{UM_VIP_LIST, 0, 0, nullptr});
    ASSERT_TRUE(router.WaitFor(catalogue::UM_VIP_CONFIG_DONE));
    for (unsigned done : {catalogue::UM_GIFT_CONFIG_DONE, catalogue::UM_CAR_CONFIG_DONE,
                          catalogue::UM_PACK_CONFIG_DONE})
        ASSERT_TRUE(router.WaitFor(done));
    {
        std::lock_guard<std::mutex> g(server.m);
        ASSERT_EQ(server.queries.size(), 4u);
        std::set<std::string> types;
        for (const httplib::Params& q : server.queries) {
            EXPECT_EQ(q.find("buyType")->second, "2");
            types.insert(q.find("itemType")->second);
        }
        EXPECT_EQ(types, (std::set<std::string>{"1", "4", "6", "7"}));
    }
    // Until the window takes the message, the room still looks at the old list.
    EXPECT_EQ(room.VipIcon(2), "");
    EXPECT_TRUE(room.OnWindowMessage(WindowMessage{catalogue::UM_VIP_CONFIG_DONE, 0, 0, nullptr}));
    EXPECT_EQ(room.VipIcon(2), (dir / "res/globalvip" / CGlobalGiftHttp::UrlFileName(badge)).string());
    // Each adopted sync has its panel reload; a done message without a new
    // file reloads nothing.
    for (unsigned done : {catalogue::UM_GIFT_CONFIG_DONE, catalogue::UM_CAR_CONFIG_DONE,
                          catalogue::UM_PACK_CONFIG_DONE, catalogue::UM_GIFT_CONFIG_DONE})
        EXPECT_TRUE(room.OnWindowMessage(WindowMessage{done, 0, 0, nullptr}));
    EXPECT_EQ(view.ready, (std::vector<int>{7, 1, 4, 6}));
    for (const char* folder : {"globalgift", "globalcar", "globalvip", "globalpack"})
        EXPECT_TRUE(std::filesystem::exists(dir / "res" / folder / "GiftConfig.xml")) << folder;
}
