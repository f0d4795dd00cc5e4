// What the capture says while it runs: a bar on a terminal, redrawn a few times a second, as wide
// as the terminal allows and never wider.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Progress {
    bool bar = false;
    int32_t columns = 80;  // of the terminal on stderr
    int64_t startNanoseconds = 0;
    int64_t drawnNanoseconds = 0;
    bool drawn = false;
};

// `bar`: draw the bar at all (stderr is a terminal and not --quiet).
void StartProgress(Progress* progress, bool bar);
// After each frame: `frames` captured of about `expectedFrames`, the scene on screen, the rate.
void UpdateProgress(Progress* progress, uint64_t frames, uint64_t expectedFrames, int32_t scene,
                    int32_t framesPerSecond);
// Clears the bar's line.
void EndProgress(Progress* progress);
double ElapsedSeconds(const Progress& progress);

// The line itself, shorter than `columns`: the time left, the bar (10 to 30 cells), the scene, the
// show time, the speed and the frame count, left out from the last when the line would not fit.
std::string FormatProgressLine(uint64_t frames, uint64_t totalFrames, int32_t scene,
                               double showSeconds, double speed, double leftSeconds,
                               int32_t columns);
