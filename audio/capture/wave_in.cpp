#include "audio/capture/wave_in.h"

#include "audio/engine/vcast.h"
#include "core/log.h"

namespace {
// How much the device hands over at a time: 20 ms, so a block is whole
// soon after its last sample was spoken.
constexpr std::size_t kFragmentBytes = 882;
}  // namespace

CWaveIn::CWaveIn(std::shared_ptr<wavedev::IWaveBackend> backend) : backend_(std::move(backend)) {}

CWaveIn::~CWaveIn() {
    // Subclasses close first (Deliver is theirs); this catches a direct owner.
    std::unique_ptr<wavedev::IWaveInStream> s;
    {
        std::lock_guard<std::mutex> g(lock_);
        s = std::move(stream_);
    }
    if (s) s->Close();
}

const char* CWaveIn::ErrorText(int result) {
    switch (result) {
        case wavedev::bad_device: return "设备ID超界";
        case wavedev::allocated: return "指定的资源已被分配";
        case wavedev::no_driver: return "没有安装驱动程序";
        case wavedev::no_memory: return "不能分配或锁定内存";
        case wavedev::bad_format: return "设备不支持请求的波形格式";
        case wavedev::invalid_handle: return "设备句柄无效";
        case wavedev::in_use: return "设备已被另一线程使用";
        default: return "未知错误";
    }
}

bool CWaveIn::Open(int device, int rate, std::string& error) {
    error.clear();
    {
        std::lock_guard<std::mutex> g(lock_);
        if (stream_) return true;
        filled_ = 0;
        // Made before the device starts, so the first block finds it.
        preprocessor_ = std::make_unique<CVoicePreprocessor>(static_cast<int>(kBlockSamples), rate);
        if (!preprocessor_->valid()) preprocessor_.reset();
        if (preprocessor_) preprocessor_->SetEcho(echo_ ? reference_ : nullptr);
        enhancer_ = CVoiceEnhance(5);
    }
    if (!backend_) {
        error = ErrorText(wavedev::no_driver);
        return false;
    }
    int result = wavedev::ok;
    auto stream = backend_->OpenIn(
        device, rate, 1, kFragmentBytes,
        [this](const std::int16_t* samples, std::size_t count) { OnSamples(samples, count); },
        result);
    std::lock_guard<std::mutex> g(lock_);
    if (!stream) {
        error = ErrorText(result == wavedev::ok ? wavedev::other : result);
        preprocessor_.reset();
        return false;
    }
    stream_ = std::move(stream);
    return true;
}

bool CWaveIn::Close() {
    std::unique_ptr<wavedev::IWaveInStream> s;
    {
        std::lock_guard<std::mutex> g(lock_);
        s = std::move(stream_);
    }
    // Closed outside the lock: the device's thread may be waiting for it
    // with a block; once Close returns no block arrives.
    if (s) {
        s->Close();
        std::lock_guard<std::mutex> g(lock_);
        overrunsBefore_ += s->Overruns();
        preprocessor_.reset();
        filled_ = 0;
    }
    return true;
}

bool CWaveIn::IsOpen() const {
    std::lock_guard<std::mutex> g(lock_);
    return stream_ != nullptr;
}

void CWaveIn::SetEffects(bool enhance, bool echo, bool noise) {
    std::lock_guard<std::mutex> g(lock_);
    enhance_ = enhance;
    noise_ = noise;
    if (echo != echo_ && preprocessor_) preprocessor_->SetEcho(echo ? reference_ : nullptr);
    echo_ = echo;
}

void CWaveIn::SetEchoReference(CEchoReference* reference) {
    std::lock_guard<std::mutex> g(lock_);
    reference_ = reference;
    if (preprocessor_) preprocessor_->SetEcho(echo_ ? reference_ : nullptr);
}

void CWaveIn::Process(std::int16_t* samples) {
    if (!preprocessor_) return;
    if (enhance_) enhancer_.Apply(samples, kBlockSamples);
    if (echo_ && reference_) preprocessor_->CancelEcho(samples);
    if (noise_) preprocessor_->Run(samples);
}

void CWaveIn::OnSamples(const std::int16_t* samples, std::size_t count) {
    std::lock_guard<std::mutex> g(lock_);
    if (!stream_ && !preprocessor_) return;  // closing
    while (count > 0) {
        const std::size_t take = std::min(count, kBlockSamples - filled_);
        std::copy(samples, samples + take, block_ + filled_);
        filled_ += take;
        samples += take;
        count -= take;
        if (filled_ < kBlockSamples) break;
        filled_ = 0;
        Process(block_);
        ++blocks_;
        Deliver(reinterpret_cast<const unsigned char*>(block_), kBlockBytes);
    }
}

std::uint64_t CWaveIn::Blocks() const {
    std::lock_guard<std::mutex> g(lock_);
    return blocks_;
}

std::uint64_t CWaveIn::Overruns() const {
    std::lock_guard<std::mutex> g(lock_);
    return overrunsBefore_ + (stream_ ? stream_->Overruns() : 0);
}

void C_MIC_IN::Deliver(const unsigned char* data, std::size_t length) {
    engine_.OnMicPcm(data, length);
}
