#include "platform/wavedev/wav_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "core/files.h"

namespace wavedev {

namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;
// A file of nothing but tiny chunks is not worth walking to its end.
constexpr int kMaxChunks = 4096;
constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

std::uint16_t Le16(const unsigned char* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
void Put16(unsigned char* p, std::uint16_t v) {
    p[0] = std::uint8_t(v), p[1] = std::uint8_t(v >> 8);
}
void Put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

void SwapIfBigEndian(std::int16_t* samples, std::size_t count) {
    if constexpr (std::endian::native == std::endian::big)
        for (std::size_t i = 0; i < count; ++i)
            samples[i] = std::int16_t(std::uint16_t(samples[i]) >> 8 | std::uint16_t(samples[i]) << 8);
    (void)samples, (void)count;
}

void Header(unsigned char* h, int rate, int channels, std::uint64_t dataBytes) {
    const auto blockAlign = std::uint16_t(channels * 2);
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, std::uint32_t(36 + dataBytes));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, kFormatPcm);
    Put16(h + 22, std::uint16_t(channels));
    Put32(h + 24, std::uint32_t(rate));
    Put32(h + 28, std::uint32_t(rate) * blockAlign);
    Put16(h + 32, blockAlign);
    Put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, std::uint32_t(dataBytes));
}

// Checks a fmt chunk's first `n` bytes; empty when playable.
std::string CheckFormat(const unsigned char* f, std::size_t n, WavFormat& format) {
    std::uint16_t tag = Le16(f);
    if (tag == kFormatExtensible) {
        if (n < 40) return "extensible fmt chunk too short";
        tag = Le16(f + 24);  // the sub-format's first two bytes
    }
    if (tag != kFormatPcm) return "not PCM (format " + std::to_string(tag) + ")";
    const int channels = Le16(f + 2);
    const std::uint32_t rate = Le32(f + 4);
    const int blockAlign = Le16(f + 12);
    const int bits = Le16(f + 14);
    if (bits != 16) return "only 16-bit samples are played (this file has " + std::to_string(bits) + ")";
    if (channels < 1 || channels > kWavMaxChannels)
        return "unsupported channel count " + std::to_string(channels);
    if (rate < std::uint32_t(kWavMinRate) || rate > std::uint32_t(kWavMaxRate))
        return "unsupported sample rate " + std::to_string(rate);
    if (blockAlign != channels * 2) return "inconsistent block size " + std::to_string(blockAlign);
    format.rate = int(rate);
    format.channels = channels;
    return {};
}

}  // namespace

// --- reader ---------------------------------------------------------------------------

CWavReader::~CWavReader() { Close(); }

void CWavReader::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    format_ = {};
    frames_ = left_ = 0;
}

bool CWavReader::Open(const std::string& path, std::string& error) {
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    const auto fail = [&](std::string why) {
        error = std::move(why);
        Close();
        return false;
    };
    if (fseeko(file_, 0, SEEK_END) != 0) return fail("cannot seek");
    const off_t end = ftello(file_);
    if (end < 0 || fseeko(file_, 0, SEEK_SET) != 0) return fail("cannot seek");
    const auto size = static_cast<std::uint64_t>(end);

    unsigned char riff[12];
    if (std::fread(riff, 1, 12, file_) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return fail("not a RIFF WAVE file");

    bool haveFormat = false, haveData = false;
    std::string formatError;
    std::uint64_t dataAt = 0, dataBytes = 0;
    std::uint64_t at = 12;
    for (int chunks = 0; at + 8 <= size && !(haveFormat && haveData); ++chunks) {
        if (chunks == kMaxChunks) return fail("too many chunks before the samples");
        unsigned char head[8];
        if (fseeko(file_, off_t(at), SEEK_SET) != 0 || std::fread(head, 1, 8, file_) != 8)
            return fail("cannot read chunk header");
        const std::uint32_t length = Le32(head + 4);
        const std::uint64_t body = at + 8;
        if (std::memcmp(head, "fmt ", 4) == 0 && !haveFormat) {
            if (length < 16) return fail("fmt chunk too short");
            unsigned char f[40] = {};
            const std::size_t n = std::min<std::size_t>(length, sizeof f);
            if (std::fread(f, 1, n, file_) != n) return fail("truncated fmt chunk");
            formatError = CheckFormat(f, n, format_);
            if (!formatError.empty()) return fail(formatError);
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0 && !haveData) {
            dataAt = body;
            dataBytes = std::min<std::uint64_t>(length, size - body);  // truncated: what is there
            haveData = true;
        }
        at = body + length + (length & 1);
    }
    if (!haveFormat) return fail("no fmt chunk");
    if (!haveData) return fail("no data chunk");
    if (fseeko(file_, off_t(dataAt), SEEK_SET) != 0) return fail("cannot seek to the samples");
    frames_ = left_ = dataBytes / std::uint64_t(format_.channels * 2);
    return true;
}

std::size_t CWavReader::Read(std::int16_t* out, std::size_t frames) {
    if (!file_ || !out) return 0;
    const std::size_t want = std::size_t(std::min<std::uint64_t>(frames, left_));
    if (want == 0) return 0;
    const std::size_t got = std::fread(out, std::size_t(format_.channels) * 2, want, file_);
    SwapIfBigEndian(out, got * std::size_t(format_.channels));
    left_ = got < want ? 0 : left_ - got;  // a read error ends the file
    return got;
}

// --- writer ---------------------------------------------------------------------------

CWavWriter::~CWavWriter() { Close(); }

bool CWavWriter::Create(const std::string& path, int rate, int channels, std::string& error) {
    Close();
    if (rate < kWavMinRate || rate > kWavMaxRate || channels < 1 || channels > kWavMaxChannels) {
        error = "unsupported format";
        return false;
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = std::string("cannot create: ") + std::strerror(errno);
        return false;
    }
    channels_ = channels;
    frames_ = 0;
    failed_ = false;
    unsigned char h[kHeaderBytes];
    Header(h, rate, channels, 0);
    if (std::fwrite(h, 1, kHeaderBytes, file_) != kHeaderBytes || std::fflush(file_) != 0) {
        error = std::string("cannot write: ") + std::strerror(errno);
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    rate_ = rate;
    return true;
}

bool CWavWriter::Write(const std::int16_t* samples, std::size_t frames) {
    if (!file_ || failed_) return false;
    const std::uint64_t frameBytes = std::uint64_t(channels_) * 2;
    const std::uint64_t room = kMaxDataBytes / frameBytes - frames_;
    const std::size_t n = std::size_t(std::min<std::uint64_t>(frames, room));
    std::size_t written = 0;
    if constexpr (std::endian::native == std::endian::little) {
        written = n ? std::fwrite(samples, std::size_t(frameBytes), n, file_) : 0;
    } else {
        std::vector<std::int16_t> copy(samples, samples + n * std::size_t(channels_));
        SwapIfBigEndian(copy.data(), copy.size());
        written = n ? std::fwrite(copy.data(), std::size_t(frameBytes), n, file_) : 0;
    }
    frames_ += written;
    if (written < n) failed_ = true;
    return written == frames;
}

bool CWavWriter::UpdateHeader() {
    if (!file_) return false;
    unsigned char h[kHeaderBytes];
    Header(h, rate_, channels_, frames_ * std::uint64_t(channels_) * 2);
    const bool done = std::fflush(file_) == 0 && fseeko(file_, 0, SEEK_SET) == 0 &&
                      std::fwrite(h, 1, kHeaderBytes, file_) == kHeaderBytes &&
                      fseeko(file_, 0, SEEK_END) == 0 && std::fflush(file_) == 0;
    if (!done) failed_ = true;
    return done;
}

bool CWavWriter::Close() {
    if (!file_) return false;
    const bool updated = UpdateHeader();
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return updated && closed && !failed_;
}

// --- whole files ----------------------------------------------------------------------

bool ReadWav(const std::string& path, WavFormat& format, std::vector<std::int16_t>& samples,
             std::string& error) {
    CWavReader reader;
    if (!reader.Open(path, error)) return false;
    format = reader.format();
    const auto channels = std::size_t(format.channels);
    samples.resize(std::size_t(reader.frames()) * channels);
    samples.resize(reader.Read(samples.data(), std::size_t(reader.frames())) * channels);
    return true;
}

bool WriteWav(const std::string& path, const WavFormat& format,
              const std::vector<std::int16_t>& samples, std::string& error) {
    if (format.rate < kWavMinRate || format.rate > kWavMaxRate || format.channels < 1 ||
        format.channels > kWavMaxChannels || samples.size() * 2 > kMaxDataBytes) {
        error = "unsupported format";
        return false;
    }
    const std::size_t frames = samples.size() / std::size_t(format.channels);
    const std::size_t bytes = frames * std::size_t(format.channels) * 2;
    std::string data(kHeaderBytes + bytes, '\0');
    auto* p = reinterpret_cast<unsigned char*>(data.data());
    Header(p, format.rate, format.channels, bytes);
    for (std::size_t i = 0; i < bytes / 2; ++i) Put16(p + kHeaderBytes + 2 * i, std::uint16_t(samples[i]));
    if (!files::WriteFileAtomic(path, data)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace wavedev
