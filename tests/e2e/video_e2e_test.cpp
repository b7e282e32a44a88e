// What users of a video room see, end to end: whole clients with the video
// library (the test-pattern camera, real H.264) against the in-process
// server over real TCP. Carol broadcasts in room 1002 while she holds the
// anchor microphone; Alice and Bob read the pattern's frame counters rising,
// Dave joins late and is shown a picture at once, nothing more comes once
// she closes the microphone, and Alice's recording is a playable MP4.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QDir>
#include <QImage>
#include <cstring>

#include "platform/vcast/test_pattern.h"
#include "ui/video_wnd.h"
#include "tests/e2e/e2e_fixture.h"

namespace e2e {
namespace {

constexpr std::uint32_t kMusic = 1002;  // anchor mode; Carol is its anchor

// The counters a viewer read from the anchor's pictures, in order.
class CounterLog {
public:
    void Attach(CRoomVideo& video) {
        video.SetPictureObserver([this](const VcastPicture& p) {
            std::uint32_t c = 0;
            std::lock_guard<std::mutex> g(lock_);
            ++pictures_;
            if (vcast_pattern::ReadCounter(p, c)) counters_.push_back(c);
        });
    }
    std::vector<std::uint32_t> Counters() {
        std::lock_guard<std::mutex> g(lock_);
        return counters_;
    }
    std::size_t Pictures() {
        std::lock_guard<std::mutex> g(lock_);
        return pictures_;
    }

private:
    std::mutex lock_;
    std::vector<std::uint32_t> counters_;
    std::size_t pictures_ = 0;
};

std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    return out;
}

class VideoE2E : public RoomFixture {
protected:
    std::unique_ptr<CTestClient> Join(const testsupport::DemoLogin& who) {
        auto c = std::make_unique<CTestClient>(srv, who, CRoomStack::Mode::headless, nullptr, true);
        GivePowers(*c);
        return c;
    }
    static void Enter(CTestClient& c, std::uint32_t room) {
        c.Enter(room);
        ASSERT_TRUE(c.InRoom(room)) << Output(c);
        ASSERT_TRUE(WaitFor([&] { return c.stack().videoEngine()->HasPlay(); })) << Output(c);
    }
    static bool Rising(const std::vector<std::uint32_t>& v) {
        for (std::size_t i = 1; i < v.size(); ++i)
            if (v[i] <= v[i - 1]) return false;
        return true;
    }
};

TEST_F(VideoE2E, TheAnchorsPatternReachesHerRoomAndItsRecording) {
    auto carol = Join(kCarol);
    auto alice = Join(kAlice);
    auto bob = Join(kBob);
    CounterLog aliceSaw, bobSaw, daveSaw;
    aliceSaw.Attach(*alice->stack().video());
    bobSaw.Attach(*bob->stack().video());
    ASSERT_NO_FATAL_FAILURE(Enter(*carol, kMusic));
    ASSERT_NO_FATAL_FAILURE(Enter(*alice, kMusic));
    ASSERT_NO_FATAL_FAILURE(Enter(*bob, kMusic));

    // Without the microphone the camera is refused, with the room's words.
    Type(*carol, "/video on");
    EXPECT_TRUE(WaitFor([&] { return Output(*carol).find("请先上麦!") != std::string::npos; }))
        << Output(*carol);
    EXPECT_FALSE(carol->stack().video()->broadcasting());

    Type(*alice, "/record start");
    ASSERT_TRUE(WaitFor([&] { return alice->stack().video()->recording(); })) << Output(*alice);

    carol->stack().video()->SetWanted(CRoomVideo::Source::pattern);
    Type(*carol, "/anchor");
    ASSERT_TRUE(WaitFor([&] { return carol->stack().video()->broadcasting(); })) << Output(*carol);
    ASSERT_TRUE(WaitFor([&] {
        return aliceSaw.Counters().size() >= 20 && bobSaw.Counters().size() >= 20;
    }, 30000)) << aliceSaw.Pictures() << " " << bobSaw.Pictures() << "\n" << Output(*alice);
    EXPECT_TRUE(Rising(aliceSaw.Counters()));
    EXPECT_TRUE(Rising(bobSaw.Counters()));
    EXPECT_NE(Output(*alice).find("video: " + std::to_string(kCarol.id) + " "), std::string::npos)
        << "the first picture is reported with its anchor and size";

    // A late viewer is shown a picture at once, from the room's latest
    // keyframe on, and catches up with the live pictures.
    auto dave = Join(kDave);
    daveSaw.Attach(*dave->stack().video());
    const std::uint32_t seenBefore = aliceSaw.Counters().back();
    ASSERT_NO_FATAL_FAILURE(Enter(*dave, kMusic));
    ASSERT_TRUE(WaitFor([&] {
        const auto c = daveSaw.Counters();
        return !c.empty() && c.back() > seenBefore;
    }, 15000)) << Output(*dave);
    EXPECT_TRUE(Rising(daveSaw.Counters())) << ::testing::PrintToString(daveSaw.Counters());

    // The video ends with the microphone.
    Type(*carol, "/unanchor");
    ASSERT_TRUE(WaitFor([&] { return !carol->stack().video()->broadcasting(); })) << Output(*carol);
    WaitFor([] { return false; }, 1500);  // what was on its way arrives
    const std::size_t after = bobSaw.Pictures();
    WaitFor([] { return false; }, 1000);
    EXPECT_EQ(bobSaw.Pictures(), after) << "pictures after the microphone closed";

    Type(*alice, "/record stop");
    ASSERT_TRUE(WaitFor([&] { return !alice->stack().video()->recording(); }));
    const std::string file = alice->stack().video()->recordPath();
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    const std::string artifact = std::string(ZERI_ARTIFACTS_DIR) + "record.mp4";
    std::filesystem::create_directories(ZERI_ARTIFACTS_DIR);
    std::filesystem::copy_file(file, artifact, std::filesystem::copy_options::overwrite_existing);
    const std::string probe =
        RunCommand("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + file + "' 2>&1");
    EXPECT_NE(probe.find("h264"), std::string::npos) << probe;
    EXPECT_NE(probe.find("aac"), std::string::npos) << probe;
}

TEST_F(VideoE2E, TheRoomWindowShowsTheAnchorsPicture) {
    auto carol = Join(kCarol);
    CTestClient alice(srv, kAlice, CRoomStack::Mode::window, nullptr, true);
    CRoomUI* window = alice.stack().window();
    ASSERT_NE(window, nullptr);
    window->SetMessageBoxHandler([](const std::string&, const std::string&, BoxIcon) {});
    ASSERT_NE(window->VideoArea(), nullptr) << "the skin has no video area";
    ASSERT_NE(window->VideoWindow(), 0u);
    GivePowers(alice);
    ASSERT_NO_FATAL_FAILURE(Enter(*carol, kMusic));
    ASSERT_NO_FATAL_FAILURE(Enter(alice, kMusic));
    carol->stack().video()->SetWanted(CRoomVideo::Source::pattern);
    Type(*carol, "/anchor");
    const CVideoWnd& picture = window->VideoArea()->VideoWnd();
    ASSERT_TRUE(WaitFor([&] { return picture.picturesShown() >= 10; }, 20000))
        << picture.picturesShown() << "\n" << Output(*carol);

    // What the window draws is the pattern, its counter still readable.
    const QImage shown = picture.Picture().convertToFormat(QImage::Format_RGB32);
    VcastPicture p;
    p.width = shown.width();
    p.height = shown.height();
    p.argb.resize(static_cast<std::size_t>(p.width) * p.height);
    for (int y = 0; y < p.height; ++y)
        std::memcpy(&p.argb[static_cast<std::size_t>(y) * p.width], shown.constScanLine(y),
                    static_cast<std::size_t>(p.width) * 4);
    std::uint32_t counter = 0;
    EXPECT_TRUE(vcast_pattern::ReadCounter(p, counter));
    EXPECT_GT(counter, 0u);

    window->resize(1180, 740);
    WaitFor([] { return false; }, 300);  // lay out and paint
    const QImage shot = window->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    // The video area is not black: the pattern's colour bars are in it.
    const QPoint at = window->VideoArea()->mapTo(window, QPoint(0, 0));
    const QRect area(at, window->VideoArea()->size());
    int coloured = 0;
    for (int y = area.top(); y < area.bottom(); y += 7)
        for (int x = area.left(); x < area.right(); x += 7)
            if (qGray(shot.pixel(x, y)) > 60) ++coloured;
    EXPECT_GT(coloured, 50) << "the video area looks black";
    const QString folder = QString::fromStdString(ZERI_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(shot.save(folder + "video.png"));
}

}  // namespace
}  // namespace e2e
