#pragma once
// The pieces both video benchmarks share: room members over real TCP to an
// in-process zeri-server, an anchor sending the test-pattern camera as the
// room sends its frames, and a viewer joining frames into a play instance.
// Capture and show times are noted per pattern counter, in milliseconds
// from one steady clock.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "bench/server/bench_support.h"
#include "core/clock.h"
#include "net/catalogue_media.h"
#include "net/catalogue_mic.h"
#include "net/catalogue_room.h"
#include "net/fields.h"
#include "net/tlv.h"
#include "platform/relayhub/connection.h"
#include "platform/vcast/test_pattern.h"
#include "platform/vcast/vcast.h"
#include "video/frame_assembler.h"
#include "video/frame_fragments.h"
#include "video/media_frame_word.h"
#include "video/thinning.h"

namespace vbench {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kRoom = 1002;  // anchor mode; carol is its anchor
constexpr std::uint32_t kAnchor = 10003;
constexpr std::uint32_t kViewers[] = {10001, 10002, 10004, 10005};
constexpr std::uint8_t kChatChannel = 1, kVideoChannel = 2;
constexpr double kNotYet = std::numeric_limits<double>::quiet_NaN();

inline double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * double(v.size() - 1) + 0.5))];
}

// A setup that failed: said, and the process ends at once (its threads
// and connections are still running).
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "bench: %s\n", what);
    std::fflush(nullptr);
    std::_Exit(1);
}

// The machine, and the encoder's chatter silenced so the figures stand out.
inline void PrintMachine() {
    av_log_set_level(AV_LOG_ERROR);
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) < 1) load[0] = 0;
    std::printf("machine: %u cores, load average %.2f at the start\n",
                std::thread::hardware_concurrency(), load[0]);
}

// The packets of one connection, each with its arrival time, waited for by
// command. `hook` sees every packet first and keeps those it takes.
class CInbox : public IServerSink {
public:
    std::function<bool(const pkinfo*)> hook;

    int OnJoin(std::uint32_t) override { return 0; }
    int OnLeave(std::uint32_t) override { return 0; }
    int OnConnect() override { return 0; }
    int OnDisconnect() override { return 0; }
    int OnError(std::uint32_t, const char*) override { return 0; }
    int OnPacket(std::uint32_t, pkinfo* p) override {
        if (!p) return 0;
        const auto now = Clock::now();
        if (hook && hook(p)) return 0;
        std::lock_guard<std::mutex> g(lock_);
        // Only answers are waited for; the room's notices would pile up.
        if (got_.size() < 256)
            got_.push_back({p->cmd, now, std::vector<unsigned char>(p->body, p->body + p->length)});
        cv_.notify_all();
        return 0;
    }
    // The first packet of Msg's command within 10 s, and when it arrived.
    template <class Msg>
    std::optional<Msg> Wait(std::vector<unsigned char>& keep, Clock::time_point* arrived = nullptr) {
        std::unique_lock<std::mutex> l(lock_);
        const auto until = Clock::now() + std::chrono::seconds(10);
        for (;;) {
            for (auto it = got_.begin(); it != got_.end(); ++it)
                if (it->command == Msg::id) {
                    keep = std::move(it->body);
                    if (arrived) *arrived = it->at;
                    got_.erase(it);
                    return wire::decode<Msg>(keep.data(), keep.size());
                }
            if (cv_.wait_until(l, until) == std::cv_status::timeout) return {};
        }
    }

private:
    struct Packet {
        std::uint32_t command;
        Clock::time_point at;
        std::vector<unsigned char> body;
    };
    std::mutex lock_;
    std::condition_variable cv_;
    std::vector<Packet> got_;
};

template <class Msg>
bool Send(relay::CRelayConnection& c, std::uint8_t channel, const Msg& m) {
    TLV::body b;
    if (!wire::write_fields(b, m)) return false;
    const auto bytes = TLV::encode(b);
    return c.Send(channel, Msg::id, bytes.data(), bytes.size());
}

// One member: the chat connection and the audio/video one, as the client
// opens them on entering a room.
struct CMember {
    CInbox chatBox, avBox;
    std::shared_ptr<relay::CRelayConnection> chat, av;
    std::uint32_t user = 0;
    std::string mediaKey;
    Clock::time_point loginAnswered;  // the chat login's answer arrived

    // Both connections up; false after 10 s.
    bool Connect(asio::io_context& io, std::uint16_t port) {
        chat = std::make_shared<relay::CRelayConnection>(io, "pc_chat", nullptr, 200, relay::Timing{});
        av = std::make_shared<relay::CRelayConnection>(io, "pc_av", nullptr, 400, relay::Timing{});
        chat->Attach(kChatChannel, &chatBox);
        av->Attach(kVideoChannel, &avBox);
        chat->Connect("127.0.0.1", port);
        av->Connect("127.0.0.1", port);
        for (int i = 0; i < 1000 && !(chat->IsUp() && av->IsUp()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return chat->IsUp() && av->IsUp();
    }
    bool ChatLogin(std::uint32_t id, const std::string& token) {
        user = id;
        msg::Control_Login_Req login;
        login.user_id = id, login.room_id = kRoom, login.token = token;
        std::vector<unsigned char> keep;
        if (!Send(*chat, kChatChannel, login)) return false;
        const auto r = chatBox.Wait<msg::Control_Login_Resp>(keep, &loginAnswered);
        if (!r || !r->ok()) return false;
        mediaKey = r->media_key;
        return true;
    }
    bool VideoLogin() {
        msg::Video_Login_Req v;
        v.user_id = user, v.room_id = kRoom, v.media_key = mediaKey;
        std::vector<unsigned char> keep;
        if (!Send(*av, kVideoChannel, v)) return false;
        const auto r = avBox.Wait<msg::Video_Login_Resp>(keep);
        return r && r->ok() && r->room_id == kRoom;
    }
    // The anchor microphone of the room (tag 3 = 0: it is ours).
    bool TakeAnchorMic() {
        msg::Control_Open_Mic_Req open;
        open.user_id = user, open.room_id = kRoom;
        std::vector<unsigned char> keep;
        if (!Send(*chat, kChatChannel, open)) return false;
        const auto r = chatBox.Wait<msg::Control_Open_Mic_Resp>(keep);
        return r && r->ok() && r->user_id == 0;
    }
    void Stop() {
        if (chat) chat->Retire();
        if (av) av->Retire();
    }
};

// Capture and show times per pattern counter.
class CTimeline {
public:
    void Captured(std::uint32_t counter, double ms) { Note(captured_, counter, ms); }
    void Shown(std::uint32_t counter, double ms) { Note(shown_, counter, ms); }
    // The next counter to be captured.
    std::uint32_t NextCounter() {
        std::lock_guard<std::mutex> g(lock_);
        return static_cast<std::uint32_t>(captured_.size());
    }
    // Latencies of the counters in [from, to) that were shown, and how many
    // captured there never were.
    std::vector<double> Latencies(std::uint32_t from, std::uint32_t to, std::size_t& lost) {
        std::lock_guard<std::mutex> g(lock_);
        std::vector<double> out;
        lost = 0;
        for (std::uint32_t c = from; c < to && c < captured_.size(); ++c) {
            if (std::isnan(captured_[c])) continue;
            if (c < shown_.size() && !std::isnan(shown_[c])) out.push_back(shown_[c] - captured_[c]);
            else ++lost;
        }
        return out;
    }

private:
    void Note(std::vector<double>& v, std::uint32_t counter, double ms) {
        std::lock_guard<std::mutex> g(lock_);
        if (counter > 1'000'000) return;  // a misread; the runs are far shorter
        if (v.size() <= counter) v.resize(counter + 1, kNotYet);
        if (std::isnan(v[counter])) v[counter] = ms;
    }
    std::mutex lock_;
    std::vector<double> captured_, shown_;
};

// The anchor's camera: the test pattern through the video library's
// capture instance at the room's default mode (640×360 at 15 fps), each
// encoded frame sent as the room's SendFrame does.
class CPatternSender {
public:
    CPatternSender(CMember& member, CTimeline& timeline, Clock::time_point t0)
        : member_(member), timeline_(timeline), t0_(t0) {}
    ~CPatternSender() { Stop(); }

    bool Start() {
        baseTick_ = GetTickCount();
        capture_ = VCAST_CaptureInit(0, 320, 240, 10, &CPatternSender::OnFrame, this);
        if (!capture_) return false;
        VCAST_SetX264Mode(capture_, 1);
        VCAST_SetCamID(capture_, VCAST_GetVideoCount() - 1);  // the pattern is always last
        VCAST_CaptureSetPictureCallback(capture_, &CPatternSender::OnPicture, this);
        return VCAST_CaptureMasterStart(capture_) != 0;
    }
    void Stop() {
        if (!capture_) return;
        VCAST_CaptureMasterStop(capture_);
        VCAST_CaptureRelease(capture_);
        capture_ = nullptr;
    }
    // The stamps' base: what the room takes from the audio engine, so voice
    // and video stamps count from the same tick.
    std::uint32_t baseTick() const { return baseTick_; }
    std::uint64_t sent() const { return sent_; }
    std::uint64_t dropped() const { return dropped_; }
    std::uint64_t unread() const { return unread_; }

private:
    static void OnPicture(const VcastPicture& picture, void* self) {
        auto* s = static_cast<CPatternSender*>(self);
        const double now = MsSince(s->t0_);
        std::uint32_t counter = 0;
        if (vcast_pattern::ReadCounter(picture, counter)) s->timeline_.Captured(counter, now);
        else ++s->unread_;
    }
    static bool OnFrame(const MediaFrame* frame, std::uint8_t important, void* self) {
        return frame && static_cast<CPatternSender*>(self)->SendFrame(*frame, important != 0);
    }
    bool SendFrame(const MediaFrame& frame, bool important) {
        relay::CRelayConnection& av = *member_.av;
        if (ThinVideoFrame(frame, important, av.Pending(kVideoChannel))) {
            ++dropped_;
            return false;
        }
        const auto pieces = SplitFrame(frame, frame.data, frame.length);
        if (pieces.empty()) {
            ++dropped_;
            return false;
        }
        for (const FramePiece& p : pieces) {
            msg::Video_Data m;
            m.stamp_diff = frame.stamp - baseTick_;
            m.header_word = PackFrameWord(p.frame);
            m.frame = wire::bytes(p.data, p.length);
            if (!Send(av, kVideoChannel, m)) {
                ++dropped_;
                return false;
            }
        }
        ++sent_;
        return true;
    }

    CMember& member_;
    CTimeline& timeline_;
    const Clock::time_point t0_;
    vcast_capture_t* capture_ = nullptr;
    std::uint32_t baseTick_ = 0;
    std::atomic<std::uint64_t> sent_{0}, dropped_{0}, unread_{0};
};

// A viewer's picture: Video_Data_Notify pieces from its audio/video
// connection joined and handed to a play instance, as the video engine does;
// pieces that come while there is no play instance are dropped, as there.
class CViewer {
public:
    // `shown` gets each shown picture's counter (the play thread).
    using Shown = std::function<void(std::uint32_t counter, double ms)>;

    // Before the member connects: the hook is set once, never changed.
    CViewer(CMember& member, Clock::time_point t0, Shown shown)
        : t0_(t0), shown_(std::move(shown)) {
        member.avBox.hook = [this](const pkinfo* p) { return OnPacket(p); };
    }
    // The member's connections must be retired first: the hook keeps
    // pointing here.
    ~CViewer() { Release(); }
    bool Open() {
        std::lock_guard<std::mutex> g(lock_);
        if (play_) return true;
        play_ = VCAST_PlayInit(0, 320, 240);
        if (!play_) return false;
        VCAST_PlaySetPictureCallback(play_, &CViewer::OnPicture, this);
        return VCAST_PlayStart(play_) != 0;
    }
    void Release() {
        vcast_play_t* play;
        {
            std::lock_guard<std::mutex> g(lock_);
            play = play_;
            play_ = nullptr;
            assembler_.Clear();
        }
        if (!play) return;
        VCAST_PlayStop(play);
        VCAST_PlayRelease(play);
    }
    // The playback thread's report of the audio it just handed out.
    void SignStamp(std::uint32_t stamp) {
        std::lock_guard<std::mutex> g(lock_);
        if (play_) VCAST_SignStamp(play_, stamp);
    }
    std::uint64_t piecesBeforePlay() const { return beforePlay_; }
    std::uint64_t unread() const { return unread_; }
    CFrameAssembler::Counts counts() {
        std::lock_guard<std::mutex> g(lock_);
        return assembler_.counts();
    }

private:
    bool OnPacket(const pkinfo* p) {
        if (p->cmd != cmd::Video_Data_Notify) return false;
        const auto m = wire::decode<msg::Video_Data_Notify>(p->body, p->length);
        if (!m.ok()) return true;
        MediaFrame piece = UnpackFrameWord(m.header_word);
        piece.stamp = m.value4;
        piece.length = static_cast<std::uint32_t>(m.frame.size());
        MediaFrame whole;
        std::vector<unsigned char> bytes;
        std::lock_guard<std::mutex> g(lock_);
        if (!play_) {
            ++beforePlay_;
            return true;
        }
        if (assembler_.Add(piece, m.frame.data(), m.frame.size(), whole, bytes) ==
            AssembleResult::kWhole)
            VCAST_IntoData(play_, &whole, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        return true;
    }
    static void OnPicture(const VcastPicture& picture, void* self) {
        auto* v = static_cast<CViewer*>(self);
        const double now = MsSince(v->t0_);
        std::uint32_t counter = 0;
        if (vcast_pattern::ReadCounter(picture, counter)) v->shown_(counter, now);
        else ++v->unread_;
    }

    const Clock::time_point t0_;
    const Shown shown_;
    std::mutex lock_;
    vcast_play_t* play_ = nullptr;
    CFrameAssembler assembler_;
    std::atomic<std::uint64_t> beforePlay_{0}, unread_{0};
};

}  // namespace vbench
