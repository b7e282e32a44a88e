#include "platform/wavedev/file_microphone.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "core/log.h"
#include "platform/wavedev/wav_source.h"

namespace wavedev {

namespace {

// How far behind real time a slow callback may fall before samples are lost.
constexpr auto kMaxLag = std::chrono::milliseconds(500);

std::chrono::nanoseconds TimeOf(std::uint64_t frames, int rate) {
    const auto r = std::uint64_t(rate);
    return std::chrono::seconds(frames / r) + std::chrono::nanoseconds((frames % r) * 1000000000u / r);
}

}  // namespace

struct CFileMicrophone::State {
    CWavSource source;  // delivery thread only
    PcmCallback onData;
    int rate = 0;
    int channels = 1;
    std::size_t fragmentFrames = 0;
    Echo echo;
    Clock::time_point start{};
    std::atomic<std::uint64_t> overruns{0};

    std::mutex lock;
    std::condition_variable wake;
    bool stop = false;  // lock
};

std::unique_ptr<CFileMicrophone> CFileMicrophone::Open(const std::string& wav, int rate,
                                                       int channels, std::size_t fragmentBytes,
                                                       PcmCallback onData, Echo echo,
                                                       std::string& error) {
    auto state = std::make_shared<State>();
    if (!state->source.Open(wav, rate, channels, error)) return nullptr;
    state->onData = std::move(onData);
    state->rate = rate;
    state->channels = channels;
    // A hint: whole frames, between a millisecond and a second of sound.
    const std::size_t frames = fragmentBytes / (std::size_t(channels) * 2);
    state->fragmentFrames = std::clamp<std::size_t>(frames ? frames : std::size_t(rate) / 100,
                                                    std::max(1, rate / 1000), std::size_t(rate));
    state->echo = std::move(echo);
    state->start = Clock::now();
    log_msg("wavedev: microphone sample 0 taken at steady %lld us",
            static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                       state->start.time_since_epoch())
                                       .count()));
    std::unique_ptr<CFileMicrophone> mic(new CFileMicrophone(state));
    mic->thread_ = std::thread([state] { Run(state); });
    return mic;
}

CFileMicrophone::CFileMicrophone(std::shared_ptr<State> state) : state_(std::move(state)) {}

CFileMicrophone::~CFileMicrophone() {
    Close();
    if (thread_.joinable()) thread_.detach();  // destroyed by its own callback: it ends by itself
}

void CFileMicrophone::Close() {
    {
        std::lock_guard<std::mutex> lock(state_->lock);
        state_->stop = true;
    }
    state_->wake.notify_all();
    // From inside the callback the thread stops once the callback returns.
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

std::uint64_t CFileMicrophone::Overruns() const { return state_->overruns.load(); }

CFileMicrophone::Clock::time_point CFileMicrophone::start() const { return state_->start; }

void CFileMicrophone::Run(const std::shared_ptr<State>& state) {
    State& s = *state;
    const std::size_t fragment = s.fragmentFrames;
    std::vector<std::int16_t> block(fragment * std::size_t(s.channels));
    std::uint64_t taken = 0;  // frames handed over (or lost) so far
    std::unique_lock<std::mutex> lock(s.lock);
    while (!s.stop) {
        const auto due = s.start + TimeOf(taken + fragment, s.rate);
        if (s.wake.wait_until(lock, due, [&s] { return s.stop; })) break;
        lock.unlock();
        const auto late = Clock::now() - due;
        if (late > kMaxLag) {
            // Nobody took these in time: skip to the newest whole fragment.
            const auto lostFragments = std::uint64_t(late / TimeOf(fragment, s.rate));
            for (std::uint64_t i = 0; i < lostFragments; ++i) s.source.Take(block.data(), fragment);
            taken += lostFragments * fragment;
            s.overruns += lostFragments * block.size();
        }
        s.source.Take(block.data(), fragment);
        if (s.echo.tape)
            s.echo.tape->MixInto(block.data(), fragment, s.channels, s.rate,
                                 s.start + TimeOf(taken, s.rate) - s.echo.delay, s.echo.gain);
        if (s.onData) s.onData(block.data(), block.size());
        taken += fragment;
        lock.lock();
    }
}

}  // namespace wavedev
