// Due times of the frame timer, with the clock given as data.
#include <gtest/gtest.h>

#include <vector>

#include "platform/display.h"
#include "platform/frame_pacer.h"

namespace {

TEST(FramePacer, AtTheShowsRateFrameKIsDueKSeventiethsOfASecondAfterTheOrigin) {
    static_assert(kShowFramesPerSecond == 70, "the due times below are in seventieths of a second");
    FramePacer pacer;
    const int64_t origin = 5'000'000'000;
    StartPacer(pacer, kShowFramesPerSecond, origin);
    std::vector<int64_t> due;
    for (int k = 1; k <= kShowFramesPerSecond; ++k) {
        due.push_back(NextFrameDueNs(pacer, origin) - origin);
    }
    EXPECT_EQ(due[0], 14'285'714);   // 1/70 s, truncated to the nanosecond
    EXPECT_EQ(due[1], 28'571'428);
    EXPECT_EQ(due[2], 42'857'142);
    EXPECT_EQ(due[6], 100'000'000);
    EXPECT_EQ(due[69], 1'000'000'000) << "no drift over a second";
}

struct PaceStep {
    int64_t nowNs;     // the clock when the frame asks
    int64_t dueNs;     // when it is due
};

TEST(FramePacer, AFrameLateByMoreThanAPeriodRestartsThePaceFromNow) {
    FramePacer pacer;
    StartPacer(pacer, 100, 0);  // 10 ms frames
    const PaceStep steps[] = {
        {1'000'000, 10'000'000},    // early: wait
        {19'000'000, 20'000'000},
        {35'000'000, 30'000'000},   // 5 ms late: due at once, the pace is kept
        {45'000'000, 40'000'000},
        {70'000'000, 70'000'000},   // 20 ms late (a stall): restart from now
        {70'500'000, 80'000'000},   // and go on at the pace from there
        {80'000'000, 90'000'000},
        {110'000'000, 100'000'000},  // exactly one period late is still in step
    };
    for (const PaceStep& step : steps) {
        EXPECT_EQ(NextFrameDueNs(pacer, step.nowNs), step.dueNs) << "at " << step.nowNs;
    }
}

TEST(FramePacer, SleepingUntilAPastTimeReturnsAtOnce) {
    const int64_t before = MonotonicNowNs();
    SleepUntilNs(before - 1'000'000'000);
    EXPECT_GE(MonotonicNowNs(), before);
}

}  // namespace
