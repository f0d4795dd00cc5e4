#include "tools/capture/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "tools/terminal_width.h"

namespace {

constexpr int64_t kRedrawNanoseconds = 100'000'000;
constexpr size_t kMinBarCells = 10;
constexpr size_t kMaxBarCells = 30;
constexpr size_t kFieldCount = 6;
constexpr size_t kBarField = 0;
constexpr char kGap[] = "  ";

int64_t Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

std::string FormatProgressLine(uint64_t frames, uint64_t totalFrames, int32_t scene,
                               double showSeconds, double speed, double leftSeconds,
                               int32_t columns) {
    char text[4][48];
    std::snprintf(text[0], sizeof text[0], "%llu frames", static_cast<unsigned long long>(frames));
    std::snprintf(text[1], sizeof text[1], "scene %d", scene);
    std::snprintf(text[2], sizeof text[2], "%.2f s", showSeconds);
    std::snprintf(text[3], sizeof text[3], "%.1fx", speed);
    char left[32];
    std::snprintf(left, sizeof left, "%d:%02d left", static_cast<int>(leftSeconds) / 60,
                  static_cast<int>(leftSeconds) % 60);
    // In the order shown, each with its rank (0 the last to go); the bar is sized at the end.
    const std::pair<std::string, size_t> fields[kFieldCount] = {
        {"", 1},          {text[0], 5}, {text[1], 2}, {text[2], 3},
        {text[3], 4},     {left, 0},
    };
    const size_t room = static_cast<size_t>(std::max(columns - 1, 0));
    bool shown[kFieldCount] = {};
    size_t used = 0;
    bool full = false;
    for (size_t rank = 0; rank < kFieldCount && !full; ++rank) {
        for (size_t i = 0; i < kFieldCount; ++i) {
            if (fields[i].second != rank) continue;
            const size_t width = i == kBarField ? kMinBarCells + 2 : fields[i].first.size();
            const size_t cost = width + (used ? sizeof kGap - 1 : 0);
            full = used + cost > room;
            if (!full) {
                shown[i] = true;
                used += cost;
            }
        }
    }
    const size_t cells = std::min(kMaxBarCells, kMinBarCells + (room - used));
    // The expected count is an estimate until the end is known; the bar never passes full.
    const uint64_t total = std::max(totalFrames, frames);
    const double done = total ? static_cast<double>(frames) / static_cast<double>(total) : 0;
    const auto lit = static_cast<size_t>(done * static_cast<double>(cells));
    std::string line;
    for (size_t i = 0; i < kFieldCount; ++i) {
        if (!shown[i]) continue;
        if (!line.empty()) line += kGap;
        if (i == kBarField) {
            line += "[" + std::string(lit, '#') + std::string(cells - lit, '.') + "]";
        } else {
            line += fields[i].first;
        }
    }
    return line;
}

void StartProgress(Progress* progress, bool bar) {
    *progress = Progress{};
    progress->bar = bar;
    progress->startNanoseconds = Now();
    if (bar) {
        progress->columns = TerminalColumns(STDERR_FILENO);
        WatchTerminalWidth();
    }
}

void UpdateProgress(Progress* progress, uint64_t frames, uint64_t expectedFrames, int32_t scene,
                    int32_t framesPerSecond) {
    if (!progress->bar) return;
    const int64_t now = Now();
    const bool resized = TerminalWidthChanged();
    if (resized) progress->columns = TerminalColumns(STDERR_FILENO);
    if (progress->drawn && !resized && now - progress->drawnNanoseconds < kRedrawNanoseconds) {
        return;
    }
    progress->drawn = true;
    progress->drawnNanoseconds = now;
    const double wall = static_cast<double>(now - progress->startNanoseconds) * 1e-9;
    const double showSeconds = static_cast<double>(frames) / framesPerSecond;
    const double speed = wall > 0 ? showSeconds / wall : 0;
    const uint64_t total = std::max(expectedFrames, frames);
    const double left =
        speed > 0 ? static_cast<double>(total - frames) / framesPerSecond / speed : 0;
    const std::string line =
        FormatProgressLine(frames, expectedFrames, scene, showSeconds, speed, left,
                           progress->columns);
    std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
    std::fflush(stderr);
}

void EndProgress(Progress* progress) {
    if (progress->bar && progress->drawn) std::fputs("\r\x1b[K", stderr);
}

double ElapsedSeconds(const Progress& progress) {
    return static_cast<double>(Now() - progress.startNanoseconds) * 1e-9;
}
