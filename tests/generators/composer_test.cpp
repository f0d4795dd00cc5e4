// The composer: its notation, its synthesis and what the finished score uses.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <stdexcept>

#include "generators/composer/instruments.h"
#include "generators/composer/notation.h"
#include "generators/composer/score.h"
#include "generators/composer/synth.h"

namespace composer {
namespace {

TEST(Notation, NoteNames) {
    struct Case {
        const char* name;
        uint8_t byte;
    };
    const Case cases[] = {
        {"C-0", 1}, {"C#0", 2}, {"A-4", 58}, {"C-4", 49}, {"B-7", 96}, {"G#3", 45},
        {"H-4", 0}, {"C-8", 0}, {"C+4", 0}, {"C-", 0},  {"", 0},     {"c-4", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(NoteByte(c.name), c.byte) << c.name;
}

TEST(Notation, LineWritesOneTokenPerRow) {
    XmPatternDesc p = EmptyPattern();
    const int end = Line(p, 3, 10, 7, "A-4 . | == C#5:40 .,A04 E-5:64,452 .:0");
    EXPECT_EQ(end, 17);
    const NoteCell& a = CellAt(p, 10, 3);
    EXPECT_EQ(a.note, 58);
    EXPECT_EQ(a.instrument, 7);
    EXPECT_EQ(a.volume, 0);
    EXPECT_EQ(CellAt(p, 11, 3).note, 0);
    EXPECT_EQ(CellAt(p, 12, 3).note, kFileNoteKeyOff);
    EXPECT_EQ(CellAt(p, 12, 3).instrument, 0);  // a key off takes no instrument
    EXPECT_EQ(CellAt(p, 13, 3).volume, 0x10 + 40);
    const NoteCell& slide = CellAt(p, 14, 3);
    EXPECT_EQ(slide.note, 0);
    EXPECT_EQ(slide.instrument, 0);
    EXPECT_EQ(slide.effect, 0xA);
    EXPECT_EQ(slide.parameter, 0x04);
    const NoteCell& vibrato = CellAt(p, 15, 3);
    EXPECT_EQ(vibrato.volume, 0x50);
    EXPECT_EQ(vibrato.effect, 4);
    EXPECT_EQ(vibrato.parameter, 0x52);
    EXPECT_EQ(CellAt(p, 16, 3).volume, 0x10);
    EXPECT_EQ(CellAt(p, 10, 2).note, 0);  // other channels untouched
}

TEST(Notation, LetterEffectsUseTheirXmNumbers) {
    XmPatternDesc p = EmptyPattern();
    Line(p, 0, 0, 1, ".,G40 .,H10 .,K00 .,L20 .,P04 .,R93 .,T11 .,X14");
    const uint8_t numbers[] = {16, 17, 20, 21, 25, 27, 29, 33};
    for (int row = 0; row < 8; ++row) EXPECT_EQ(CellAt(p, row, 0).effect, numbers[row]) << row;
}

TEST(Notation, RejectsWhatItCannotRead) {
    const char* bad[] = {"Q-4", "A-4:65", "A-4:x", ".,A4", ".,a04", ".,AG4", "A-4,A040"};
    for (const char* tokens : bad) {
        XmPatternDesc p = EmptyPattern();
        EXPECT_THROW(Line(p, 0, 0, 1, tokens), std::invalid_argument) << tokens;
    }
    XmPatternDesc p = EmptyPattern();
    EXPECT_THROW(Line(p, 0, 63, 1, "A-4 A-4"), std::invalid_argument);  // past row 63
    EXPECT_THROW(Line(p, 12, 0, 1, "A-4"), std::invalid_argument);      // no channel 12
    const DrumSound kit[] = {{'k', 1, 49, 60}};
    EXPECT_THROW(Drums(p, 0, 0, "k.z", kit), std::invalid_argument);
}

TEST(Notation, DrumGridsPlayTheirKit) {
    const DrumSound kit[] = {{'k', 1, 49, 60}, {'g', 2, 61, 20}};
    XmPatternDesc p = EmptyPattern();
    EXPECT_EQ(Drums(p, 1, 60, "k.| g", kit), 63);
    EXPECT_EQ(CellAt(p, 60, 1).instrument, 1);
    EXPECT_EQ(CellAt(p, 60, 1).volume, 0x10 + 60);
    EXPECT_EQ(CellAt(p, 61, 1).note, 0);
    EXPECT_EQ(CellAt(p, 62, 1).note, 61);
    EXPECT_EQ(CellAt(p, 62, 1).volume, 0x10 + 20);
}

// The frequency the linear table gives a note byte of a sample (its relative note and finetune).
double PlayedRateHz(const XmSampleDesc& sample, int note) {
    const int realNote = note - kNoteC0 + sample.relativeNote;  // semitones above C-0
    const int period = 7680 - 64 * realNote - sample.finetune / 2;
    return 8363.0 * std::pow(2.0, (4608.0 - period) / 768.0);
}

TEST(Synth, TunedSamplesPlayInTune) {
    struct Case {
        int rootNote;
        double synthHz;
    };
    const Case cases[] = {{NoteByte("C-4"), 261.3}, {NoteByte("C-2"), 65.0},
                          {NoteByte("C-5"), 530.0}, {NoteByte("C-6"), 1046.5},
                          {NoteByte("A-4"), 452.0}};
    for (const Case& c : cases) {
        XmSampleDesc sample;
        TuneSample(sample, c.rootNote, c.synthHz, NoteHz(c.rootNote));
        EXPECT_EQ(sample.finetune % 2, 0);
        const double heardHz = c.synthHz * PlayedRateHz(sample, c.rootNote) / kSynthRateHz;
        const double errorCents = 1200.0 * std::log2(heardHz / NoteHz(c.rootNote));
        EXPECT_LT(std::fabs(errorCents), 1.6) << "root " << c.rootNote;
    }
    EXPECT_NEAR(NoteHz(NoteByte("A-4")), 440.0, 1e-9);
    XmSampleDesc drum;
    drum.relativeNote = 24;
    EXPECT_NEAR(PlayedRateHz(drum, kNoteC4), kSynthRateHz, 1e-6);
}

// A loop of whole cycles continues as if the tone went on: the step from the loop's last value
// back to its first is no larger than the steps inside it.
TEST(Synth, AdditiveLoopsCloseWithoutAStep) {
    const int loop = 4096;
    const std::vector<Partial> partials =
        Harmonics(loop, CyclesFor(NoteByte("C-3"), loop), 1, [](int k, double) { return 1.0 / k; },
                  1.0, 7000.0, 5);
    const Signal tone = AdditiveTone(800, loop, partials, 3.0);
    ASSERT_EQ(tone.size(), 800u + loop);
    double largestStep = 0.0;
    for (size_t i = 801; i < tone.size(); ++i) {
        largestStep = std::max(largestStep, std::fabs(tone[i] - tone[i - 1]));
    }
    EXPECT_LE(std::fabs(tone[800] - tone.back()), largestStep * 1.01);
    for (const Partial& p : partials) EXPECT_LT(CycleHz(p.cyclesPerLoop, loop), 7000.0);
}

TEST(Synth, QuantiseScalesToThePeakAndRounds) {
    const Signal signal = {0.0, 0.5, -1.0, 0.25};
    EXPECT_EQ(Quantise(signal, true, 1.0), (std::vector<int16_t>{0, 16384, -32767, 8192}));
    EXPECT_EQ(Quantise(signal, false, 0.5), (std::vector<int16_t>{0, 32, -64, 16}));
    EXPECT_EQ(Quantise(Signal(3, 0.0), true, 1.0), (std::vector<int16_t>{0, 0, 0}));
}

TEST(Synth, NoiseIsTheSameEveryRun) {
    Noise a{77}, b{77}, c{78};
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const double x = a.Next();
        EXPECT_EQ(x, b.Next());
        EXPECT_GE(x, -1.0);
        EXPECT_LT(x, 1.0);
        differs |= x != c.Next();
    }
    EXPECT_TRUE(differs);
}

class ComposedSong : public ::testing::Test {
protected:
    static void SetUpTestSuite() { song = new XmModuleDesc(ComposeSong()); }
    static void TearDownTestSuite() { delete song; }
    static XmModuleDesc* song;
};
XmModuleDesc* ComposedSong::song = nullptr;

TEST_F(ComposedSong, InstrumentsExerciseTheEngine) {
    ASSERT_EQ(song->instruments.size(), size_t(kInstrumentCount));
    bool eightBit = false, sixteenBit = false, forward = false, pingPong = false;
    bool sustain = false, envelopeLoop = false, panning = false, vibrato = false, fadeout = false;
    for (const XmInstrumentDesc& instrument : song->instruments) {
        EXPECT_LE(instrument.samples.size(), 3u) << instrument.name;
        for (const XmSampleDesc& sample : instrument.samples) {
            eightBit |= !sample.sixteenBit;
            sixteenBit |= sample.sixteenBit;
            forward |= sample.loopBits == 1;
            pingPong |= sample.loopBits == 2;
            EXPECT_LE(sample.loopStart + sample.loopLength, sample.values.size()) << sample.name;
            const int limit = sample.sixteenBit ? 32767 : 127;
            for (int16_t v : sample.values) ASSERT_LE(std::abs(int(v)), limit) << sample.name;
        }
        sustain |= (instrument.volumeEnvelope.type & 2) != 0;
        envelopeLoop |= (instrument.volumeEnvelope.type & 4) != 0;
        panning |= (instrument.panningEnvelope.type & 1) != 0;
        vibrato |= instrument.vibratoDepth > 0 && instrument.vibratoRate > 0;
        fadeout |= instrument.fadeout > 0;
        for (int note = 0; note < kNoteCount; ++note) {
            EXPECT_LT(instrument.sampleForNote[note], std::max<size_t>(instrument.samples.size(), 1))
                << instrument.name;
        }
    }
    EXPECT_TRUE(eightBit && sixteenBit && forward && pingPong);
    EXPECT_TRUE(sustain && envelopeLoop && panning && vibrato && fadeout);
}

TEST_F(ComposedSong, ScoreUsesTheEffectsAndVolumeColumn) {
    std::set<int> effects, volumeCommands;
    std::set<int> instrumentsPlayed;
    for (const XmPatternDesc& pattern : song->patterns) {
        ASSERT_EQ(pattern.rows, 64);
        for (const NoteCell& cell : pattern.cells) {
            if (cell.effect != 0 || cell.parameter != 0) {
                effects.insert(cell.effect == 0xE ? 0xE0 + (cell.parameter >> 4) : cell.effect);
            }
            if (cell.volume >= 0x60) volumeCommands.insert(cell.volume >> 4);
            if (cell.instrument) instrumentsPlayed.insert(cell.instrument);
        }
    }
    // Arpeggio, both portamentos, tone portamento, vibrato, both combined slides, panning, sample
    // offset, volume slide, jump, break, speed, global volume and its slide, key off, envelope
    // position, panning slide, multi retrigger, tremor, extra fine portamento, and the extended
    // fine slides, note cut, note delay and retrigger.
    for (int effect : {0x0, 0x1, 0x3, 0x4, 0x5, 0x6, 0x8, 0xA, 0xB, 0xD, 0xF, 16, 17, 20, 21, 25,
                       27, 29, 33, 0xE2, 0xE9, 0xEB, 0xEC, 0xED}) {
        EXPECT_TRUE(effects.count(effect)) << "effect " << effect;
    }
    for (int command : {0x7, 0x9}) EXPECT_TRUE(volumeCommands.count(command)) << command;
    // Every instrument with samples is played somewhere.
    for (int i = 0; i < kInstrumentCount; ++i) {
        if (!song->instruments[size_t(i)].samples.empty()) {
            EXPECT_TRUE(instrumentsPlayed.count(i + 1)) << song->instruments[size_t(i)].name;
        }
    }
}

// The replay applies a global volume change to the channels before the one carrying it only from
// their next volume update, so a change after a channel that has sounded would leave it at the old
// level. Played in order, no row sets or slides the global volume after such a channel.
TEST_F(ComposedSong, GlobalVolumeChangesComeBeforeEveryChannelThatHasSounded) {
    std::vector<bool> sounded(size_t(kChannels), false);
    int changes = 0;
    for (size_t order = 0; order < song->orders.size(); ++order) {
        const XmPatternDesc& pattern = song->patterns[song->orders[order]];
        for (int row = 0; row < pattern.rows; ++row) {
            for (int channel = 0; channel < kChannels; ++channel) {
                const NoteCell& cell = pattern.cells[size_t(row * kChannels + channel)];
                if (cell.note != kNoteNone && cell.note != kFileNoteKeyOff) sounded[size_t(channel)] = true;
                if (cell.effect != kEffectGlobalVolume && cell.effect != kEffectGlobalVolumeSlide) continue;
                ++changes;
                for (int before = 0; before < channel; ++before) {
                    EXPECT_FALSE(sounded[size_t(before)])
                        << "order " << order << " row " << row << ": channel " << channel
                        << " changes the global volume after channel " << before;
                }
            }
        }
    }
    EXPECT_GT(changes, 19);  // every section's level, and the fades
}

TEST_F(ComposedSong, ComposingTwiceGivesTheSameBytes) {
    EXPECT_EQ(WriteXm(*song), ComposeSongBytes());
}

}  // namespace
}  // namespace composer
