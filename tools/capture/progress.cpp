#include "tools/capture/progress.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int64_t kRedrawNanoseconds = 100'000'000;
constexpr int32_t kBarCells = 30;

int64_t Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

void StartProgress(Progress* progress, bool bar) {
    *progress = Progress{};
    progress->bar = bar;
    progress->startNanoseconds = Now();
}

void UpdateProgress(Progress* progress, uint64_t frames, uint64_t expectedFrames, int32_t scene,
                    int32_t framesPerSecond) {
    if (!progress->bar) return;
    const int64_t now = Now();
    if (progress->drawn && now - progress->drawnNanoseconds < kRedrawNanoseconds) return;
    progress->drawn = true;
    progress->drawnNanoseconds = now;
    const double wall = static_cast<double>(now - progress->startNanoseconds) * 1e-9;
    const double showSeconds = static_cast<double>(frames) / framesPerSecond;
    const double speed = wall > 0 ? showSeconds / wall : 0;
    // The expected count is an estimate until the end is known; the bar never passes full.
    const uint64_t total = std::max(expectedFrames, frames);
    const double done = total ? static_cast<double>(frames) / static_cast<double>(total) : 0;
    const double left =
        speed > 0 ? static_cast<double>(total - frames) / framesPerSecond / speed : 0;
    char cells[kBarCells + 1];
    const auto full = static_cast<int32_t>(done * kBarCells);
    for (int32_t i = 0; i < kBarCells; ++i) cells[i] = i < full ? '#' : '.';
    cells[kBarCells] = '\0';
    std::fprintf(stderr, "\r[%s] %llu frames  scene %d  %.2f s  %.1fx  %d:%02d left \x1b[K", cells,
                 static_cast<unsigned long long>(frames), scene, showSeconds, speed,
                 static_cast<int>(left) / 60, static_cast<int>(left) % 60);
    std::fflush(stderr);
}

void EndProgress(Progress* progress) {
    if (progress->bar && progress->drawn) std::fputs("\r\x1b[K", stderr);
}

double ElapsedSeconds(const Progress& progress) {
    return static_cast<double>(Now() - progress.startNanoseconds) * 1e-9;
}
