// The capture's encoding cost: the test pattern drawn, converted by
// libswscale and encoded by libx264 (ultrafast, zerolatency) at 640×360.
// "cpu_per_video_s" is CPU seconds spent per second of video: 0.15 is 15 %
// of one core, the budget. "pattern" draws only, to show what the camera
// stand-in itself takes.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/vcast/h264_encoder.h"
#include "platform/vcast/test_pattern.h"

namespace {

void Encode(benchmark::State& state) {
    av_log_set_level(AV_LOG_ERROR);
    const int fps = static_cast<int>(state.range(0));
    CH264Encoder encoder;
    if (!encoder.Open(640, 360, fps)) {
        state.SkipWithError("libx264 does not open");
        return;
    }
    VcastPicture picture;
    EncodedFrame frame;
    std::uint32_t counter = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        vcast_pattern::Draw(picture, 640, 360, counter, counter * 1000u / static_cast<unsigned>(fps));
        ++counter;
        if (!encoder.Encode(picture, false, frame)) {
            state.SkipWithError("encoding failed");
            return;
        }
        bytes += frame.bytes.size();
    }
    // One iteration is 1/fps seconds of video; the rate is taken over process CPU time.
    state.counters["cpu_per_video_s"] = benchmark::Counter(
        1.0 / fps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["kbit_per_s"] = benchmark::Counter(
        static_cast<double>(bytes) * 8.0 / 1000.0 * fps / static_cast<double>(state.iterations()));
}
BENCHMARK(Encode)->Arg(15)->Arg(25)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->MinTime(5.0);

void Pattern(benchmark::State& state) {
    VcastPicture picture;
    std::uint32_t counter = 0;
    for (auto _ : state) {
        vcast_pattern::Draw(picture, 640, 360, counter, counter * 40u);
        ++counter;
        benchmark::DoNotOptimize(picture.argb.data());
    }
}
BENCHMARK(Pattern)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
