#include "platform/frame_pacer.h"

#include <cerrno>
#include <ctime>

namespace {
constexpr int64_t kNsPerSecond = 1000000000;
}

void StartPacer(FramePacer& pacer, int32_t framesPerSecond, int64_t nowNs) {
    pacer.framesPerSecond = framesPerSecond > 0 ? framesPerSecond : 1;
    pacer.originNs = nowNs;
    pacer.framesSinceOrigin = 0;
}

int64_t NextFrameDueNs(FramePacer& pacer, int64_t nowNs) {
    ++pacer.framesSinceOrigin;
    // Each due time is computed from the origin, truncated to the nanosecond, so the truncation
    // never accumulates: frame 70 at 70 fps is due exactly one second after the origin.
    const int64_t dueNs =
        pacer.originNs + pacer.framesSinceOrigin * kNsPerSecond / pacer.framesPerSecond;
    const int64_t periodNs = kNsPerSecond / pacer.framesPerSecond;
    if (nowNs - dueNs > periodNs) {
        StartPacer(pacer, pacer.framesPerSecond, nowNs);
        return nowNs;
    }
    return dueNs;
}

int64_t MonotonicNowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

void SleepUntilNs(int64_t dueNs) {
    timespec due{};
    due.tv_sec = static_cast<time_t>(dueNs / kNsPerSecond);
    due.tv_nsec = static_cast<long>(dueNs % kNsPerSecond);
    // An absolute deadline: a signal that wakes the sleep early does not shift the frame.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
}
