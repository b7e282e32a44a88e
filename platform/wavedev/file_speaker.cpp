#include "platform/wavedev/file_speaker.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"

namespace wavedev {

namespace {

constexpr auto kStep = std::chrono::milliseconds(10);
constexpr auto kHeaderEvery = std::chrono::seconds(1);

long long SteadyUs(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

}  // namespace

// A stream is a slot of its speaker; every call goes through the speaker's lock.
class CFileOutStream : public IWaveOutStream {
public:
    CFileOutStream(std::shared_ptr<CFileSpeaker> speaker, std::shared_ptr<CFileSpeaker::Slot> slot)
        : speaker_(std::move(speaker)), slot_(std::move(slot)) {}
    ~CFileOutStream() override { Close(); }
    std::size_t Writable() override { return speaker_->Writable(*slot_); }
    long Write(const void* data, std::size_t length) override {
        return speaker_->Write(*slot_, data, length);
    }
    std::uint64_t QueuedUs() override { return speaker_->QueuedUs(*slot_); }
    void Close() override { speaker_->Close(*slot_); }
    std::uint64_t Underruns() const override { return speaker_->Underruns(*slot_); }

private:
    std::shared_ptr<CFileSpeaker> speaker_;
    std::shared_ptr<CFileSpeaker::Slot> slot_;
};

CFileSpeaker::CFileSpeaker(int rate, int channels, std::string path,
                           std::shared_ptr<CEchoTape> tape,
                           std::shared_ptr<const CPlaybackLevel> level)
    : rate_(rate), channels_(channels), path_(std::move(path)), tape_(std::move(tape)),
      level_(std::move(level)) {}

CFileSpeaker::~CFileSpeaker() { Stop(); }

bool CFileSpeaker::Start(std::string& error) {
    if (!path_.empty() && !writer_.Create(path_, rate_, channels_, error)) return false;
    start_ = headerAt_ = Clock::now();
    if (tape_) tape_->Start(start_);
    if (!path_.empty())
        log_msg("wavedev: %s sample 0 heard at steady %lld us", path_.c_str(), SteadyUs(start_));
    thread_ = std::thread([this] { Run(); });
    pacer_ = thread_.get_id();
    return true;
}

void CFileSpeaker::Stop() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (stopping_) return;
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        if (pacer_ == std::this_thread::get_id())
            thread_.detach();  // only when a callback drops the backend; it is not used again
        else
            thread_.join();
    }
    std::lock_guard<std::mutex> lock(lock_);
    stopped_ = true;
    slots_.clear();
}

std::unique_ptr<IWaveOutStream> CFileSpeaker::Open(int channels, std::size_t bufferBytes,
                                                   WritableCallback onWritable) {
    auto slot = std::make_shared<Slot>();
    slot->channels = channels;
    const std::size_t frameBytes = std::size_t(channels) * 2;
    slot->capacity = std::max(bufferBytes / frameBytes, std::size_t(1)) * frameBytes;
    slot->onWritable = std::move(onWritable);
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (stopping_) return nullptr;
        slots_.push_back(slot);
    }
    wake_.notify_all();
    // The stream keeps the speaker (not the other way round) so that a
    // stream outliving its backend only fails its writes.
    return std::make_unique<CFileOutStream>(shared_from_this(), slot);
}

void CFileSpeaker::Run() {
    std::unique_lock<std::mutex> lock(lock_);
    while (!stopping_) {
        if (slots_.empty()) {
            wake_.wait(lock, [this] { return stopping_ || !slots_.empty(); });
            continue;
        }
        PlayUntil(Clock::now(), lock);
        Notify(lock);
        wake_.wait_for(lock, kStep, [this] { return stopping_; });
    }
    PlayUntil(Clock::now(), lock);  // the file ends when the device stopped
    lock.unlock();
    if (writer_.open() && !writer_.Close())
        log_err("wavedev: %s may be incomplete (write error)", path_.c_str());
}

std::uint64_t CFileSpeaker::FrameAt(Clock::time_point t) const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(t - start_).count();
    if (elapsed <= 0) return 0;
    const auto r = std::uint64_t(rate_);
    return std::uint64_t(elapsed) / 1000000000u * r + std::uint64_t(elapsed) % 1000000000u * r / 1000000000u;
}

void CFileSpeaker::PlayUntil(Clock::time_point now, std::unique_lock<std::mutex>& lock) {
    const std::uint64_t due = FrameAt(now);
    while (played_ < due) {
        // At most a second at a time, the file written without the lock.
        const std::size_t frames = std::size_t(std::min<std::uint64_t>(due - played_, std::uint64_t(rate_)));
        MixStep(frames);
        played_ += frames;
        lock.unlock();
        if (writer_.open() && !writeFailed_ && !writer_.Write(mix_.data(), frames)) {
            writeFailed_ = true;
            log_err("wavedev: cannot write %s any more; the rest is discarded", path_.c_str());
        }
        if (tape_) tape_->Record(mix_.data(), frames, channels_);
        const auto t = Clock::now();
        if (writer_.open() && t - headerAt_ >= kHeaderEvery) {
            writer_.UpdateHeader();
            headerAt_ = t;
        }
        lock.lock();
    }
}

void CFileSpeaker::MixStep(std::size_t frames) {
    const auto out = std::size_t(channels_);
    std::vector<int> acc(frames * out, 0);
    for (const auto& slotPtr : slots_) {
        Slot& s = *slotPtr;
        const auto in = std::size_t(s.channels);
        // Data written while this step was under way starts where it was written.
        const std::size_t offset =
            s.earliest > played_ ? std::size_t(std::min<std::uint64_t>(s.earliest - played_, frames)) : 0;
        const std::size_t room = frames - offset;
        const std::size_t take = std::min(room, s.queue.Size() / (in * 2));
        s.scratch.resize(take * in);
        for (std::size_t done = 0; done < take * in * 2;) {
            const std::size_t piece = std::min<std::size_t>(take * in * 2 - done, 4096);
            std::memcpy(reinterpret_cast<unsigned char*>(s.scratch.data()) + done, s.queue.Peek(piece), piece);
            s.queue.Consume(piece);
            done += piece;
        }
        for (std::size_t f = 0; f < take; ++f) {
            const std::int16_t* from = s.scratch.data() + f * in;
            int* to = acc.data() + (offset + f) * out;
            for (std::size_t c = 0; c < out; ++c)
                // Same channels: as is; mono: to every channel; to mono: the mean of the first two.
                to[c] += in == 1 ? from[0] : out == 1 ? (from[0] + from[1]) / 2 : from[std::min(c, in - 1)];
        }
        if (take < room && s.written && !s.dry) {
            ++s.underruns;
            s.dry = true;
        } else if (take == room && room > 0) {
            s.dry = false;
        }
        if (take > 0) s.notify = true;
    }
    mix_.resize(acc.size());
    for (std::size_t i = 0; i < acc.size(); ++i) mix_[i] = std::int16_t(std::clamp(acc[i], -32768, 32767));
}

void CFileSpeaker::Notify(std::unique_lock<std::mutex>& lock) {
    std::vector<std::shared_ptr<Slot>> due;
    for (const auto& s : slots_)
        if (s->notify && s->onWritable && s->queue.Size() < s->capacity) {
            s->notify = false;
            ++s->calls;
            due.push_back(s);
        }
    if (due.empty()) return;
    lock.unlock();
    for (const auto& s : due)
        if (!s->closed.load()) s->onWritable();
    lock.lock();
    for (const auto& s : due) --s->calls;
    callsDone_.notify_all();
}

std::size_t CFileSpeaker::Writable(Slot& slot) {
    std::lock_guard<std::mutex> lock(lock_);
    if (stopped_ || slot.closed) return 0;
    const std::size_t frameBytes = std::size_t(slot.channels) * 2;
    return (slot.capacity - slot.queue.Size()) / frameBytes * frameBytes;
}

long CFileSpeaker::Write(Slot& slot, const void* data, std::size_t length) {
    std::lock_guard<std::mutex> lock(lock_);
    if (stopped_ || stopping_ || slot.closed) return -1;
    if (!data || length == 0) return 0;
    const std::size_t frameBytes = std::size_t(slot.channels) * 2;
    const std::size_t bytes = std::min(length, slot.capacity - slot.queue.Size()) / frameBytes * frameBytes;
    if (bytes == 0) return 0;
    slot.scratch.resize(bytes / 2);
    std::memcpy(slot.scratch.data(), data, bytes);
    level_->Apply(slot.scratch.data(), slot.scratch.size());
    if (slot.queue.Size() == 0) slot.earliest = FrameAt(Clock::now());
    slot.queue.Append(slot.scratch.data(), long(bytes));
    slot.written = true;
    return long(bytes);
}

std::uint64_t CFileSpeaker::QueuedUs(Slot& slot) {
    std::lock_guard<std::mutex> lock(lock_);
    if (stopped_ || slot.closed) return 0;
    const std::uint64_t frames =
        std::max(played_, slot.earliest) + slot.queue.Size() / (std::size_t(slot.channels) * 2);
    const auto heardAt = start_ + std::chrono::microseconds(frames * 1000000 / std::uint64_t(rate_));
    const auto left = heardAt - Clock::now();
    return left.count() > 0 ? std::uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(left).count())
                            : 0;
}

void CFileSpeaker::Close(Slot& slot) {
    std::unique_lock<std::mutex> lock(lock_);
    if (slot.closed) return;
    slot.closed = true;
    std::erase_if(slots_, [&slot](const std::shared_ptr<Slot>& s) { return s.get() == &slot; });
    // A callback of this stream may be running; from inside it (the pacing
    // thread) it is the caller, otherwise wait for it to return.
    if (std::this_thread::get_id() != pacer_)
        callsDone_.wait(lock, [&slot] { return slot.calls == 0; });
}

std::uint64_t CFileSpeaker::Underruns(Slot& slot) {
    std::lock_guard<std::mutex> lock(lock_);
    return slot.underruns;
}

}  // namespace wavedev
