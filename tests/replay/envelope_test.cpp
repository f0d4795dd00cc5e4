#include <gtest/gtest.h>

#include <vector>

#include "replay/channel.h"
#include "replay/envelope.h"
#include "replay/sequencer.h"
#include "sound/module.h"

namespace {

struct Envelope {
    std::vector<EnvelopePoint> points;
    uint8_t sustain = 0, loopStart = 0, loopEnd = 0;
    uint8_t type = kEnvelopeOn;
};

class Envelopes : public ::testing::Test {
protected:
    void Use(const Envelope& e) {
        instrument = Instrument{};
        for (size_t k = 0; k < e.points.size(); ++k) instrument.volumeEnvelope[k] = e.points[k];
        instrument.volumePointCount = static_cast<uint8_t>(e.points.size());
        instrument.volumeSustain = e.sustain;
        instrument.volumeLoopStart = e.loopStart;
        instrument.volumeLoopEnd = e.loopEnd;
        instrument.volumeType = e.type;
        channel = Channel{};
        ResetInstrumentState(&channel, &emptySample);
    }
    // The volume envelope's output on each of the next `ticks` ticks.
    std::vector<int32_t> Outputs(int ticks) {
        std::vector<int32_t> out;
        for (int k = 0; k < ticks; ++k) {
            if (!channel.volEnvDone) {
                channel.updateFlags = 0;
                StepEnvelope(&channel, VolumeEnvelopeState(&channel),
                             VolumeEnvelopeShape(&instrument), kUpdateVolume);
                EXPECT_EQ(channel.updateFlags, kUpdateVolume);
            }
            out.push_back(channel.volEnvOutput);
        }
        return out;
    }

    Instrument instrument{};
    Channel channel{};
};

using Outs = std::vector<int32_t>;

TEST_F(Envelopes, TwoPointRampFallsLinearlyAndIsDone) {
    Use({{{0, 64}, {10, 0}}});
    EXPECT_EQ(Outputs(13), (Outs{64, 57, 51, 44, 38, 32, 25, 19, 12, 6, 0, 0, 0}));
    EXPECT_EQ(channel.volEnvDone, 1);
    // A note with an instrument starts it over.
    ResetInstrumentState(&channel, &emptySample);
    EXPECT_EQ(Outputs(2), (Outs{64, 57}));
}

TEST_F(Envelopes, SustainHoldsUntilKeyOff) {
    Use({{{0, 0}, {2, 40}, {4, 10}}, 1, 0, 0, kEnvelopeOn | kEnvelopeSustain});
    EXPECT_EQ(Outputs(6), (Outs{0, 20, 40, 40, 40, 40}));
    channel.keyOff = 1;
    EXPECT_EQ(Outputs(4), (Outs{40, 25, 10, 10}));
}

TEST_F(Envelopes, LoopRepeatsAndSustainAtTheLoopStartHoldsAfterEachJump) {
    Use({{{0, 0}, {2, 64}, {4, 32}}, 0, 0, 2, kEnvelopeOn | kEnvelopeLoop});
    EXPECT_EQ(Outputs(9), (Outs{0, 32, 64, 48, 0, 32, 64, 48, 0}));

    Use({{{0, 0}, {2, 64}, {4, 32}}, 1, 1, 2, kEnvelopeOn | kEnvelopeLoop | kEnvelopeSustain});
    EXPECT_EQ(Outputs(5), (Outs{0, 32, 64, 64, 64}));
    channel.keyOff = 1;
    // Released: on to the loop end, back to the start, and no longer held there.
    EXPECT_EQ(Outputs(5), (Outs{64, 48, 64, 48, 64}));
}

TEST_F(Envelopes, SustainOnTheLoopEndIsNeverHeld) {
    Use({{{0, 0}, {2, 64}, {4, 32}}, 2, 0, 2, kEnvelopeOn | kEnvelopeLoop | kEnvelopeSustain});
    EXPECT_EQ(Outputs(6), (Outs{0, 32, 64, 48, 0, 32}));
}

TEST_F(Envelopes, OnePointLoopHoldsThroughKeyOff) {
    // Loop start = loop end at point 1: hold there instead of jumping on the spot for ever.
    Use({{{0, 0}, {4, 48}, {8, 0}}, 0, 1, 1, kEnvelopeOn | kEnvelopeLoop});
    EXPECT_EQ(Outputs(7), (Outs{0, 12, 24, 36, 48, 48, 48}));
    const int32_t tick = channel.volEnvTick;
    channel.keyOff = 1;
    EXPECT_EQ(Outputs(3), (Outs{48, 48, 48}));
    EXPECT_EQ(channel.volEnvTick, tick);
}

TEST_F(Envelopes, PointsThatDoNotRiseEndTheirSegmentAtOnce) {
    Use({{{0, 64}, {10, 32}, {5, 0}, {6, 64}}});
    const Outs outs = Outputs(16);
    EXPECT_EQ(Outs(outs.begin(), outs.begin() + 11),
              (Outs{64, 60, 57, 54, 51, 48, 44, 41, 38, 35, 32}));
    for (int32_t v : outs) {
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 64);
    }
    EXPECT_EQ(channel.volEnvDone, 1);
    EXPECT_EQ(outs.back(), 64);
}

TEST_F(Envelopes, ValuesAboveTheScaleAreHeldToIt) {
    Use({{{0, 0}, {2, 65535}}});
    EXPECT_EQ(Outputs(3), (Outs{0, 32, 64}));
}

TEST_F(Envelopes, RepositionFindsTheSegmentOrTheEnd) {
    struct Case {
        int32_t position;
        int32_t output, point, tick;
        uint8_t done;
    };
    // Points (0, 64), (10, 64), (20, 0).
    const Case cases[] = {
        {0, 64, 1, 0, 0},   {5, 64, 1, 5, 0},   {10, 64, 1, 10, 0},
        {15, 32, 2, 15, 0}, {20, 0, 2, 20, 0},  {200, 0, 3, 0, 1},
    };
    for (const Case& c : cases) {
        Use({{{0, 64}, {10, 64}, {20, 0}}});
        RepositionVolumeEnvelope(&channel, &instrument, c.position);
        EXPECT_EQ(channel.volEnvDone, c.done) << c.position;
        EXPECT_EQ(channel.volEnvOutput, c.output) << c.position;
        EXPECT_EQ(channel.volEnvPoint, c.point) << c.position;
        EXPECT_EQ(channel.volEnvTick, c.tick) << c.position;
    }
    // The next step goes on from there.
    Use({{{0, 64}, {10, 64}, {20, 0}}});
    RepositionVolumeEnvelope(&channel, &instrument, 15);
    EXPECT_EQ(Outputs(6), (Outs{25, 19, 12, 6, 0, 0}));
    // Off envelopes are not moved.
    Use({{{0, 64}, {10, 0}}, 0, 0, 0, 0});
    RepositionVolumeEnvelope(&channel, &instrument, 5);
    EXPECT_EQ(channel.volEnvTick, 0);
    EXPECT_EQ(channel.volEnvOutput, 64);
}

}  // namespace
