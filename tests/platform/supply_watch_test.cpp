// The watch over a callback device's supply, fed the wall clock and the frames handed over at
// each callback as traces of cases.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/supply_watch.h"

namespace {

constexpr int64_t kBuffer = 512;

struct Callback {
    int64_t elapsedFrames;
    int64_t deliveredFrames;
};

// `count` callbacks one buffer apart from `from`, each handing over one buffer, the clock `lag`
// frames ahead of the frames handed over; `drift` more frames of lag at each.
std::vector<Callback> Steady(int64_t from, int64_t count, int64_t lag, int64_t drift = 0) {
    std::vector<Callback> trace;
    for (int64_t k = 0; k < count; ++k) {
        trace.push_back({(from + k) * kBuffer + lag + drift * k, (from + k) * kBuffer});
    }
    return trace;
}

std::vector<Callback> Then(std::vector<Callback> a, const std::vector<Callback>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SupplyWatch, CountsTheSpellsTheDeviceRanDryAndNothingElse) {
    struct Case {
        const char* name;
        std::vector<Callback> trace;
        uint32_t spells;
        int64_t dryFrames;
    };
    // The device fills its first buffers at once: four callbacks at time 0.
    const std::vector<Callback> start = {{0, 0}, {0, kBuffer}, {0, 2 * kBuffer}, {0, 3 * kBuffer}};
    const Case cases[] = {
        {"steady", Then(start, Steady(4, 200, -4 * kBuffer)), 0, 0},
        {"one callback late by less than a buffer",
         Then(Then(start, Steady(4, 50, -4 * kBuffer)),
              Then({{54 * kBuffer - 4 * kBuffer + 400, 54 * kBuffer}},
                   Steady(55, 50, -4 * kBuffer))),
         0, 0},
        {"a stall of 2000 frames past the buffer, the song late by as much after",
         Then(Then(start, Steady(4, 50, -4 * kBuffer)), Steady(54, 50, -4 * kBuffer + 2000)), 1,
         2000},
        {"two stalls", Then(Then(Then(start, Steady(4, 50, -2048)), Steady(54, 50, -2048 + 1000)),
                            Steady(104, 50, -2048 + 3000)),
         2, 3000},
        {"the device's clock slower by a frame a callback",
         Then(start, Steady(4, 5000, -4 * kBuffer, 1)), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SupplyWatch watch;
        watch.thresholdFrames = kBuffer;
        watch.warmUpFrames = 4 * kBuffer;
        uint32_t reported = 0;
        for (const Callback& callback : c.trace) {
            reported += NoteSupply(&watch, callback.elapsedFrames, callback.deliveredFrames);
        }
        EXPECT_EQ(watch.drySpells, c.spells);
        EXPECT_EQ(reported, c.spells);
        EXPECT_EQ(watch.dryFrames, c.dryFrames);
    }
}

}  // namespace
