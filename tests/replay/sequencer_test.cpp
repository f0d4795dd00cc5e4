#include <utility>

#include "replay_harness.h"

namespace {

using Position = std::pair<int32_t, int32_t>;  // order, row
using Ticks = std::vector<int32_t>;

class Sequencer : public ReplayTest {
protected:
    // The (order, row) that each of the next `ticks` ticks plays.
    std::vector<Position> Positions(int ticks) {
        std::vector<Position> seen;
        for (int k = 0; k < ticks; ++k) {
            Tick();
            seen.emplace_back(Order(), Row());
        }
        return seen;
    }
    // The (order, row) of each of the next `rows` rows, at speed 1.
    std::vector<Position> Rows(int rows) { return Positions(rows); }
};

TEST_F(Sequencer, RowsAndOrdersAdvanceThenRestart) {
    XmModuleDesc desc = TestModule(1, 2, 2, 2);
    desc.orders = {0, 1, 0};
    desc.restartPosition = 1;
    Start(desc);
    const std::vector<Position> want = {{0, 0}, {0, 0}, {0, 1}, {0, 1}, {1, 0}, {1, 0}, {1, 1},
                                        {1, 1}, {2, 0}, {2, 0}, {2, 1}, {2, 1}, {1, 0}, {1, 0}};
    EXPECT_EQ(Positions(14), want);
}

TEST_F(Sequencer, RestartPositionOutsideTheOrdersStartsOver) {
    XmModuleDesc desc = TestModule(1, 2, 2, 1);
    desc.restartPosition = 7;
    Start(desc);
    const std::vector<Position> want = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 0}};
    EXPECT_EQ(Rows(5), want);
}

TEST_F(Sequencer, JumpAndBreakOnOneRowCombineByChannelOrder) {
    struct Case {
        const char* name;
        NoteCell first, second;  // channels 0 and 1 of order 0, row 0
        Position want;
    };
    const Case cases[] = {
        {"B then D: D's row in B's order", Effect(kEffectPositionJump, 2),
         Effect(kEffectPatternBreak, 0x05), {2, 5}},
        {"D then B: row 0 of B's order", Effect(kEffectPatternBreak, 0x05),
         Effect(kEffectPositionJump, 2), {2, 0}},
        {"D alone: next order", Effect(kEffectPatternBreak, 0x12), {}, {1, 12}},
        {"D above 63 goes to row 0", Effect(kEffectPatternBreak, 0x64), {}, {1, 0}},
        {"B beyond the orders goes to order 0", Effect(kEffectPositionJump, 9), {}, {0, 0}},
    };
    for (const Case& c : cases) {
        XmModuleDesc desc = TestModule(2, 64, 3, 1);
        CellAt(desc, 0, 0, 0) = c.first;
        CellAt(desc, 0, 0, 1) = c.second;
        Start(desc);
        Tick();
        Tick();
        EXPECT_EQ(Position(Order(), Row()), c.want) << c.name;
        FreeSong(song);
        song = nullptr;
    }
}

TEST_F(Sequencer, BreakOnTheLastOrderGoesToOrderZeroNotTheRestart) {
    XmModuleDesc desc = TestModule(1, 4, 3, 1);
    desc.restartPosition = 1;
    CellAt(desc, 2, 1, 0) = Effect(kEffectPatternBreak, 0x02);
    Start(desc);
    const std::vector<Position> want = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 1}, {1, 2},
                                        {1, 3}, {2, 0}, {2, 1}, {0, 2}, {0, 3}};
    EXPECT_EQ(Rows(12), want);
}

TEST_F(Sequencer, BreakPastTheEndOfAShorterPatternStartsItAtTheTop) {
    XmModuleDesc desc = TestModule(1, 16, 2, 1);
    desc.patterns[1].rows = 8;
    desc.patterns[1].cells.resize(8);
    CellAt(desc, 0, 0, 0) = Effect(kEffectPatternBreak, 0x12);
    Start(desc);
    const std::vector<Position> want = {{0, 0}, {1, 0}, {1, 1}};
    EXPECT_EQ(Rows(3), want);
}

TEST_F(Sequencer, JumpToItsOwnOrderRepeatsItForEver) {
    XmModuleDesc desc = TestModule(1, 4, 2, 1);
    CellAt(desc, 1, 3, 0) = Effect(kEffectPositionJump, 1);
    Start(desc);
    Rows(4);
    for (int pass = 0; pass < 5; ++pass) {
        const std::vector<Position> want = {{1, 0}, {1, 1}, {1, 2}, {1, 3}};
        EXPECT_EQ(Rows(4), want) << pass;
    }
}

TEST_F(Sequencer, PatternLoopPlaysItsRowsAgainInPlace) {
    XmModuleDesc desc = TestModule(1, 16, 1, 1);
    CellAt(desc, 0, 4, 0) = ExtendedEffect(kExtendedPatternLoop, 0);
    CellAt(desc, 0, 7, 0) = ExtendedEffect(kExtendedPatternLoop, 2);
    Start(desc);
    std::vector<int32_t> rows;
    for (const Position& p : Rows(18)) rows.push_back(p.second);
    const std::vector<int32_t> want = {0, 1, 2, 3, 4, 5, 6, 7, 4, 5, 6, 7, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(rows, want);
}

TEST_F(Sequencer, PatternDelayAndSpeedChanges) {
    struct Case {
        const char* name;
        NoteCell first, second;
        int wantTicks;  // ticks row 1 lasts
    };
    const NoteCell delay = ExtendedEffect(kExtendedPatternDelay, 2);
    const Case cases[] = {
        {"EE2 at speed 6", delay, {}, 18},
        {"F03 after EE2 keeps the delay of speed 6", delay, Effect(kEffectSpeed, 3), 15},
        {"F03 before EE2 delays by speed 3", Effect(kEffectSpeed, 3), delay, 9},
        {"F00 makes every tick a row", Effect(kEffectSpeed, 0), {}, 1},
        {"F20 is a BPM, not a speed", Effect(kEffectSpeed, 0x20), {}, 6},
    };
    for (const Case& c : cases) {
        XmModuleDesc desc = TestModule(2, 16, 1, 6);
        CellAt(desc, 0, 1, 0) = c.first;
        CellAt(desc, 0, 1, 1) = c.second;
        Start(desc);
        Tick(6);  // row 0
        int ticks = 0;
        do {
            Tick();
            ++ticks;
        } while (song->tick != 0 && ticks < 100);
        EXPECT_EQ(Row(), 1) << c.name;
        EXPECT_EQ(ticks, c.wantTicks) << c.name;
        FreeSong(song);
        song = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Notes and instruments.

TEST_F(Sequencer, NoteWithInstrumentPlaysAndWithoutOneStaysSilentOnAFreshChannel) {
    XmModuleDesc desc = TestModule(2);
    CellAt(desc, 0, 0, 0) = Cell(kNoteC4, 1);
    CellAt(desc, 0, 0, 1) = Cell(kNoteC4);
    Start(desc);
    Tick();
    EXPECT_EQ(triggers, (Triggers{{0, 0, Tone(), 0}, {0, 1, Tone(), 0}}))
        << "a note triggers with or without an instrument";
    EXPECT_EQ(V(0).frequency, 8363);
    EXPECT_EQ(V(0).volume, 127);
    EXPECT_EQ(V(0).panning, 128);
    EXPECT_EQ(V(1).volume, 0) << "but a channel never given an instrument is silent";
}

TEST_F(Sequencer, KeyOffSilencesWithoutEnvelopeAndReleasesWithOne) {
    XmModuleDesc desc = TestModule(2);
    XmInstrumentDesc enveloped = desc.instruments[0];
    enveloped.volumeEnvelope.points = {{0, 64}, {4, 32}, {8, 0}};
    enveloped.volumeEnvelope.sustain = 1;
    enveloped.volumeEnvelope.type = kEnvelopeOn | kEnvelopeSustain;
    enveloped.fadeout = 1000;
    desc.instruments.push_back(enveloped);
    CellAt(desc, 0, 0, 0) = Cell(kNoteC4, 1);
    CellAt(desc, 0, 0, 1) = Cell(kNoteC4, 2);
    CellAt(desc, 0, 1, 0) = Cell(kFileNoteKeyOff);
    CellAt(desc, 0, 1, 1) = Cell(kFileNoteKeyOff);
    Start(desc);
    Tick(6);
    EXPECT_EQ(V(0).volume, 127);
    EXPECT_EQ(Ch(1).volEnvOutput, 32) << "held on the sustain point";
    Tick();
    EXPECT_EQ(V(0).volume, 0) << "no envelope: silent on the key-off tick";
    EXPECT_EQ(Ch(1).keyOff, 1);
    EXPECT_EQ(Ch(1).fadeoutVolumeQ16, 65536 - 2000);
    EXPECT_EQ(Ch(1).volEnvOutput, 32);
    Tick();
    EXPECT_LT(Ch(1).volEnvOutput, 32) << "released past the sustain point";
    EXPECT_EQ(Ch(1).fadeoutVolumeQ16, 65536 - 4000);
    EXPECT_GT(V(1).volume, 0);
    EXPECT_EQ(triggers, (Triggers{{0, 0, Tone(), 0}, {0, 1, song->instruments[1].samples[0], 0}}))
        << "a key off does not trigger";
}

TEST_F(Sequencer, InstrumentTheSongLacksSilencesTheChannel) {
    XmModuleDesc desc = TestModule(1);
    CellAt(desc, 0, 0, 0) = Cell(kNoteC4, 1);
    CellAt(desc, 0, 1, 0) = Cell(kNoteC4 + 2, 9);
    Start(desc);
    Tick(6);
    ASSERT_EQ(V(0).volume, 127);
    Tick();
    EXPECT_EQ(Ch(0).instrument, 8) << "the number is kept";
    EXPECT_EQ(Ch(0).volume, 0);
    EXPECT_EQ(Ch(0).panning, 0);
    EXPECT_EQ(V(0).sample, &emptySample);
    EXPECT_EQ(V(0).volume, 0);
}

TEST_F(Sequencer, TonePortamentoRowKeepsTheSoundAndAimsAtTheNewNote) {
    XmModuleDesc desc = TestModule(1);
    CellAt(desc, 0, 0, 0) = Cell(kNoteC4, 1, 0x30);  // volume 32
    CellAt(desc, 0, 1, 0) = Cell(kNoteC4 + 4, 1, 0, kEffectTonePorta, 0x10);  // E-4, speed 16
    Start(desc);
    Tick(6);
    ASSERT_EQ(Ch(0).volume, 32);
    Tick();
    EXPECT_EQ(Ch(0).note, 48) << "the note byte is only a target";
    EXPECT_EQ(Ch(0).period, 4608) << "the pitch stays";
    EXPECT_EQ(Ch(0).portaTarget, 4608 - 4 * 64);
    EXPECT_EQ(Ch(0).volume, 64) << "the instrument byte resets the volume";
    EXPECT_EQ(V(0).frequency, 8363);
    EXPECT_EQ(TriggerTicks(0), Ticks{0}) << "no retrigger";
    std::vector<int32_t> periods;
    for (int k = 0; k < 5; ++k) {
        Tick();
        periods.push_back(Ch(0).period);
    }
    const std::vector<int32_t> want = {4544, 4480, 4416, 4352, 4352};
    EXPECT_EQ(periods, want);
}

TEST_F(Sequencer, VolumeColumnTonePortamentoSlidesLikeTheEffect) {
    XmModuleDesc desc = TestModule(1);
    CellAt(desc, 0, 0, 0) = Cell(kNoteC4, 1);
    // C-5, speed 16 from the volume column.
    CellAt(desc, 0, 1, 0) = Cell(kNoteC4 + 12, 0, VolumeColumn(kVolumeTonePorta, 1));
    Start(desc);
    Tick(7);
    EXPECT_EQ(Ch(0).period, 4608);
    EXPECT_EQ(Ch(0).portaTarget, 3840);
    EXPECT_EQ(TriggerTicks(0), Ticks{0}) << "no retrigger";
    Tick();
    EXPECT_EQ(Ch(0).period, 4608 - 64);
}

TEST_F(Sequencer, NoteBytesBeyondTheInstrumentMapAreIgnored) {
    XmModuleDesc desc = TestModule(1);
    CellAt(desc, 0, 0, 0) = Cell(kNoteC4, 1);
    CellAt(desc, 0, 1, 0) = Cell(120);  // only a masked cell can carry it
    Start(desc);
    Tick(7);
    EXPECT_EQ(Ch(0).note, 48);
    EXPECT_EQ(Ch(0).period, 4608);
    EXPECT_EQ(TriggerTicks(0), Ticks{0});
}

TEST_F(Sequencer, ExtremeNotesAndSlidesStayDefined) {
    // A relative note that wraps the note to 255 and arpeggio above it: the frequency is far
    // beyond an int and is clamped, not undefined.
    XmModuleDesc desc = TestModule(2);
    desc.instruments[0].samples[0].relativeNote = -1;
    CellAt(desc, 0, 0, 0) = Cell(kNoteC0, 1, 0, kEffectArpeggio, 0xFF);
    CellAt(desc, 0, 0, 1) = Cell(kNoteC4, 1, 0, kEffectPortaDown, 0xFF);
    for (int row = 1; row < 15; ++row) CellAt(desc, 0, row, 1) = Effect(kEffectPortaDown, 0);
    CellAt(desc, 0, 15, 1) = Effect(kEffectPatternBreak, 0x01);  // loop rows 1..15, off the note
    Start(desc);
    Tick(2);
    EXPECT_EQ(Ch(0).realNote, 255);
    EXPECT_EQ(V(0).frequency, 2147483647);
    // Portamento down without end: the period saturates and the rate sinks to nothing.
    for (int k = 0; k < 24000; ++k) Tick();
    EXPECT_EQ(Ch(1).period, 1 << 24);
    EXPECT_EQ(V(1).frequency, 0);
}

}  // namespace
