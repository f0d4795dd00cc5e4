// Time per frame of the effects, drawn into a headless FrameBuffer:
//   build/bench/effects_bench
// Goals on a 2-core machine: the wave plane at most 80 us a frame, grain and grey 150 us, the
// captions (update and draw, with the most that the show ever has on screen at once) 30 us.
#include <benchmark/benchmark.h>

#include "director/song_clock.h"
#include "effects/captions.h"
#include "effects/colour_table.h"
#include "effects/grain.h"
#include "effects/wave_plane.h"
#include "platform/display.h"
#include "platform/headless.h"
#include "sound/module.h"

namespace {

void OpenFrame() {
    SetUpHeadless(HeadlessSetup{});
    OpenWindow();
    InitDirectDraw();
    SetVideoMode(kFrameWidth, kFrameHeight, 16);
    CreateFrameBuffer(kFrameWidth, kFrameHeight, 16);
    InitOverlayColours();
    InitWavePlane();
}

void BM_DrawWavePlane(benchmark::State& state) {
    OpenFrame();
    for (auto _ : state) {
        DrawWavePlane();
        benchmark::DoNotOptimize(FrameBuffer[0]);
    }
}
BENCHMARK(BM_DrawWavePlane)->Unit(benchmark::kMicrosecond);

void BM_ApplyGrainGrey(benchmark::State& state) {
    OpenFrame();
    DrawWavePlane();
    for (auto _ : state) {
        ApplyGrainGrey();
        benchmark::DoNotOptimize(FrameBuffer[0]);
    }
}
BENCHMARK(BM_ApplyGrainGrey)->Unit(benchmark::kMicrosecond);

void BM_Captions(benchmark::State& state) {
    OpenFrame();
    // Walks the song row by row up to the last caption's end and stops where the most captions
    // are on screen together.
    Song fake{};
    ListMakeSelfLinked(&fake);
    song = &fake;
    int32_t most = 0;
    uint32_t busiest = 0;
    for (uint32_t position = 0; position <= 0x1300; ++position) {
        fake.order.store(static_cast<int32_t>(position >> 8));
        fake.row.store(static_cast<int32_t>(position & 0xFF));
        UpdateCaptions();
        if (activeCaptionEnd > most) {
            most = activeCaptionEnd;
            busiest = position;
        }
    }
    InitOverlayColours();
    for (uint32_t position = 0; position <= busiest; ++position) {
        fake.order.store(static_cast<int32_t>(position >> 8));
        fake.row.store(static_cast<int32_t>(position & 0xFF));
        UpdateCaptions();
    }
    for (auto _ : state) {
        UpdateCaptions();
        DrawCaptions();
        benchmark::DoNotOptimize(FrameBuffer[0]);
    }
    state.counters["captions"] = activeCaptionEnd;
    song = nullptr;
}
BENCHMARK(BM_Captions)->Unit(benchmark::kMicrosecond);

}  // namespace
