// Mouth-to-ear latency of the voice path: a speaker and a listener over
// real TCP through an in-process zeri-server, each with the program's own
// engine and devices on files. The speaker's microphone plays a WAV in real
// time (sample n is spoken at t0 + n/22050) holding a 1 kHz click every
// 500 ms; the listener's speaker consumes in real time behind a 20 ms device
// buffer. Each click heard gives ear time − mouth time. Printed: p50, p95,
// max, and what was lost on the way.
//
//   bench_voice_latency [seconds]   (default 30)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "audio/capture/wave_in.h"
#include "audio/engine/vcast.h"
#include "audio/playback/play_thread.h"
#include "bench/server/bench_support.h"
#include "net/catalogue_media.h"
#include "net/catalogue_room.h"
#include "net/fields.h"
#include "net/proxy_sinks.h"
#include "net/tlv.h"
#include "platform/relayhub/connection.h"
#include "platform/wavedev/wav_file.h"
#include "room/mic/voice_sender.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 22050;
constexpr std::uint32_t kRoom = 1001;  // free turns
constexpr std::uint32_t kSpeaker = 10004, kListener = 10005;
constexpr std::uint8_t kChatChannel = 1, kMediaChannel = 3;
constexpr int kClickEvery = kRate / 2;
constexpr int kClickLength = kRate / 10;

// The packets of one connection, waited for by command.
class CInbox : public IServerSink {
public:
    std::function<bool(const pkinfo*)> voice;  // true when it took the packet
    int OnJoin(std::uint32_t) override { return 0; }
    int OnLeave(std::uint32_t) override { return 0; }
    int OnConnect() override { return 0; }
    int OnDisconnect() override { return 0; }
    int OnError(std::uint32_t, const char*) override { return 0; }
    int OnPacket(std::uint32_t, pkinfo* p) override {
        if (!p) return 0;
        if (voice && voice(p)) return 0;
        std::lock_guard<std::mutex> g(lock_);
        got_.emplace_back(p->cmd, std::vector<unsigned char>(p->body, p->body + p->length));
        cv_.notify_all();
        return 0;
    }
    template <class Msg>
    std::optional<Msg> Wait(std::vector<unsigned char>& keep) {
        std::unique_lock<std::mutex> l(lock_);
        for (;;) {
            for (auto it = got_.begin(); it != got_.end(); ++it)
                if (it->first == Msg::id) {
                    keep = std::move(it->second);
                    got_.erase(it);
                    return wire::decode<Msg>(keep.data(), keep.size());
                }
            if (cv_.wait_for(l, std::chrono::seconds(10)) == std::cv_status::timeout) return {};
        }
    }

private:
    std::mutex lock_;
    std::condition_variable cv_;
    std::vector<std::pair<std::uint32_t, std::vector<unsigned char>>> got_;
};

template <class Msg>
bool Send(relay::CRelayConnection& c, std::uint8_t channel, const Msg& m) {
    TLV::body b;
    if (!wire::write_fields(b, m)) return false;
    const auto bytes = TLV::encode(b);
    return c.Send(channel, Msg::id, bytes.data(), bytes.size());
}

// The speaker's send path over the media connection.
class CMediaLink : public IRoomLink {
public:
    explicit CMediaLink(relay::CRelayConnection& media) : media_(media) {}
    bool sendChat(std::uint32_t, const TLV::body&) override { return false; }
    bool sendVideoService(std::uint32_t, const TLV::body&) override { return false; }
    bool sendMediaServer(std::uint32_t command, const TLV::body& body) override {
        const auto bytes = TLV::encode(body);
        return media_.Send(kMediaChannel, command, bytes.data(), bytes.size());
    }
    std::uint32_t TakeSentBytes() override { return 0; }
    std::uint32_t TakeReceivedBytes() override { return 0; }
    std::uint32_t SignalMs() override { return 0; }
    std::uint32_t MediaPending() override { return media_.Pending(kMediaChannel); }

private:
    relay::CRelayConnection& media_;
};

// One user: chat and media connections, signed in, in the room.
struct CUser {
    CInbox chatBox, mediaBox;
    std::shared_ptr<relay::CRelayConnection> chat, media;

    bool Enter(asio::io_context& io, std::uint16_t port, std::uint32_t user, const std::string& token) {
        chat = std::make_shared<relay::CRelayConnection>(io, "pc_chat", nullptr, 200, relay::Timing{});
        media = std::make_shared<relay::CRelayConnection>(io, "pc_av", nullptr, 200, relay::Timing{});
        chat->Attach(kChatChannel, &chatBox);
        media->Attach(kMediaChannel, &mediaBox);
        chat->Connect("127.0.0.1", port);
        media->Connect("127.0.0.1", port);
        msg::Control_Login_Req login;
        login.user_id = user, login.room_id = kRoom, login.token = token;
        std::vector<unsigned char> keep;
        std::optional<msg::Control_Login_Resp> r;
        for (int i = 0; i < 50 && !r; ++i) {  // until the connection is up
            Send(*chat, kChatChannel, login);
            r = chatBox.Wait<msg::Control_Login_Resp>(keep);
        }
        if (!r || !r->ok()) return false;
        msg::Mix_Login_Req mix;
        mix.user_id = user, mix.room_id = kRoom, mix.media_key = r->media_key;
        Send(*media, kMediaChannel, mix);
        const auto m = mediaBox.Wait<msg::Mix_Login_Resp>(keep);
        return m && m->ok();
    }
    void Stop() {
        if (chat) chat->Retire();
        if (media) media->Retire();
    }
};

std::vector<std::int16_t> ClickTrack(int seconds) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(seconds) * kRate, 0);
    for (std::size_t start = kClickEvery; start + kClickLength < s.size(); start += kClickEvery)
        for (int i = 0; i < kClickLength; ++i)
            s[start + i] = static_cast<std::int16_t>(16000 * std::sin(2 * M_PI * 1000 * i / kRate));
    return s;
}

// Sample positions where the level rises past the threshold after quiet.
std::vector<std::size_t> Onsets(const std::vector<std::int16_t>& s) {
    std::vector<std::size_t> out;
    std::size_t quiet = kRate;  // samples since the last loud one
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (std::abs(s[i]) > 4000) {
            if (quiet > static_cast<std::size_t>(kRate / 5)) out.push_back(i);
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return out;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5))];
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;
    std::map<std::uint32_t, std::string> tokens;
    benchsrv::Server srv(1000, [&](server::CServerDb& db) {
        for (std::uint32_t id : {kSpeaker, kListener})
            tokens[id] = db.IssueToken(id, std::time(nullptr), 86400);
    });
    const std::string dir = std::filesystem::temp_directory_path() / "zeri-bench-voice";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string wav = dir + "/clicks.wav";
    const auto clicks = ClickTrack(seconds + 2);
    std::string error;
    if (!wavedev::WriteWav(wav, {kRate, 1}, clicks, error)) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return 1;
    }

    asio::io_context io;
    auto work = asio::make_work_guard(io);
    std::thread ioThread([&] { io.run(); });
    CUser speaker, listener;
    const std::uint16_t port = srv.get().port();
    if (!speaker.Enter(io, port, kSpeaker, tokens[kSpeaker]) ||
        !listener.Enter(io, port, kListener, tokens[kListener])) {
        std::fprintf(stderr, "bench: could not enter the room\n");
        return 1;
    }

    // The listener: voice → engine → playback → a WAV consumed in real time.
    wavedev::Options outOpts;
    outOpts.outputDir = dir;
    auto outDevices = wavedev::MakeBackend(outOpts);
    CPlayThread play(outDevices, 20);
    CVcast ear(play);
    listener.mediaBox.voice = [&](const pkinfo* p) {
        VoicePacket v;
        if (!DecodeVoicePacket(p->cmd, p->body, p->length, v)) return false;
        if (v.audioLength) ear.OnAudioPacket(v.kind, v.speaker1, v.stamp, v.audio, v.audioLength);
        return true;
    };
    play.StartPlayback();
    ear.StartEngine();

    // The speaker: a free turn, the WAV as the microphone, frames sent as the room sends them.
    msg::Mix_Open_Mic_Req open;
    open.user_id = kSpeaker, open.room_id = kRoom, open.granted = 0;
    Send(*speaker.media, kMediaChannel, open);
    std::vector<unsigned char> keep;
    const auto granted = speaker.mediaBox.Wait<msg::Mix_Open_Mic_Resp>(keep);
    if (!granted || !granted->ok()) {
        std::fprintf(stderr, "bench: no free turn\n");
        return 1;
    }
    wavedev::Options inOpts;
    inOpts.inputWav = wav;
    auto inDevices = wavedev::MakeBackend(inOpts);
    CPlayThread silent(nullptr);
    CVcast mouth(silent);
    CMediaLink link(*speaker.media);
    CVoiceSender sender(link);
    mouth.SetSendCallback(&CVoiceSender::OnEncoded, &sender);
    mouth.StartEngine();
    C_MIC_IN mic(inDevices, mouth);
    sender.Start(GetTickCount());
    if (!mic.Open(-1, kRate, error)) {
        std::fprintf(stderr, "bench: microphone: %s\n", error.c_str());
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    mic.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    Clock::time_point mouth0, ear0;
    const bool timed = wavedev::FileInputStart(*inDevices, mouth0) &&
                       wavedev::FileOutputStart(*outDevices, kRate, ear0);
    mouth.StopEngine();
    ear.StopEngine();
    play.StopPlayback();
    play.CloseOutputs();
    const auto playCounts = play.counters();
    const auto earCounts = ear.counters();
    outDevices.reset();
    speaker.Stop();
    listener.Stop();
    work.reset();
    io.stop();
    ioThread.join();
    if (!timed) {
        std::fprintf(stderr, "bench: no timing from the file devices\n");
        return 1;
    }

    wavedev::WavFormat f;
    std::vector<std::int16_t> heard;
    if (!wavedev::ReadWav(dir + "/" + wavedev::OutputFileName(kRate), f, heard, error)) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return 1;
    }
    const auto spoken = Onsets(clicks);
    const auto ears = Onsets(heard);
    std::vector<double> ms;
    const double offsetMs =
        std::chrono::duration<double, std::milli>(ear0 - mouth0).count();
    for (std::size_t e : ears) {
        const double earMs = offsetMs + 1000.0 * double(e) / kRate;
        // The latest click spoken before it was heard.
        double best = -1;
        for (std::size_t m : spoken) {
            const double mouthMs = 1000.0 * double(m) / kRate;
            if (mouthMs <= earMs) best = earMs - mouthMs;
        }
        if (best >= 0 && best < 1000) ms.push_back(best);
    }
    std::printf("voice latency, mouth to ear, %zu clicks heard of %zu spoken (%u cores)\n",
                ms.size(), spoken.size(), std::thread::hardware_concurrency());
    std::printf("  p50 %.1f ms   p95 %.1f ms   max %.1f ms   (goals: p50 <= 190, p95 <= 220)\n",
                Percentile(ms, 0.5), Percentile(ms, 0.95), Percentile(ms, 1.0));
    std::printf("  frames sent %llu, skipped %llu; jitter: late %llu stale %llu overflow %llu;"
                " decoded %llu\n",
                (unsigned long long)sender.sent(), (unsigned long long)sender.skipped(),
                (unsigned long long)playCounts.jitter.late, (unsigned long long)playCounts.jitter.stale,
                (unsigned long long)playCounts.jitter.overflow,
                (unsigned long long)earCounts.decode.aacPackets);
    std::filesystem::remove_all(dir);
    return ms.empty() ? 1 : 0;
}
