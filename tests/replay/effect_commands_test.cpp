#include <functional>

#include "replay_harness.h"

namespace {

class Effects : public ReplayTest {
protected:
    // Plays `rows` (a list of channel-0 cells from row 0) and records `read` after every tick.
    std::vector<int32_t> Trace(const std::vector<NoteCell>& rows, int ticks,
                               const std::function<int32_t()>& read, int speed = 6,
                               bool linear = true) {
        XmModuleDesc desc = TestModule(1, 16, 1, speed);
        if (!linear) desc.flags = 0;
        for (size_t r = 0; r < rows.size(); ++r) CellAt(desc, 0, static_cast<int>(r), 0) = rows[r];
        Start(desc);
        std::vector<int32_t> values;
        for (int k = 0; k < ticks; ++k) {
            Tick();
            values.push_back(read());
        }
        return values;
    }
    std::function<int32_t()> Volume() {
        return [this] { return Ch(0).volume; };
    }
    std::function<int32_t()> Period() {
        return [this] { return Ch(0).period; };
    }
    std::function<int32_t()> Frequency() {
        return [] { return V(0).frequency; };
    }
};

using Ticks = std::vector<int32_t>;

// C-4 on instrument 1.
constexpr NoteCell Note(uint8_t volume = 0, uint8_t effect = 0, uint8_t parameter = 0) {
    return Cell(kNoteC4, 1, volume, effect, parameter);
}
// C-4 on instrument 1 with an E effect.
constexpr NoteCell NoteExtended(uint8_t command, uint8_t value) {
    return Note(0, kEffectExtended, SubCommand(command, value));
}
// A cell with only a volume-column byte.
constexpr NoteCell VolumeOnly(uint8_t volume) { return Cell(kNoteNone, 0, volume); }

TEST_F(Effects, VolumeColumn) {
    struct Case {
        uint8_t volumeColumn;
        Ticks volumes;  // ticks 0..3 of a row starting at volume 64 (instrument default)
    };
    const Case cases[] = {
        {0x10, {0, 0, 0, 0}},         {0x30, {32, 32, 32, 32}},     {0x50, {64, 64, 64, 64}},
        {0x55, {64, 64, 64, 64}},     {0x08, {64, 64, 64, 64}},     {0x62, {62, 60, 58, 56}},
        {0x6F, {49, 34, 19, 4}},      {0x82, {62, 62, 62, 62}},     {0x92, {64, 64, 64, 64}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Trace({Note(c.volumeColumn)}, 4, Volume()), c.volumes) << std::hex << +c.volumeColumn;
        FreeSong(song);
        song = nullptr;
    }
    // Slides up from below.
    EXPECT_EQ(Trace({Note(0x20), VolumeOnly(0x73)}, 9, Volume()),
              (Ticks{16, 16, 16, 16, 16, 16, 19, 22, 25}));
    FreeSong(song);
    song = nullptr;
    EXPECT_EQ(Trace({Note(0x3C), VolumeOnly(0x9F)}, 8, Volume()),
              (Ticks{44, 44, 44, 44, 44, 44, 59, 59}));
}

TEST_F(Effects, VolumeColumnPanningAndVibrato) {
    EXPECT_EQ(Trace({Note(0xC4), VolumeOnly(0xD3), VolumeOnly(0xEF)}, 14,
                    [this] { return Ch(0).panning; }),
              (Ticks{64, 64, 64, 64, 64, 64, 61, 58, 55, 52, 49, 46, 61, 76}));
    FreeSong(song);
    song = nullptr;
    // 0xA speed then 0xB depth: the pitch moves on the other ticks only.
    const Ticks offsets =
        Trace({Note(0xA8), VolumeOnly(0xB8)}, 9, [this] { return Ch(0).pitchOffset; });
    EXPECT_EQ(offsets[6], 0) << "first tick of the 0xB row: depth set, no vibrato yet";
    EXPECT_EQ(offsets[7], 0) << "phase 0 of the sine";
    EXPECT_NE(offsets[8], 0);
    EXPECT_EQ(Ch(0).vibratoDepth, 8);
    EXPECT_EQ(Ch(0).vibratoSpeed, 8);
}

TEST_F(Effects, VolumeSlidesShareOneMemory) {
    // A01 then A00: on down by 1 per other tick; A10 up; A11 up.
    EXPECT_EQ(Trace({Note(0, kEffectVolumeSlide, 0x01), Effect(kEffectVolumeSlide, 0),
                     Effect(kEffectVolumeSlide, 0x10), Effect(kEffectVolumeSlide, 0x11)},
                    24, Volume()),
              (Ticks{64, 63, 62, 61, 60, 59, 59, 58, 57, 56, 55, 54,  //
                     54, 55, 56, 57, 58, 59, 59, 60, 61, 62, 63, 64}));
    FreeSong(song);
    song = nullptr;
    // 5 and 6 slide with the memory A set.
    EXPECT_EQ(Trace({Note(0x30, kEffectVolumeSlide, 0x20), Effect(kEffectVibratoVolumeSlide, 0),
                     Effect(kEffectTonePortaVolumeSlide, 0)},
                    18, Volume()),
              (Ticks{32, 34, 36, 38, 40, 42, 42, 44, 46, 48, 50, 52, 52, 54, 56, 58, 60, 62}));
}

TEST_F(Effects, PortamentosAndTheirLimits) {
    // 1xx stops at period 56; the memory carries over to 100.
    EXPECT_EQ(Trace({Cell(kNoteB7, 1, 0, kEffectPortaUp, 0xFF), Effect(kEffectPortaUp, 0)}, 8,
                    Period()),
              (Ticks{1600, 580, 56, 56, 56, 56, 56, 56}));
    FreeSong(song);
    song = nullptr;
    // 2xx has no limit; E1y/E2y move once, on the first tick, by 4 per step.
    EXPECT_EQ(Trace({Note(0, kEffectPortaDown, 0x10), ExtendedEffect(kExtendedFinePortaUp, 3),
                     ExtendedEffect(kExtendedFinePortaDown, 2)},
                    13, Period()),
              (Ticks{4608, 4672, 4736, 4800, 4864, 4928, 4916, 4916, 4916, 4916, 4916, 4916, 4924}));
    FreeSong(song);
    song = nullptr;
    // X1y and X2y move by the value itself, each with its own memory.
    EXPECT_EQ(Trace({Note(0, kEffectExtraFinePorta, 0x13), Effect(kEffectExtraFinePorta, 0x10),
                     Effect(kEffectExtraFinePorta, 0x25), Effect(kEffectExtraFinePorta, 0x20)},
                    4, Period(), 1),
              (Ticks{4605, 4602, 4607, 4612}));
}

TEST_F(Effects, TonePortamentoKeepsItsSpeed) {
    // 308 toward C#4; 300 toward B-3 keeps speed 8; 5xy never sets a speed.
    EXPECT_EQ(Trace({Note(), Cell(kNoteC4 + 1, 0, 0, kEffectTonePorta, 0x08),
                     Cell(kNoteC4 - 1, 0, 0, kEffectTonePorta, 0x00),
                     Cell(kNoteC4, 0, 0, kEffectTonePortaVolumeSlide, 0x00)},
                    24, Period()),
              (Ticks{4608, 4608, 4608, 4608, 4608, 4608,  //
                     4608, 4576, 4544, 4544, 4544, 4544,  //
                     4544, 4576, 4608, 4640, 4672, 4672,  //
                     4672, 4640, 4608, 4608, 4608, 4608}));
    EXPECT_EQ(TriggerTicks(0), Ticks{0}) << "the notes of 3xx and 5xy rows are only targets";
    FreeSong(song);
    song = nullptr;
    // Speeds that do not divide the distance stop exactly on the target, down (305 to B-3,
    // 64 units) and up (30C to C#4, 128 units).
    EXPECT_EQ(Trace({Note(), Cell(kNoteC4 - 1, 0, 0, kEffectTonePorta, 0x05),
                     Cell(kNoteC4 + 1, 0, 0, kEffectTonePorta, 0x0C)},
                    18, Period()),
              (Ticks{4608, 4608, 4608, 4608, 4608, 4608,  //
                     4608, 4628, 4648, 4668, 4672, 4672,  //
                     4672, 4624, 4576, 4544, 4544, 4544}));
    FreeSong(song);
    song = nullptr;
    // A tone portamento with a note on a channel that has nothing playing only sets the target.
    EXPECT_EQ(Trace({Note(0, kEffectTonePorta, 0x08)}, 2, Period()), (Ticks{0, 32}));
    EXPECT_EQ(V(0).sample, nullptr);
}

TEST_F(Effects, ArpeggioInBothTables) {
    // Base, +3, +7 on ticks 0..5 as 0, 1, 2, 0, 1, 2 by the tick number.
    EXPECT_EQ(Trace({Note(0, kEffectArpeggio, 0x37)}, 6, Frequency()),
              (Ticks{8363, 9945, 12530, 8363, 9945, 12530}));
    FreeSong(song);
    song = nullptr;
    EXPECT_EQ(Trace({Note(0, kEffectArpeggio, 0x37)}, 6, Frequency(), 6, false),
              (Ticks{8362, 9949, 12536, 8362, 9949, 12536}));
    FreeSong(song);
    song = nullptr;
    EXPECT_EQ(Trace({Note(0, kEffectArpeggio, 0x00)}, 3, Frequency()), (Ticks{8363, 8363, 8363}));
}

TEST_F(Effects, VibratoWaveforms) {
    struct Case {
        uint8_t waveform;
        Ticks offsets;  // pitchOffset on ticks 0..5 with speed 8, depth 4
    };
    // Sine magnitudes at phases 0, 8, 16, 24, -32, -24: 0, 181, 255, 181, 0, 181.
    const Case cases[] = {
        {0, {0, 0, -20, -28, -20, 0}},
        {1, {0, 0, -8, -16, -24, 28}},
        {2, {-28, -28, -28, -28, -28, 28}},
    };
    for (const Case& c : cases) {
        // Row 0 chooses the waveform, row 1 carries the vibrato.
        const Ticks all = Trace({NoteExtended(kExtendedVibratoWaveform, c.waveform),
                                 Effect(kEffectVibrato, 0x84)},
                                12, [this] { return Ch(0).pitchOffset; });
        EXPECT_EQ(Ticks(all.begin() + 6, all.end()), c.offsets) << +c.waveform;
        FreeSong(song);
        song = nullptr;
    }
}

TEST_F(Effects, Tremor) {
    // T12: 2 ticks on, 3 off, running on across rows.
    EXPECT_EQ(Trace({Note(0, kEffectTremor, 0x12), Effect(kEffectTremor, 0)}, 12,
                    [] { return V(0).volume; }),
              (Ticks{127, 127, 0, 0, 0, 127, 127, 0, 0, 0, 127, 127}));
    FreeSong(song);
    song = nullptr;
    // T00 on a channel that never had a tremor: both phases 0, silent throughout.
    EXPECT_EQ(Trace({Note(0, kEffectTremor, 0x00)}, 6, [] { return V(0).volume; }), (Ticks(6, 0)));
}

TEST_F(Effects, MultiRetrigger) {
    struct Case {
        uint8_t code;
        int32_t volume;  // after one retrigger from 32
    };
    const Case cases[] = {{1, 31}, {2, 30}, {3, 28}, {4, 24},  {5, 16},  {6, 21},  {7, 16}, {8, 32},
                          {9, 33}, {10, 34}, {11, 36}, {12, 40}, {13, 48}, {14, 48}, {15, 64}};
    for (const Case& c : cases) {
        const Ticks volumes =
            Trace({Note(0x30, kEffectMultiRetrigger, static_cast<uint8_t>(c.code << 4 | 2))}, 3,
                  Volume());
        EXPECT_EQ(volumes, (Ticks{32, 32, c.volume})) << +c.code;
        EXPECT_EQ(TriggerTicks(0), (Ticks{0, 2})) << +c.code;
        FreeSong(song);
        song = nullptr;
    }
    // R41: every tick after the first, 8 quieter each time, and the Sample restarts.
    EXPECT_EQ(Trace({Note(0, kEffectMultiRetrigger, 0x41)}, 6, Volume()),
              (Ticks{64, 56, 48, 40, 32, 24}));
    EXPECT_EQ(TriggerTicks(0), (Ticks{0, 1, 2, 3, 4, 5}));
    FreeSong(song);
    song = nullptr;
    // R00 on a fresh channel: nothing.
    EXPECT_EQ(Trace({Note(0, kEffectMultiRetrigger, 0x00)}, 6, Volume()), Ticks(6, 64));
    EXPECT_EQ(TriggerTicks(0), Ticks{0});
}

TEST_F(Effects, SampleOffset) {
    // 902 within the 1000-value Sample: starts at 512.
    Trace({Note(0, kEffectSampleOffset, 0x02)}, 1, Volume());
    EXPECT_EQ(triggers, (Triggers{{0, 0, Tone(), 512}}));
    FreeSong(song);
    song = nullptr;
    // 904 is at or past the end: the Voice stops, with or without a note.
    Trace({Note(0, kEffectSampleOffset, 0x04)}, 1, Volume());
    EXPECT_EQ(V(0).sample, nullptr);
    FreeSong(song);
    song = nullptr;
    Trace({Note(), Effect(kEffectSampleOffset, 0x04)}, 7, Volume());
    EXPECT_EQ(V(0).sample, nullptr);
    EXPECT_EQ(V(0).startOffset, 0);
    FreeSong(song);
    song = nullptr;
    // 901 on a row without a note waits for the next trigger.
    Trace({Note(), Effect(kEffectSampleOffset, 0x01), Cell(kNoteC4)}, 7, Volume());
    EXPECT_EQ(V(0).startOffset, 256);
    Tick(6);
    EXPECT_EQ(triggers, (Triggers{{0, 0, Tone(), 0}, {12, 0, Tone(), 256}}));
    EXPECT_EQ(V(0).startOffset, 0);
}

TEST_F(Effects, NoteCutAndRetrigger) {
    struct Case {
        uint8_t command, value;
        Ticks volumes;   // ticks 0..5
        Ticks triggers;  // tick 0 is the note's own
    };
    const Case cases[] = {
        {kExtendedNoteCut, 2, {64, 64, 0, 0, 0, 0}, {0}},
        {kExtendedNoteCut, 0, Ticks(6, 64), {0}},
        {kExtendedRetrigger, 3, Ticks(6, 64), {0, 3}},
        {kExtendedRetrigger, 2, Ticks(6, 64), {0, 2, 4}},
        {kExtendedRetrigger, 0, Ticks(6, 64), {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "E" << std::hex << +c.command << +c.value);
        EXPECT_EQ(Trace({NoteExtended(c.command, c.value)}, 6, Volume()), c.volumes);
        EXPECT_EQ(TriggerTicks(0), c.triggers);
        FreeSong(song);
        song = nullptr;
    }
}

TEST_F(Effects, NoteDelay) {
    // The previous note (volume 32, C-4) sounds on until tick 2, then the new one starts.
    XmModuleDesc desc = TestModule(1);
    CellAt(desc, 0, 0, 0) = Note(0x30);
    CellAt(desc, 0, 1, 0) =
        Cell(kNoteC4 + 12, 1, 0x28, kEffectExtended, SubCommand(kExtendedNoteDelay, 2));
    Start(desc);
    Tick(6);
    std::vector<int32_t> volumes, frequencies;
    for (int k = 0; k < 6; ++k) {
        Tick();
        volumes.push_back(V(0).volume);
        frequencies.push_back(V(0).frequency);
    }
    EXPECT_EQ(volumes, (Ticks{63, 63, 47, 47, 47, 47}));
    EXPECT_EQ(frequencies, (Ticks{8363, 8363, 16726, 16726, 16726, 16726}));
    EXPECT_EQ(Ch(0).note, 60);
    EXPECT_EQ(TriggerTicks(0), (Ticks{0, 8})) << "on tick 2 of row 1, not on its tick 0";

    // With its instrument and no volume-column value, the delayed note takes the Sample's own
    // volume, not the 32 of the note before it.
    FreeSong(song);
    song = nullptr;
    desc = TestModule(1);
    CellAt(desc, 0, 0, 0) = Note(0x30);
    CellAt(desc, 0, 1, 0) =
        Cell(kNoteC4 + 12, 1, 0, kEffectExtended, SubCommand(kExtendedNoteDelay, 2));
    Start(desc);
    Tick(9);
    EXPECT_EQ(Ch(0).volume, 64);
    EXPECT_EQ(V(0).volume, 127);

    // ED0 never starts the note, though the channel has taken it over.
    FreeSong(song);
    song = nullptr;
    desc = TestModule(1);
    CellAt(desc, 0, 0, 0) = Note(0x30);
    CellAt(desc, 0, 1, 0) =
        Cell(kNoteC4 + 12, 1, 0, kEffectExtended, SubCommand(kExtendedNoteDelay, 0));
    Start(desc);
    Tick(12);
    EXPECT_EQ(V(0).frequency, 8363);
    EXPECT_EQ(Ch(0).note, 60);
    EXPECT_EQ(TriggerTicks(0), Ticks{0});

    // Beside a note delay a volume-column tone portamento cannot keep the playing Sample: the
    // delayed note starts its own instrument's Sample, at that Sample's volume and pitch.
    FreeSong(song);
    song = nullptr;
    desc = TestModule(1);
    XmSampleDesc other = desc.instruments[0].samples[0];
    other.volume = 40;
    other.relativeNote = 12;
    desc.instruments.push_back(InstrumentWith({other}));
    CellAt(desc, 0, 0, 0) = Note(0x30);
    CellAt(desc, 0, 1, 0) = Cell(kNoteC4 + 1, 2, VolumeColumn(kVolumeTonePorta, 1), kEffectExtended,
                                 SubCommand(kExtendedNoteDelay, 1));
    Start(desc);
    Tick(8);
    EXPECT_EQ(V(0).sample, song->instruments[1].samples[0]);
    EXPECT_EQ(Ch(0).volume, 40);
    EXPECT_EQ(V(0).frequency, 17720) << "C#-5: 8363 Hz x 2^(13/12)";
    EXPECT_EQ(TriggerTicks(0), (Ticks{0, 7}));
}

TEST_F(Effects, GlobalVolume) {
    // G20 halves every Voice; G50 is 64; H slides without sending, the next row sends.
    const Ticks volumes =
        Trace({Note(0, kEffectGlobalVolume, 0x20), Effect(kEffectGlobalVolume, 0x50),
               Effect(kEffectGlobalVolumeSlide, 0x01), Cell(kNoteNone)},
              19, [] { return V(0).volume; });
    EXPECT_EQ(volumes[0], 63);
    EXPECT_EQ(volumes[6], 127);
    EXPECT_EQ(volumes[17], 127) << "H does not send a volume";
    EXPECT_EQ(volumes[18], 117) << "the next row's first tick sends the slid global volume";
    EXPECT_EQ(song->globalVolume, 59);
    FreeSong(song);
    song = nullptr;
    // Sliding up stops at 64.
    EXPECT_EQ(Trace({Note(0, kEffectGlobalVolume, 0x3C), Effect(kEffectGlobalVolumeSlide, 0x20)},
                    12, [this] { return song->globalVolume; }),
              (Ticks{60, 60, 60, 60, 60, 60, 60, 62, 64, 64, 64, 64}));
}

TEST_F(Effects, PanningAndKeyOff) {
    EXPECT_EQ(Trace({Note(0, kEffectSetPanning, 0x40), Effect(kEffectPanningSlide, 0x20),
                     Effect(kEffectPanningSlide, 0), ExtendedEffect(kExtendedPanning, 0xF)},
                    19, [this] { return Ch(0).panning; }),
              (Ticks{64, 64, 64, 64, 64, 64, 64, 66, 68, 70, 72, 74, 74, 76, 78, 80, 82, 84, 240}));
    FreeSong(song);
    song = nullptr;
    // K00: key off as an effect, whatever its parameter.
    Trace({Note(), Effect(kEffectKeyOff, 0x33)}, 7, Volume());
    EXPECT_EQ(Ch(0).keyOff, 1);
    EXPECT_EQ(V(0).volume, 0);
    EXPECT_EQ(TriggerTicks(0), Ticks{0}) << "a key off does not trigger";
}

TEST_F(Effects, FineVolumeSlidesShareAMemory) {
    const Ticks volumes =
        Trace({Note(0x30, kEffectExtended, SubCommand(kExtendedFineVolumeUp, 4)),
               ExtendedEffect(kExtendedFineVolumeUp, 0), ExtendedEffect(kExtendedFineVolumeDown, 0),
               ExtendedEffect(kExtendedFineVolumeDown, 2)},
              24, Volume());
    EXPECT_EQ(volumes[23], 32 + 4 + 4 - 4 - 2);
}

TEST_F(Effects, SetFinetuneChangesTheSampleForLaterNotes) {
    XmModuleDesc desc = TestModule(2);
    CellAt(desc, 0, 0, 0) = NoteExtended(kExtendedFinetune, 8);
    CellAt(desc, 0, 1, 1) = Note();
    Start(desc);
    Tick(1);
    EXPECT_EQ(Ch(0).period, 4608) << "this row's period was computed before";
    EXPECT_EQ(song->instruments[0].samples[0]->finetune, 8);
    Tick(6);
    EXPECT_EQ(Ch(1).period, 4608 - 4) << "another channel's later note hears it";
}

TEST_F(Effects, EnvelopePositionMovesTheVolumeEnvelope) {
    XmModuleDesc desc = TestModule(1);
    desc.instruments[0].volumeEnvelope.points = {{0, 64}, {10, 0}};
    desc.instruments[0].volumeEnvelope.type = kEnvelopeOn;
    CellAt(desc, 0, 0, 0) = Note(0, kEffectEnvelopePosition, 5);
    CellAt(desc, 0, 1, 0) = Effect(kEffectEnvelopePosition, 200);
    Start(desc);
    Tick();
    EXPECT_EQ(Ch(0).volEnvTick, 5);
    EXPECT_EQ(Ch(0).volEnvOutput, 32);
    Tick();
    EXPECT_EQ(Ch(0).volEnvOutput, 25);
    Tick(5);
    EXPECT_EQ(Ch(0).volEnvOutput, 0);
    EXPECT_EQ(Ch(0).volEnvDone, 1);
}

TEST_F(Effects, UnknownEffectsAreIgnored) {
    // Tremolo, the letters I, J, M and V, and numbers past X.
    const uint8_t ignored[] = {kEffectTremolo, 0x12, 0x13, 0x16, 0x1F, kEffectNumbers, 0x30, 0xFF};
    for (uint8_t effect : ignored) {
        EXPECT_EQ(Trace({Note(0x30, effect, 0x5F)}, 6, Volume()), Ticks(6, 32)) << +effect;
        EXPECT_EQ(V(0).frequency, 8363);
        FreeSong(song);
        song = nullptr;
    }
}

}  // namespace
