#include "audio/voice_message/play_audio.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "audio/voice_message/voice_file.h"
#include "audio/voice_message/voice_playback.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/url_encode.h"
#include "platform/sonic/sonic.h"

namespace {

constexpr unsigned kIdleWaitMs = 65535;
// Room for ".amr" and a download's temporary suffix within a file name.
constexpr std::size_t kMaxNameBytes = 200;

// A voice id from someone's chat line names a file and a URL path as it is,
// or not at all.
bool UsableName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameBytes) return false;
    if (paths::SafeComponent(name) != name) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

}  // namespace

CPlayAudio::CPlayAudio(CPlayThread& playback, PlayAudioSetup setup)
    : output_(playback), setup_(std::move(setup)), decoder_(sonic_damr()) {
    if (!decoder_) log_err("voice: no AMR decoder; voice messages will not play\r\n");
    if (Start() != 0) log_err("voice: no download thread\r\n");
}

CPlayAudio::~CPlayAudio() {
    Stop();
    while (!IsFinished()) c_thread::Stop(true, 1);
    sonic_damr_release(decoder_);
}

std::string CPlayAudio::VoiceUrl(const std::string& host, const std::string& name) {
    if (host.empty()) return {};
    return "http://" + host + "/" + url::PercentEncode(name);
}

bool CPlayAudio::Add(std::uint64_t id, const std::string& name) {
    if (!UsableName(name) || setup_.audioFolder.empty()) {
        log_msg("voice: clip %llu refused, unusable name\r\n", static_cast<unsigned long long>(id));
        return false;
    }
    VoiceEntry entry{id, name, paths::WithSlash(setup_.audioFolder) + name + ".amr"};
    std::lock_guard<std::mutex> g(entryLock_);
    known_[id] = std::move(entry);
    return true;
}

bool CPlayAudio::Play(std::uint64_t id) {
    std::lock_guard<std::mutex> order(playbackLock_);
    VoiceEntry entry;
    std::uint64_t turn = 0;
    {
        std::lock_guard<std::mutex> g(entryLock_);
        const auto it = known_.find(id);
        if (it == known_.end()) return false;
        entry = it->second;
        turn = ++turns_;
        current_ = Current{entry, turn, false};
    }
    StopPlayback();

    // Whatever is there is tried: a file that cannot be played is removed
    // by the playback, so the next click fetches it again.
    std::error_code ec;
    if (std::filesystem::exists(entry.path, ec)) {
        if (!StartPlayback(entry, turn)) EndCurrent(turn, kVoiceFailed);
        return true;
    }
    if (stopped_ || IsFinished()) {  // no download thread to fetch it
        EndCurrent(turn, kVoiceFailed);
        return true;
    }
    if (!paths::MakeDirs(paths::WithSlash(setup_.audioFolder))) {
        log_msg("voice: cannot make %s\r\n", setup_.audioFolder.c_str());
        EndCurrent(turn, kVoiceFailed);
        return true;
    }
    {
        std::lock_guard<std::mutex> g(entryLock_);
        if (current_ && current_->turn == turn) current_->downloading = true;
    }
    QueueDownload(entry);
    return true;
}

bool CPlayAudio::Busy(std::uint64_t id) const {
    std::lock_guard<std::mutex> g(entryLock_);
    return current_ && current_->entry.id == id;
}

void CPlayAudio::Clear() {
    std::lock_guard<std::mutex> order(playbackLock_);
    {
        std::lock_guard<std::mutex> g(entryLock_);
        current_.reset();
        known_.clear();
    }
    {
        // One in flight finishes on its own and, no longer current, plays nothing.
        std::lock_guard<std::mutex> g(downloadLock_);
        downloads_.clear();
    }
    StopPlayback();
}

void CPlayAudio::Stop() {
    c_thread::Stop(false, 0);
    cancel_.Cancel();
    wake_.Set();
    std::lock_guard<std::mutex> order(playbackLock_);
    stopped_ = true;
    {
        std::lock_guard<std::mutex> g(entryLock_);
        current_.reset();
    }
    {
        std::lock_guard<std::mutex> g(downloadLock_);
        downloads_.clear();
    }
    StopPlayback();
}

void CPlayAudio::StopPlayback() {
    if (!playback_) return;
    playback_->Stop();
    playback_.reset();
}

bool CPlayAudio::StartPlayback(const VoiceEntry& entry, std::uint64_t turn) {
    StopPlayback();
    if (!decoder_) return false;
    playback_ = std::make_unique<voice::CVoicePlayback>(
        output_, decoder_, entry.path, setup_.maxFileBytes,
        [this, turn](VoicePlayEnd end) { EndCurrent(turn, end); });
    if (playback_->Start()) return true;
    playback_.reset();
    return false;
}

void CPlayAudio::EndCurrent(std::uint64_t turn, VoicePlayEnd end) {
    std::uint64_t id = 0;
    {
        std::lock_guard<std::mutex> g(entryLock_);
        if (!current_ || current_->turn != turn) return;  // stopped, or another clip's now
        id = current_->entry.id;
        current_.reset();
    }
    PostMessage(setup_.window, UM_VOICE_PLAY_DONE, static_cast<std::uintptr_t>(id), end);
}

void CPlayAudio::QueueDownload(const VoiceEntry& entry) {
    {
        std::lock_guard<std::mutex> g(downloadLock_);
        // One fetch per file: a second click on a clip still downloading waits for the first.
        const bool queued = std::any_of(downloads_.begin(), downloads_.end(),
                                        [&](const VoiceEntry& d) { return d.name == entry.name; });
        if (queued || inFlight_ == entry.name) return;
        downloads_.push_back(entry);
    }
    wake_.Set();
}

bool CPlayAudio::TakeRequest(VoiceEntry& request) {
    std::lock_guard<std::mutex> g(downloadLock_);
    if (downloads_.empty()) return false;
    request = std::move(downloads_.front());
    downloads_.pop_front();
    inFlight_ = request.name;
    return true;
}

void CPlayAudio::Run() {
    while (IsRunning()) {
        VoiceEntry request;
        if (!TakeRequest(request)) {
            wake_.WaitMs(kIdleWaitMs);
            continue;
        }
        const std::string url = VoiceUrl(setup_.host ? setup_.host() : std::string(), request.name);
        int fetched = 0;
        if (url.empty())
            log_msg("voice down %s: no voice file host\r\n", request.name.c_str());
        else
            fetched = Download(url, request.path, nullptr, &cancel_);
        if (!IsRunning()) break;  // the window closes: nothing more happens
        Downloaded(request, fetched == 1);
    }
}

void CPlayAudio::Downloaded(const VoiceEntry& request, bool fetched) {
    std::string problem = fetched ? voice::DownloadProblem(request.path, setup_.maxFileBytes)
                                  : std::string("download failed");
    if (!problem.empty()) {
        log_msg("voice down %s: %s\r\n", request.name.c_str(), problem.c_str());
        // What was saved is no voice message; kept, it would fail every later click.
        std::error_code ec;
        if (fetched) std::filesystem::remove(request.path, ec);
    }

    std::lock_guard<std::mutex> order(playbackLock_);
    {
        std::lock_guard<std::mutex> g(downloadLock_);
        inFlight_.clear();
    }
    std::optional<Current> waiting;
    {
        std::lock_guard<std::mutex> g(entryLock_);
        if (current_ && current_->downloading && current_->entry.path == request.path) {
            current_->downloading = false;
            waiting = *current_;
        }
    }
    if (!waiting) return;  // another clip was clicked meanwhile: this one plays nothing
    if (problem.empty() && StartPlayback(waiting->entry, waiting->turn)) return;
    EndCurrent(waiting->turn, kVoiceFailed);
}
