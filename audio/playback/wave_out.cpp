#include "audio/playback/wave_out.h"

#include "core/log.h"

CWaveOut::CWaveOut(std::shared_ptr<wavedev::IWaveBackend> backend, int rate, int bufferMs,
                   std::string name)
    : backend_(std::move(backend)), rate_(rate), bufferMs_(bufferMs), name_(std::move(name)) {}

CWaveOut::~CWaveOut() { Close(); }

void CWaveOut::SetDevice(int index) {
    std::lock_guard<std::mutex> g(lock_);
    device_ = index;
}

int CWaveOut::Device() const {
    std::lock_guard<std::mutex> g(lock_);
    return device_;
}

const char* CWaveOut::ErrorText(int result) {
    switch (result) {
        case wavedev::bad_device: return "装置ID超出范围";
        case wavedev::allocated: return "表示资源已存在";
        case wavedev::no_driver: return "没有驱动";
        case wavedev::no_memory: return "不能分配内存";
        case wavedev::bad_format: return "企图打开一个不被支持的格式";
        case 35: return "装置是可同步的，但waveOutOpen没用有WAVE_ALLOWSYNC呼叫。";
        default: return "未知错误";
    }
}

bool CWaveOut::EnsureOpen(std::uint32_t nowMs) {
    std::lock_guard<std::mutex> g(lock_);
    if (stream_) return true;
    if (!backend_) return false;
    if (tried_ && static_cast<std::int32_t>(nowMs - nextTryMs_) < 0) return false;
    tried_ = true;
    nextTryMs_ = nowMs + kRetryMs;
    const std::size_t bufferBytes =
        static_cast<std::size_t>(rate_) * 2 * static_cast<std::size_t>(bufferMs_) / 1000;
    int result = wavedev::ok;
    stream_ = backend_->OpenOut(device_, rate_, 1, bufferBytes,
                                [this] {
                                    if (onWritable_) onWritable_();
                                },
                                result);
    if (stream_) {
        if (failing_) log_msg("%s output open again\r\n", name_.c_str());
        failing_ = false;
        return true;
    }
    if (!failing_) log_msg("%s output: %s\r\n", name_.c_str(), ErrorText(result));
    failing_ = true;
    return false;
}

std::size_t CWaveOut::Writable() {
    std::lock_guard<std::mutex> g(lock_);
    return stream_ ? stream_->Writable() : 0;
}

std::uint64_t CWaveOut::QueuedUs() {
    std::lock_guard<std::mutex> g(lock_);
    return stream_ ? stream_->QueuedUs() : 0;
}

std::size_t CWaveOut::Write(const void* data, std::size_t length) {
    std::lock_guard<std::mutex> g(lock_);
    if (!stream_) return length;
    const long n = stream_->Write(data, length);
    if (n >= 0) return static_cast<std::size_t>(n);
    // A failed stream is closed; the next write opens it again.
    log_msg("%s output failed; reopening\r\n", name_.c_str());
    stream_->Close();
    stream_.reset();
    return length;
}

void CWaveOut::Close() {
    std::unique_ptr<wavedev::IWaveOutStream> s;
    {
        std::lock_guard<std::mutex> g(lock_);
        s = std::move(stream_);
        tried_ = false;
        failing_ = false;
    }
    // Closed outside the lock: the device's thread may be in the writable callback.
    if (s) s->Close();
}

bool CWaveOut::IsOpen() const {
    std::lock_guard<std::mutex> g(lock_);
    return stream_ != nullptr;
}
