// What the capture says while it runs: a bar on a terminal, redrawn a few times a second.
#pragma once

#include <cstdint>

struct Progress {
    bool bar = false;
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
