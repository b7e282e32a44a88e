#include "audio/voice_message/voice_playback.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "audio/playback/play_thread.h"
#include "audio/voice_message/voice_file.h"
#include "core/log.h"
#include "formats/amr_file.h"
#include "platform/sonic/sonic.h"

namespace voice {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(1);

}  // namespace

CVoicePlayback::CVoicePlayback(CPlayThread& output, sonic_damr_t* decoder, std::string path,
                               std::size_t maxFileBytes, EndFn onEnd)
    : output_(output),
      decoder_(decoder),
      path_(std::move(path)),
      maxFileBytes_(maxFileBytes),
      onEnd_(std::move(onEnd)) {}

CVoicePlayback::~CVoicePlayback() { Stop(); }

bool CVoicePlayback::Start() {
    try {
        thread_ = std::thread(&CVoicePlayback::Run, this);
    } catch (const std::system_error&) {
        log_err("voice play %s: no thread\r\n", path_.c_str());
        return false;
    }
    return true;
}

void CVoicePlayback::Stop() {
    {
        std::lock_guard<std::mutex> g(pushLock_);
        stop_.store(true, std::memory_order_release);
    }
    if (thread_.joinable()) thread_.join();
    output_.Clear(CPlayThread::kVoiceMessage);
}

void CVoicePlayback::Run() {
    const VoicePlayEnd end = Play();
    if (!Stopped() && onEnd_) onEnd_(end);
}

// A file that cannot be played goes, so that the next click fetches it anew.
void CVoicePlayback::Fail(const char* why) {
    log_msg("voice play %s: %s; removed\r\n", path_.c_str(), why);
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

VoicePlayEnd CVoicePlayback::Play() {
    std::string file;
    switch (ReadVoiceFile(path_, maxFileBytes_, file)) {
        case FileRead::unreadable:
            Fail("cannot be read");
            return kVoiceFailed;
        case FileRead::too_large:
            Fail("over the size limit");
            return kVoiceFailed;
        case FileRead::ok:
            break;
    }
    const amr::FrameWalk walk = amr::SplitAmrFrames(file);
    if (walk.invalid > 0 || walk.truncated)
        log_msg("voice play %s: %zu invalid frame bytes skipped%s\r\n", path_.c_str(), walk.invalid,
                walk.truncated ? ", last frame cut short" : "");
    if (walk.frames.empty()) {
        Fail(walk.magic ? "no whole frame" : "not an AMR file");
        return kVoiceFailed;
    }

    output_.SetMuted(true);
    std::size_t decoded = 0;
    for (std::string_view frame : walk.frames) {
        if (Stopped()) break;
        unsigned char* pcm = nullptr;
        int pcmLength = 0;
        const auto* bytes = reinterpret_cast<const unsigned char*>(frame.data());
        const int length = static_cast<int>(frame.size());
        if (sonic_damr_decode(decoder_, bytes, length, &pcm, &pcmLength) <= 0 || pcmLength <= 0)
            continue;
        if (!Push(pcm, pcmLength)) break;
        ++decoded;
    }
    // Played to the end once the output has taken the last of it.
    while (decoded > 0 && !Stopped() && !output_.VoiceQueueEmpty())
        std::this_thread::sleep_for(kPollInterval);
    output_.SetMuted(false);

    if (decoded == 0 && !Stopped()) {
        Fail("nothing playable");
        return kVoiceFailed;
    }
    return kVoiceFinished;
}

bool CVoicePlayback::Push(const unsigned char* pcm, int length) {
    for (;;) {
        {
            std::lock_guard<std::mutex> g(pushLock_);
            if (Stopped()) return false;
            if (output_.Push(pcm, static_cast<std::size_t>(length), CPlayThread::kVoiceMessage))
                return true;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace voice
