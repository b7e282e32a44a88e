// The CPU a minute of talking costs as the capture thread does it: 22050 Hz
// blocks of 1024 samples through enhance and the preprocessor (then also
// the echo canceller) and into the AAC encoder; and what a listener spends
// decoding and mixing two speakers. Printed as % of one core: CPU time over
// the audio's own duration.
//   bench_talk_cpu [seconds]

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "audio/capture/voice_preprocessor.h"
#include "audio/voice_mix.h"
#include "platform/sonic/sonic.h"

namespace {

constexpr int kRate = 22050;
constexpr int kBlock = 1024;
constexpr int kBitRate = 32000;

using Pcm = std::vector<std::int16_t>;

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Syllables on gliding pitches with short pauses, over a little room noise.
Pcm Talk(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::normal_distribution<double> room(0, 40);
    Pcm out(n);
    double phase = 0;
    for (std::size_t i = 0; i < n;) {
        const auto syllable = static_cast<std::size_t>(kRate * (0.15 + 0.15 * uniform(random)));
        const auto gap = static_cast<std::size_t>(kRate * (0.06 + 0.14 * uniform(random)));
        const double pitch = 110 + 90 * uniform(random), glide = (uniform(random) - 0.5) * 60;
        for (std::size_t k = 0; k < syllable + gap && i < n; ++k, ++i) {
            double v = 0;
            if (k < syllable) {
                const double x = double(k) / double(syllable);
                phase += 2 * std::numbers::pi * (pitch + glide * x) / kRate;
                for (int h = 1; h <= 12; ++h) v += std::sin(h * phase) / h;
                v *= 3000 * std::sin(std::numbers::pi * x);
            }
            out[i] = static_cast<std::int16_t>(std::clamp(v + room(random), -32767.0, 32767.0));
        }
    }
    return out;
}

// Blocks through the capture thread's steps; the bytes of AAC that came out.
std::size_t Capture(const Pcm& talk, const Pcm* farEnd,
                    std::vector<unsigned char>* keep = nullptr) {
    CVoiceEnhance enhance;
    CVoicePreprocessor pre(kBlock, kRate);
    CEchoReference reference;
    if (farEnd) pre.SetEcho(&reference);
    sonic_eaac_t* encoder = sonic_eaac(kRate, 1, kBitRate);
    if (!encoder || !pre.valid()) {
        std::fprintf(stderr, "no encoder or preprocessor\n");
        std::exit(1);
    }
    std::size_t bytes = 0;
    Pcm block(kBlock);
    for (std::size_t at = 0; at + kBlock <= talk.size(); at += kBlock) {
        std::copy_n(&talk[at], kBlock, block.data());
        if (farEnd) reference.Played(&(*farEnd)[at], kBlock);  // as the playback thread would
        enhance.Apply(block.data(), kBlock);
        if (farEnd) pre.CancelEcho(block.data());
        pre.Run(block.data());
        unsigned char* out = nullptr;
        const int n = sonic_eaac_encode(
            encoder, reinterpret_cast<const unsigned char*>(block.data()), kBlock * 2, &out);
        if (n > 0 && out) {
            bytes += static_cast<std::size_t>(n);
            if (keep) keep->insert(keep->end(), out, out + n);
        }
    }
    sonic_eaac_release(encoder);
    return bytes;
}

// Both speakers' streams decoded frame by frame and mixed for the listener.
std::size_t Listen(const std::vector<std::vector<unsigned char>>& streams) {
    std::vector<sonic_daac_t*> decoders;
    std::vector<std::size_t> offsets(streams.size(), 0);
    for (std::size_t s = 0; s < streams.size(); ++s) decoders.push_back(sonic_daac());
    Pcm mix(kBlock);
    std::size_t samples = 0;
    for (bool more = true; more;) {
        more = false;
        std::fill(mix.begin(), mix.end(), 0);
        for (std::size_t s = 0; s < streams.size(); ++s) {
            if (offsets[s] >= streams[s].size()) continue;
            int offered = static_cast<int>(streams[s].size() - offsets[s]);
            unsigned char* out = nullptr;
            int outLength = 0;
            const int used =
                sonic_daac_decode(decoders[s], &streams[s][offsets[s]], &offered, &out, &outLength);
            offsets[s] = used > 0 ? offsets[s] + static_cast<std::size_t>(used) : streams[s].size();
            more = true;
            const auto count =
                std::min<std::size_t>(static_cast<std::size_t>(outLength) / 2, mix.size());
            if (out)
                voice_mix::AddInto(mix.data(), reinterpret_cast<const std::int16_t*>(out), count,
                                   100);
            if (s == 0) samples += count;
        }
    }
    for (auto* d : decoders) sonic_daac_release(d);
    return samples;
}

void Report(const char* what, double cpu, double seconds) {
    std::printf("  %-44s %7.3f s CPU  %6.2f %% of one core\n", what, cpu, cpu / seconds * 100.0);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 60.0;
    if (!sonic_init()) {
        std::fprintf(stderr, "the AAC codec is missing\n");
        return 1;
    }
    const auto n = static_cast<std::size_t>(seconds * kRate);
    const Pcm talk = Talk(n, 1), farEnd = Talk(n, 2);
    std::printf("%.0f s of talk at %d Hz in blocks of %d, AAC at %d bit/s; %u cores (%ld online)\n",
                seconds, kRate, kBlock, kBitRate, std::thread::hardware_concurrency(),
                sysconf(_SC_NPROCESSORS_ONLN));

    // The preprocessing alone (without and with the echo canceller), then
    // the capture thread's whole path.
    for (const bool echo : {false, true}) {
        const double start = ThreadCpuSeconds();
        CVoiceEnhance enhance;
        CVoicePreprocessor pre(kBlock, kRate);
        CEchoReference reference;
        if (echo) pre.SetEcho(&reference);
        Pcm work = talk;
        for (std::size_t at = 0; at + kBlock <= n; at += kBlock) {
            if (echo) reference.Played(&farEnd[at], kBlock);
            enhance.Apply(&work[at], kBlock);
            if (echo) pre.CancelEcho(&work[at]);
            pre.Run(&work[at]);
        }
        Report(echo ? "enhance + echo cancellation + preprocess" : "enhance + preprocess",
               ThreadCpuSeconds() - start, seconds);
    }

    double t = ThreadCpuSeconds();
    std::vector<std::vector<unsigned char>> streams(2);
    const std::size_t bytes = Capture(talk, nullptr, &streams[0]);
    Report("talking: enhance + preprocess + encode", ThreadCpuSeconds() - t, seconds);

    t = ThreadCpuSeconds();
    Capture(talk, &farEnd);
    Report("talking with echo cancellation", ThreadCpuSeconds() - t, seconds);

    Capture(farEnd, nullptr, &streams[1]);
    t = ThreadCpuSeconds();
    const std::size_t heard = Listen(streams);
    Report("listening: decode + mix two speakers", ThreadCpuSeconds() - t, seconds);

    std::printf("  (%zu bytes of AAC per speaker, %.1f kbit/s; %zu samples decoded per speaker)\n",
                bytes, double(bytes) * 8 / seconds / 1000, heard);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  peak resident %ld KiB\n", usage.ru_maxrss);
    return 0;
}
