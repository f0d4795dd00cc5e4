// Frame pacing by the clock, standing in for a vertical blank the display does not give at the
// show's rate: frame k is due k / fps seconds after the pacer's origin.
#pragma once

#include <cstdint>

struct FramePacer {
    int32_t framesPerSecond;
    int64_t originNs;
    int64_t framesSinceOrigin;
};

void StartPacer(FramePacer& pacer, int32_t framesPerSecond, int64_t nowNs);
// The time at which the next frame is due. A pacer more than one frame behind `nowNs` restarts
// from now: after a stall (a hidden window, a slow frame) the show goes on at its pace instead of
// racing through the frames it missed.
int64_t NextFrameDueNs(FramePacer& pacer, int64_t nowNs);

int64_t MonotonicNowNs();
// Sleeps until the monotonic clock reaches `dueNs`; returns at once when it has.
void SleepUntilNs(int64_t dueNs);
