// Cost of mixing one 20 ms block (884 frames at 44100 Hz) for growing voice counts. The target is
// 256 voices in under 0.2 ms per block, which the x_realtime counter shows as 100 or more.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sound/mix_kernels.h"
#include "sound/voice.h"

namespace {

constexpr int32_t kRateHz = 44100;
constexpr int32_t kBlockFrames = 884;
constexpr uint32_t kSampleLength = 4096;

struct LoopedSine {
    std::vector<int16_t> values;
    Sample sample{};
};

// One sine period over the whole sample, looped forward, so the loop end is crossed at every
// rate and the loop-wrap path is part of what is measured.
LoopedSine MakeLoopedSine() {
    LoopedSine sine;
    sine.values.resize(kSampleLength + kSampleGuardValues);
    const double twoPi = 6.283185307179586;
    for (uint32_t i = 0; i < kSampleLength; ++i) {
        sine.values[i] =
            static_cast<int16_t>(std::lround(16000.0 * std::sin(twoPi * i / kSampleLength)));
    }
    // Interpolation past the loop end reads the values the loop continues with.
    for (uint32_t i = 0; i < kSampleGuardValues; ++i)
        sine.values[kSampleLength + i] = sine.values[i];
    sine.sample.data = sine.values.data();
    sine.sample.length = kSampleLength;
    sine.sample.loopStart = 0;
    sine.sample.loopLength = kSampleLength;
    sine.sample.volume = 64;
    sine.sample.bits = 16;
    sine.sample.loopType = kLoopForward;
    sine.sample.panning = 128;
    return sine;
}

// Rates spread over 8000..60000 Hz by the golden ratio, so any voice count covers the range
// rather than only its low end.
int32_t FrequencyOfVoice(int32_t i) {
    const double spread = std::fmod(0.6180339887498949 * (i + 1), 1.0);
    return 8000 + static_cast<int32_t>(52000.0 * spread);
}

void StartVoices(const Sample* sample, int32_t count) {
    CreateVoicePool(kRateHz);
    for (int32_t i = 0; i < count; ++i) {
        BindVoiceSample(i, sample);
        SetVoiceFrequency(i, FrequencyOfVoice(i));
        SetVoiceVolume(i, 128 + (i * 53) % 128);
        SetVoicePanning(i, (i * 37) % 256);
    }
}

// The inner loops measured: the second argument picks them (0 scalar, 1 SSE2, 2 AVX2); a set this
// processor lacks is skipped.
bool UseKernelsOf(benchmark::State& state) {
    const MixKernels* sets[] = {&ScalarMixKernels(), Sse2MixKernels(), Avx2MixKernels()};
    const MixKernels* chosen = sets[state.range(1)];
    if (!chosen) {
        state.SkipWithError("not available on this processor");
        return false;
    }
    UseMixKernels(*chosen);
    state.SetLabel(chosen->name);
    return true;
}

void SetCounters(benchmark::State& state, int32_t voices) {
    state.SetItemsProcessed(state.iterations() * voices * kBlockFrames);
    // Seconds of audio produced per second of mixing.
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(kBlockFrames) / kRateHz, benchmark::Counter::kIsIterationInvariantRate);
}

// The buffer is cleared inside the timed loop, as the output does before every block; it is a
// 7 KB memset, small beside the mixing, and keeps the sums from drifting over millions of blocks.
void BM_MixSteady(benchmark::State& state) {
    const int32_t voices = static_cast<int32_t>(state.range(0));
    if (!UseKernelsOf(state)) return;
    const LoopedSine sine = MakeLoopedSine();
    StartVoices(&sine.sample, voices);
    std::vector<float> buffer(2 * kBlockFrames);
    // The gains set at start-up ramp in over the first block; settle them before timing.
    for (int warm = 0; warm < 4; ++warm) MixVoices(buffer.data(), VoiceList(), kBlockFrames);

    for (auto _ : state) {
        std::memset(buffer.data(), 0, buffer.size() * sizeof(float));
        MixVoices(buffer.data(), VoiceList(), kBlockFrames);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    SetCounters(state, voices);
    ReleaseVoicePool();
}

// Every voice changes volume before every block, as under a volume slide on every channel, so
// each block starts with a gain ramp. The volume calls are timed with the mix.
void BM_MixRamping(benchmark::State& state) {
    const int32_t voices = static_cast<int32_t>(state.range(0));
    if (!UseKernelsOf(state)) return;
    const LoopedSine sine = MakeLoopedSine();
    StartVoices(&sine.sample, voices);
    std::vector<float> buffer(2 * kBlockFrames);
    int32_t volume = 200;

    for (auto _ : state) {
        volume = volume == 200 ? 255 : 200;
        for (int32_t i = 0; i < voices; ++i) SetVoiceVolume(i, volume);
        std::memset(buffer.data(), 0, buffer.size() * sizeof(float));
        MixVoices(buffer.data(), VoiceList(), kBlockFrames);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    SetCounters(state, voices);
    ReleaseVoicePool();
}

}  // namespace

BENCHMARK(BM_MixSteady)->ArgsProduct({{1, 12, 64, 256}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MixRamping)->ArgsProduct({{1, 12, 64, 256}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);
