#pragma once
// The microphone: 16-bit mono PCM at 22050 Hz, handed on in blocks of
// exactly 2048 bytes (1024 samples) however the device cuts its reads,
// each block run through the user's effects first (enhance, echo
// cancellation, noise suppression with gain control and voice detection —
// without "noise" a block passes bit for bit). Opened when the user gets a
// microphone turn and closed when it ends: nothing is captured otherwise.
//
// Lock order: the capture object's lock, then whatever Deliver takes (the
// engine's capture lock); nothing takes them the other way round.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/capture/voice_preprocessor.h"
#include "platform/wavedev/wavedev.h"

class CVcast;

class CWaveIn {
public:
    static constexpr std::size_t kBlockSamples = 1024;
    static constexpr std::size_t kBlockBytes = kBlockSamples * 2;

    explicit CWaveIn(std::shared_ptr<wavedev::IWaveBackend> backend);
    virtual ~CWaveIn();
    CWaveIn(const CWaveIn&) = delete;
    CWaveIn& operator=(const CWaveIn&) = delete;

    // True when open (or already open: nothing changes then); else false
    // with the reason in `error`.
    bool Open(int device, int rate, std::string& error);
    bool Close();
    bool IsOpen() const;
    // One block in place, with the effects as set now.
    void Process(std::int16_t* samples);
    void SetEffects(bool enhance, bool echo, bool noise);
    // What this program plays, for the echo canceller; null = none.
    void SetEchoReference(CEchoReference* reference);

    std::uint64_t Blocks() const;
    std::uint64_t Overruns() const;
    // The text for an open failure's result code.
    static const char* ErrorText(int result);

protected:
    virtual void Deliver(const unsigned char* data, std::size_t length) = 0;

private:
    void OnSamples(const std::int16_t* samples, std::size_t count);  // device thread

    std::shared_ptr<wavedev::IWaveBackend> backend_;
    mutable std::mutex lock_;  // everything below; held while a block is processed and delivered
    std::unique_ptr<wavedev::IWaveInStream> stream_;
    std::int16_t block_[kBlockSamples] = {};
    std::size_t filled_ = 0;
    bool enhance_ = false, echo_ = false, noise_ = false;
    CEchoReference* reference_ = nullptr;
    std::unique_ptr<CVoicePreprocessor> preprocessor_;
    CVoiceEnhance enhancer_;
    std::uint64_t blocks_ = 0;
    std::uint64_t overrunsBefore_ = 0;  // of streams already closed
};

// The room's microphone: blocks go to the audio engine.
class C_MIC_IN : public CWaveIn {
public:
    C_MIC_IN(std::shared_ptr<wavedev::IWaveBackend> backend, CVcast& engine)
        : CWaveIn(std::move(backend)), engine_(engine) {}
    ~C_MIC_IN() override { Close(); }

protected:
    void Deliver(const unsigned char* data, std::size_t length) override;

private:
    CVcast& engine_;
};
