#include <gtest/gtest.h>

#include <vector>

#include "replay/channel.h"
#include "replay/pitch.h"
#include "replay/sequencer.h"
#include "replay/voice_update.h"
#include "sound/module.h"

namespace {

TEST(Pitch, LinearPeriodsAndFrequencies) {
    struct Case {
        int32_t note, finetune, period, hz;
    };
    const Case cases[] = {
        {48, 0, 4608, 8363}, {60, 0, 3840, 16726}, {48, -28, 4622, 8257}, {48, 127, 4545, 8852},
        {49, 0, 4544, 8860}, {48, -1, 4608, 8363},  // -1 / 2 truncates to 0
    };
    Song song{};
    song.flags = kLinearFrequencyFlag;
    for (const Case& c : cases) {
        EXPECT_EQ(LinearPeriodForNote(c.note, c.finetune), c.period) << c.note << " " << c.finetune;
        EXPECT_EQ(NotePeriod(&song, c.note, c.finetune), c.period);
        EXPECT_EQ(FrequencyForPeriod(&song, c.period, 0), c.hz) << c.note << " " << c.finetune;
    }
    // A positive offset raises the linear pitch: 64 units are a semitone.
    EXPECT_EQ(FrequencyForPeriod(&song, 4608, 64), 8860);
    EXPECT_EQ(FrequencyForPeriod(&song, 4608 + 64, 64), 8363);
}

TEST(Pitch, AmigaPeriodsAndFrequencies) {
    struct Case {
        int32_t note, finetune, period;
    };
    const Case cases[] = {
        {48, 0, 1712}, {49, 0, 1615}, {47, 0, 1813},  {60, 0, 856},    {36, 0, 3424},
        {48, 127, 1616}, {48, -128, 1813}, {48, -28, 1734}, {0, -16, 27584},
    };
    Song song{};
    for (const Case& c : cases) {
        EXPECT_EQ(AmigaPeriodForNote(c.note, c.finetune), c.period) << c.note << " " << c.finetune;
        EXPECT_EQ(NotePeriod(&song, c.note, c.finetune), c.period);
    }
    EXPECT_EQ(FrequencyForPeriod(&song, 1712, 0), 8362);
    // A positive offset lowers the Amiga pitch; a negative period still divides.
    EXPECT_EQ(FrequencyForPeriod(&song, 1712, 1712), 4181);
    EXPECT_EQ(FrequencyForPeriod(&song, -1712, 0), -8362);
}

TEST(Pitch, AutoVibratoWaveforms) {
    struct Case {
        uint8_t type;
        int32_t position, value;  // pitch offset at full depth 64 (value x 64 >> 6 = value)
    };
    const Case cases[] = {
        {0, 0, 0},    {0, 1, 1},     {0, 64, 63},  {0, 129, -1},  {0, 192, -63}, {0, 128, 0},
        {1, 0, 64},   {1, 127, 64},  {1, 128, -64}, {1, 255, -64},
        {2, 0, 0},    {2, 1, -1},    {2, 2, -1},   {2, 127, -64}, {2, 128, 64},  {2, 255, 0},
        {3, 0, 0},    {3, 1, 0},     {3, 2, 1},    {3, 127, 63},  {3, 128, 64},  {3, 129, -64},
        {3, 255, -1},
        {9, 64, 63},  // a damaged type plays the sine
    };
    for (const Case& c : cases) {
        Instrument instrument{};
        instrument.vibratoType = c.type;
        instrument.vibratoDepth = 64;
        instrument.vibratoRate = 3;
        Channel channel{};
        channel.autoVibratoPosition = c.position;
        ApplyAutoVibrato(&channel, &instrument);
        EXPECT_EQ(channel.pitchOffset, c.value) << +c.type << " at " << c.position;
        EXPECT_EQ(channel.updateFlags, kUpdateFrequency);
        EXPECT_EQ(channel.autoVibratoPosition, (c.position + 3) % 256);
    }
}

TEST(Pitch, AutoVibratoRoundsTowardMinusInfinity) {
    // At depth 5 the amount is no multiple of 64: -315 / 64 rounds to -5, not to -4, so the
    // negative half reaches as far below the pitch as the positive half above it, and further.
    struct Case {
        uint8_t type;
        int32_t position, offset, frequency;  // the frequency of C-4 with that offset
    };
    const Case cases[] = {
        {kAutoVibratoSine, 192, -5, 8325},     {kAutoVibratoSine, 64, 4, 8393},
        {kAutoVibratoRampDown, 1, -1, 8355},   {kAutoVibratoRampUp, 254, -1, 8355},
        {kAutoVibratoSquare, 128, -5, 8325},
    };
    Song song{};
    song.flags = kLinearFrequencyFlag;
    for (const Case& c : cases) {
        Instrument instrument{};
        instrument.vibratoType = c.type;
        instrument.vibratoDepth = 5;
        Channel channel{};
        channel.autoVibratoPosition = c.position;
        ApplyAutoVibrato(&channel, &instrument);
        EXPECT_EQ(channel.pitchOffset, c.offset) << +c.type << " at " << c.position;
        const int32_t c4Period = LinearPeriodForNote(kNoteC4 - kNoteC0, 0);
        EXPECT_EQ(FrequencyForPeriod(&song, c4Period, channel.pitchOffset), c.frequency);
    }
}

TEST(Pitch, AutoVibratoSweepGrowsTheDepth) {
    Instrument instrument{};
    instrument.vibratoType = 1;  // square: a constant 64 makes the sweep easy to read
    instrument.vibratoDepth = 16;
    instrument.vibratoSweep = 4;
    Channel channel{};
    std::vector<int32_t> offsets;
    for (int k = 0; k < 6; ++k) {
        channel.pitchOffset = 0;
        ApplyAutoVibrato(&channel, &instrument);
        offsets.push_back(channel.pitchOffset);
    }
    // 64 x 16 >> 6 = 16 at full depth: 0, 1/4, 1/2, 3/4, then full.
    EXPECT_EQ(offsets, (std::vector<int32_t>{0, 4, 8, 12, 16, 16}));
}

TEST(Pitch, VibratoPhaseRunsThroughMinus32To31) {
    Channel channel{};
    channel.vibratoSpeed = 12;
    std::vector<int32_t> phases;
    for (int k = 0; k < 6; ++k) {
        AdvanceVibratoPhase(&channel);
        phases.push_back(channel.vibratoPosition);
    }
    EXPECT_EQ(phases, (std::vector<int32_t>{12, 24, -28, -16, -4, 8}));
}

TEST(FinalMix, VolumeCombinesEveryStage) {
    struct Case {
        int32_t volume, offset, envelope, fadeout, global, want;
    };
    const Case cases[] = {
        {64, 0, 64, 65536, 64, 127}, {64, 0, 64, 65536, 32, 63}, {64, -64, 64, 65536, 64, 0},
        {32, 0, 64, 65536, 64, 63},  {64, 0, 32, 32768, 64, 31}, {64, 0, 64, 0, 64, 0},
        {1, 0, 1, 1, 1, 0},
    };
    for (const Case& c : cases) {
        Song song{};
        song.globalVolume = c.global;
        Channel channel{};
        channel.volume = c.volume;
        channel.volumeOffset = c.offset;
        channel.volEnvOutput = c.envelope;
        channel.fadeoutVolumeQ16 = c.fadeout;
        EXPECT_EQ(FinalVolume(&channel, &song), c.want) << c.volume << " " << c.global;
    }
}

TEST(FinalMix, PanningEnvelopeReachDependsOnThePanning) {
    struct Case {
        int32_t panning, envelope, want;
    };
    const Case cases[] = {
        {128, 64, 256}, {128, 0, 0},   {128, 32, 128}, {200, 0, 168},
        {20, 64, 20},   {240, 0, 240}, {64, 48, 96},
    };
    for (const Case& c : cases) {
        Channel channel{};
        channel.panning = c.panning;
        channel.panEnvOutput = c.envelope;
        EXPECT_EQ(FinalPanning(&channel), c.want) << c.panning << " " << c.envelope;
    }
}

}  // namespace
