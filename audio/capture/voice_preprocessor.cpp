#include "audio/capture/voice_preprocessor.h"

#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

#include <algorithm>

namespace {

// Sizes outside these are not microphone blocks; refused rather than handed to speexdsp.
constexpr int kMinFrame = 64;
constexpr int kMaxFrame = 8192;
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 96000;

constexpr int kNoiseSuppressDb = -25;
constexpr int kSpeechProbStart = 80;
constexpr int kSpeechProbContinue = 65;
// The echo tail the canceller covers: loudspeaker, room and device buffers.
constexpr int kEchoTailMs = 200;

void Set(SpeexPreprocessState* st, int request, int value) {
    speex_preprocess_ctl(st, request, &value);
}

}  // namespace

struct CVoicePreprocessor::State {
    int frame = 0;
    int rate = 0;
    SpeexPreprocessState* pre = nullptr;
    SpeexEchoState* echo = nullptr;
    CEchoReference* reference = nullptr;
    std::vector<std::int16_t> played;
    std::vector<std::int16_t> out;

    void DropEcho() {
        if (!echo) return;
        speex_preprocess_ctl(pre, SPEEX_PREPROCESS_SET_ECHO_STATE, nullptr);
        speex_echo_state_destroy(echo);
        echo = nullptr;
        reference = nullptr;
    }
    ~State() {
        if (!pre) return;
        DropEcho();
        speex_preprocess_state_destroy(pre);
    }
};

CVoicePreprocessor::CVoicePreprocessor(int frameSamples, int rate)
    : state_(std::make_unique<State>()) {
    if (frameSamples < kMinFrame || frameSamples > kMaxFrame || rate < kMinRate || rate > kMaxRate)
        return;
    SpeexPreprocessState* st = speex_preprocess_state_init(frameSamples, rate);
    if (!st) return;
    state_->frame = frameSamples;
    state_->rate = rate;
    state_->pre = st;
    Set(st, SPEEX_PREPROCESS_SET_AGC, 1);
    Set(st, SPEEX_PREPROCESS_SET_DENOISE, 1);
    Set(st, SPEEX_PREPROCESS_SET_NOISE_SUPPRESS, kNoiseSuppressDb);
    Set(st, SPEEX_PREPROCESS_SET_VAD, 1);
    Set(st, SPEEX_PREPROCESS_SET_PROB_START, kSpeechProbStart);
    Set(st, SPEEX_PREPROCESS_SET_PROB_CONTINUE, kSpeechProbContinue);
}

CVoicePreprocessor::~CVoicePreprocessor() = default;

bool CVoicePreprocessor::valid() const { return state_->pre != nullptr; }

bool CVoicePreprocessor::Run(std::int16_t* frame) {
    if (!state_->pre || !frame) return false;
    return speex_preprocess_run(state_->pre, frame) != 0;
}

void CVoicePreprocessor::SetEcho(CEchoReference* reference) {
    State& s = *state_;
    if (!s.pre) return;
    if (!reference) {
        s.DropEcho();
        return;
    }
    if (s.echo) {
        // A new reference is a new echo path: start learning it again.
        if (reference != s.reference) speex_echo_state_reset(s.echo);
        s.reference = reference;
        return;
    }
    // The canceller's frame is the preprocessor's: the preprocessor reads the
    // canceller's residual echo spectrum bin for bin, so the two must agree.
    const int tailFrames = (s.rate * kEchoTailMs / 1000 + s.frame - 1) / s.frame;
    s.echo = speex_echo_state_init(s.frame, tailFrames * s.frame);
    if (!s.echo) return;
    speex_echo_ctl(s.echo, SPEEX_ECHO_SET_SAMPLING_RATE, &s.rate);
    speex_preprocess_ctl(s.pre, SPEEX_PREPROCESS_SET_ECHO_STATE, s.echo);
    s.reference = reference;
    s.played.assign(s.frame, 0);
    s.out.assign(s.frame, 0);
}

bool CVoicePreprocessor::echoOn() const { return state_->echo != nullptr; }

void CVoicePreprocessor::CancelEcho(std::int16_t* frame) {
    State& s = *state_;
    if (!s.echo || !s.reference || !frame) return;
    s.reference->Take(s.played.data(), s.played.size());
    speex_echo_cancellation(s.echo, frame, s.played.data(), s.out.data());
    std::copy(s.out.begin(), s.out.end(), frame);
}
