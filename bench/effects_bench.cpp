// Time per frame of the effects, drawn into a headless FrameBuffer:
//   build/bench/effects_bench
// Goals on a 2-core machine: the wave plane at most 80 us a frame, grain and grey 150 us, the
// captions (update and draw, with the most that the show ever has on screen at once) 30 us, the
// mesh 100 us (at its size and tripled on a pulse), the 299 flares of the star field 400 us.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "effects/additive_mesh.h"
#include "effects/captions.h"
#include "effects/colour_table.h"
#include "effects/flare_sprite.h"
#include "effects/grain.h"
#include "effects/projection.h"
#include "effects/wave_plane.h"
#include "platform/display.h"
#include "platform/headless.h"
#include "show/mesh_motion.h"
#include "show/song_clock.h"
#include "sound/module.h"

namespace {

void OpenFrame() {
    SetUpHeadless(HeadlessSetup{});
    OpenWindow();
    InitDirectDraw();
    SetVideoMode(kFrameWidth, kFrameHeight, 16);
    CreateFrameBuffer(kFrameWidth, kFrameHeight, 16);
    BuildAngleTables();
    InitTriangleTables();
    InitOverlayColours();
    PrepareFlare();
    ResetCaptions();
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
    showSong = &fake;
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
    PrepareFlare();
    ResetCaptions();
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
    showSong = nullptr;
}
BENCHMARK(BM_Captions)->Unit(benchmark::kMicrosecond);

// Argument 0: a plain row; 1: a pulse row, the mesh three times larger.
void BM_DrawPulsingMesh(benchmark::State& state) {
    OpenFrame();
    Song fake{};
    ListMakeSelfLinked(&fake);
    showSong = &fake;
    fake.order.store(5);
    fake.row.store(state.range(0) ? 0x1D : 0x1E);
    ResetMeshMotion();
    DrawWavePlane();
    for (auto _ : state) {
        AdvanceMeshMotion();
        DrawPulsingMesh();
        benchmark::DoNotOptimize(FrameBuffer[0]);
    }
    showSong = nullptr;
}
BENCHMARK(BM_DrawPulsingMesh)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The star field's worst frame: 299 flares, spread over the screen as a cloud would be.
void BM_BlendFlares299(benchmark::State& state) {
    OpenFrame();
    int32_t positions[299];
    uint32_t seed = 9273;
    for (int32_t& p : positions) {
        seed = seed * 1664525u + 1013904223u;
        const int32_t x = static_cast<int32_t>(seed >> 8) % 272;
        const int32_t y = static_cast<int32_t>(seed >> 20) % 158;
        p = y * 320 + x;
    }
    for (auto _ : state) {
        std::fill(FrameBuffer, FrameBuffer + 64000, uint16_t{0x0843});
        for (const int32_t p : positions) BlendFlare(p);
        benchmark::DoNotOptimize(FrameBuffer[0]);
    }
}
BENCHMARK(BM_BlendFlares299)->Unit(benchmark::kMicrosecond);

}  // namespace
