#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "replay/sequencer.h"
#include "replay/song_control.h"
#include "sound/file_hooks.h"
#include "sound/memory_files.h"
#include "sound/xm_loader.h"
#include "sound/xm_writer.h"
#include "tests/support/module_builders.h"

namespace {

struct SongDeleter {
    void operator()(Song* song) const { FreeSong(song); }
};
using SongPtr = std::unique_ptr<Song, SongDeleter>;

SongPtr LoadBytes(std::vector<uint8_t> bytes, SampleDataHook hook = nullptr) {
    UseMemoryFileHooks();
    AddMemoryFile("test.xm", std::move(bytes));
    SongPtr song(CreateSong("test.xm", hook));
    EXPECT_EQ(OpenMemoryFileCount(), 0) << "the loader must close its stream";
    return song;
}

SongPtr Load(const XmModuleDesc& desc, SampleDataHook hook = nullptr) {
    return LoadBytes(WriteXm(desc), hook);
}

void ExpectCell(const NoteCell& got, const NoteCell& want, const char* where) {
    EXPECT_EQ(got.note, want.note) << where;
    EXPECT_EQ(got.instrument, want.instrument) << where;
    EXPECT_EQ(got.volume, want.volume) << where;
    EXPECT_EQ(got.effect, want.effect) << where;
    EXPECT_EQ(got.parameter, want.parameter) << where;
}

// ---------------------------------------------------------------------------------------------
// A crafted module read back field by field.

TEST(XmLoaderReadBack, HeaderOrdersAndPatterns) {
    XmModuleDesc desc;
    desc.channelCount = 3;
    desc.restartPosition = 2;
    desc.flags = kLinearFrequencyFlag;
    desc.defaultSpeed = 5;
    desc.defaultBpm = 140;
    // Entries past songLength do not count as referenced; order 3 names a pattern the file lacks.
    desc.orders = {0, 1, 2, 5, 40};
    desc.songLength = 4;

    XmPatternDesc masked = MakePattern(4, 3);
    masked.cells[0] = Cell(kNoteC4, 1, 0x40, kEffectSpeed, 0x03);  // all five: written raw
    masked.cells[1] = Cell(kFileNoteKeyOff);
    masked.cells[2] = Cell(kNoteNone, 200, 0, kEffectVolumeSlide, 0);  // instrument above 128
    masked.cells[5] = Cell(12, 0, 0x10, kEffectArpeggio, 0x77);
    masked.cells[11] = Cell(kNoteNone, 128);  // highest valid instrument, last cell
    XmPatternDesc raw = MakePattern(2, 3);
    raw.packing = XmPacking::Raw;
    raw.cells[1] = Cell(kFileNoteKeyOff, 129, 0x50, kEffectExtended, SubCommand(kExtendedNoteCut, 3));
    raw.cells[4] = Cell(kNoteB7, 255);
    XmPatternDesc empty;
    empty.rows = 8;
    empty.packing = XmPacking::Empty;
    empty.cells.assign(8 * 3, Cell(1, 1, 1, 1, 1));  // not written: packed size 0
    desc.patterns = {masked, raw, empty};

    SongPtr song = Load(desc);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 4);
    EXPECT_EQ(song->restartPosition, 2);
    EXPECT_EQ(song->channelCount, 3);
    EXPECT_EQ(song->flags, kLinearFrequencyFlag);
    EXPECT_EQ(song->defaultSpeed, 5);
    EXPECT_EQ(song->defaultBpm, 140);
    EXPECT_EQ(song->initialGlobalVolume, 64);
    EXPECT_EQ(song->tickCallback, &ReplayTick);
    EXPECT_EQ(song->orderTable[3], 5);
    EXPECT_EQ(song->orderTable[4], 40);
    EXPECT_EQ(song->orderTable[5], 0);
    EXPECT_EQ(song->patternsReferenced, 6);
    EXPECT_EQ(song->patternSlots, 6);
    EXPECT_EQ(song->next, song.get());
    EXPECT_EQ(song->prev, song.get());
    EXPECT_EQ(song->channels, nullptr);
    EXPECT_EQ(song->playing, 0);

    const Pattern& p0 = song->patterns[0];
    ASSERT_EQ(p0.rows, 4);
    ExpectCell(p0.cells[0], Cell(kNoteC4, 1, 0x40, kEffectSpeed, 0x03), "p0 cell 0");
    ExpectCell(p0.cells[1], Cell(kNoteKeyOff), "p0 cell 1");
    ExpectCell(p0.cells[2], Effect(kEffectVolumeSlide, 0), "p0 cell 2");
    ExpectCell(p0.cells[5], Cell(12, 0, 0x10, kEffectArpeggio, 0x77), "p0 cell 5");
    ExpectCell(p0.cells[11], Cell(kNoteNone, 128), "p0 cell 11");
    ExpectCell(p0.cells[7], NoteCell{}, "p0 cell 7");

    const Pattern& p1 = song->patterns[1];
    ASSERT_EQ(p1.rows, 2);
    ExpectCell(p1.cells[1],
               Cell(kNoteKeyOff, 0, 0x50, kEffectExtended, SubCommand(kExtendedNoteCut, 3)), "p1 cell 1");
    ExpectCell(p1.cells[4], Cell(kNoteB7), "p1 cell 4");
    ExpectCell(p1.cells[0], NoteCell{}, "p1 cell 0");

    const Pattern& p2 = song->patterns[2];
    ASSERT_EQ(p2.rows, 8);
    for (int c = 0; c < 8 * 3; ++c) ExpectCell(p2.cells[c], NoteCell{}, "empty pattern");

    for (int p = 3; p < 6; ++p) {
        ASSERT_EQ(song->patterns[p].rows, 64) << p;
        for (int c = 0; c < 64 * 3; ++c) ExpectCell(song->patterns[p].cells[c], NoteCell{}, "missing");
    }
}

TEST(XmLoaderReadBack, MaskByteWithoutFieldsIsOneEmptyCell) {
    XmModuleDesc desc = ModuleWith({});
    desc.channelCount = 2;
    // Cell 0: a bare mask. Cell 1: mask with note and parameter. Cell 2 (row 1): raw cell.
    desc.patterns[0].rows = 2;
    desc.patterns[0].packedBytes =
        std::vector<uint8_t>{0x80, 0x91, 30, 0x44, 13, 2, 0x60, 0x0C, 0x20, 0x80};
    SongPtr song = Load(desc);
    ASSERT_TRUE(song);
    const NoteCell* cells = song->patterns[0].cells;
    ExpectCell(cells[0], NoteCell{}, "bare mask");
    ExpectCell(cells[1], Cell(30, 0, 0, kEffectArpeggio, 0x44), "note and parameter");
    ExpectCell(cells[2], Cell(13, 2, 0x60, kEffectSetVolume, 0x20), "raw");
    ExpectCell(cells[3], NoteCell{}, "trailing bare mask");
}

TEST(XmLoaderReadBack, InstrumentHeaderEnvelopesAndVibrato) {
    XmInstrumentDesc instrument = InstrumentWith({Sample8({1, 2, 3, 4}), Sample8({5, 6})});
    for (int n = 0; n < kNoteCount; ++n) instrument.sampleForNote[n] = n < 48 ? 0 : 1;
    instrument.sampleForNote[95] = 20;  // out of range: kept, the replay treats it as empty
    instrument.volumeEnvelope.points = {{0, 64}, {10, 32}, {20, 48}, {40, 0}};
    instrument.volumeEnvelope.sustain = 1;
    instrument.volumeEnvelope.loopStart = 1;
    instrument.volumeEnvelope.loopEnd = 2;
    instrument.volumeEnvelope.type = kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop;
    instrument.panningEnvelope.points = {{0, 32}, {5, 0}, {15, 64}};
    instrument.panningEnvelope.sustain = 2;
    instrument.panningEnvelope.type = kEnvelopeOn | kEnvelopeSustain;
    instrument.vibratoType = 2;
    instrument.vibratoSweep = 17;
    instrument.vibratoDepth = 9;
    instrument.vibratoRate = 33;
    instrument.fadeout = 0x0123;

    SongPtr song = Load(ModuleWith({instrument}));
    ASSERT_TRUE(song);
    ASSERT_EQ(song->instrumentCount, 1);
    const Instrument& in = song->instruments[0];
    EXPECT_EQ(in.sampleCount, 2);
    EXPECT_EQ(in.sampleForNote[0], 0);
    EXPECT_EQ(in.sampleForNote[48], 1);
    EXPECT_EQ(in.sampleForNote[95], 20);
    EXPECT_EQ(in.volumePointCount, 4);
    EXPECT_EQ(in.volumeEnvelope[2].x, 20);
    EXPECT_EQ(in.volumeEnvelope[2].y, 48);
    EXPECT_EQ(in.volumeEnvelope[3].x, 40);
    EXPECT_EQ(in.volumeEnvelope[4].x, 0);  // unused file points are zero
    for (int k = kEnvelopeFilePoints; k < kEnvelopePoints; ++k) {
        EXPECT_EQ(in.volumeEnvelope[k].x, 0);
        EXPECT_EQ(in.panningEnvelope[k].y, 0);
    }
    EXPECT_EQ(in.volumeSustain, 1);
    EXPECT_EQ(in.volumeLoopStart, 1);
    EXPECT_EQ(in.volumeLoopEnd, 2);
    EXPECT_EQ(in.volumeType, kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop);
    EXPECT_EQ(in.panningPointCount, 3);
    EXPECT_EQ(in.panningEnvelope[2].x, 15);
    EXPECT_EQ(in.panningEnvelope[2].y, 64);
    EXPECT_EQ(in.panningSustain, 2);
    EXPECT_EQ(in.panningType, kEnvelopeOn | kEnvelopeSustain);
    EXPECT_EQ(in.vibratoType, 2);
    EXPECT_EQ(in.vibratoSweep, 17);
    EXPECT_EQ(in.vibratoDepth, 9);
    EXPECT_EQ(in.vibratoRate, 33);
    EXPECT_EQ(in.fadeout, 0x0246);
    for (int j = 2; j < kMaxSamplesPerInstrument; ++j) EXPECT_EQ(in.samples[j], &emptySample);
}

TEST(XmLoaderReadBack, EmptyInstrumentSeeksToNextByHeaderSize) {
    XmInstrumentDesc empty;
    empty.headerSize = 57;  // whatever the size, the next instrument starts right after it
    XmInstrumentDesc emptyShort;
    emptyShort.headerSize = 29;
    XmSampleDesc s = Sample8({10, -10, 20});
    s.volume = 33;
    s.finetune = -17;
    s.panning = 200;
    s.relativeNote = -12;
    SongPtr song = Load(ModuleWith({empty, emptyShort, InstrumentWith({s})}));
    ASSERT_TRUE(song);
    ASSERT_EQ(song->instrumentCount, 3);
    for (int i = 0; i < 2; ++i) {
        const Instrument& in = song->instruments[i];
        EXPECT_EQ(in.sampleCount, 0);
        for (const Sample* slot : in.samples) EXPECT_EQ(slot, &emptySample);
        EXPECT_EQ(in.volumeType, 0);
        EXPECT_EQ(in.fadeout, 0);
    }
    const Instrument& in = song->instruments[2];
    ASSERT_EQ(in.sampleCount, 1);
    const Sample& sample = *in.samples[0];
    EXPECT_EQ(sample.length, 3u);
    EXPECT_EQ(sample.volume, 33);
    EXPECT_EQ(sample.finetune, -17);
    EXPECT_EQ(sample.panning, 200);
    EXPECT_EQ(sample.relativeNote, -12);
    EXPECT_EQ(sample.data[2], 20 * 256);
}

// ---------------------------------------------------------------------------------------------
// Sample data, loops and guards.

struct LoopCase {
    const char* name;
    uint8_t loopBits;
    uint32_t loopStart, loopLength;    // in values, as written
    uint8_t wantType;
    uint32_t wantStart, wantLength;
    uint32_t guardSource;              // index whose value the guard copies
};

void PrintTo(const LoopCase& c, std::ostream* out) { *out << c.name; }

class XmLoaderLoops : public ::testing::TestWithParam<LoopCase> {};

TEST_P(XmLoaderLoops, LoopFieldsAndGuard) {
    const LoopCase& c = GetParam();
    const std::vector<int16_t> values = {100, -200, 300, -400, 500, -600, 700, -800};
    for (bool sixteen : {false, true}) {
        XmSampleDesc s = sixteen ? Sample16({}) : Sample8({});
        for (int16_t v : values) s.values.push_back(sixteen ? static_cast<int16_t>(v * 37) : v / 8);
        s.loopBits = c.loopBits;
        s.loopStart = c.loopStart;
        s.loopLength = c.loopLength;
        SongPtr song = Load(ModuleWith({InstrumentWith({s})}));
        ASSERT_TRUE(song);
        const Sample& sample = *song->instruments[0].samples[0];
        const int scale = sixteen ? 1 : 256;
        SCOPED_TRACE(std::string(c.name) + (sixteen ? " 16-bit" : " 8-bit"));
        EXPECT_EQ(sample.bits, 16);
        EXPECT_EQ(sample.length, values.size());
        EXPECT_EQ(sample.loopType, c.wantType);
        EXPECT_EQ(sample.loopStart, c.wantStart);
        EXPECT_EQ(sample.loopLength, c.wantLength);
        // A loop that ends before the sample does gives up the value at its end to the guard: the
        // values after a loop end are never played.
        const uint32_t end = sample.loopStart + sample.loopLength;
        for (uint32_t k = 0; k < values.size(); ++k) {
            if (k != end) {
                EXPECT_EQ(sample.data[k], s.values[k] * scale) << k;
            }
        }
        EXPECT_EQ(sample.data[end], s.values[c.guardSource] * scale);
        for (uint32_t k = end + 1; k < sample.length + kSampleGuardValues; ++k) {
            EXPECT_EQ(sample.data[k], k < sample.length ? s.values[k] * scale : 0) << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmLoaderLoops,
    ::testing::Values(
        LoopCase{"no loop", 0, 2, 3, kLoopNone, 0, 8, 0},
        LoopCase{"forward", kSampleTypeForward, 2, 3, kLoopForward, 2, 3, 2},
        LoopCase{"forward to the end", kSampleTypeForward, 4, 4, kLoopForward, 4, 4, 4},
        LoopCase{"ping-pong", kSampleTypePingPong, 2, 3, kLoopPingPong, 2, 3, 4},
        LoopCase{"both bits are ping-pong", kSampleTypeLoopBits, 1, 6, kLoopPingPong, 1, 6, 6},
        LoopCase{"one-value ping-pong", kSampleTypePingPong, 5, 1, kLoopPingPong, 5, 1, 5},
        LoopCase{"loop length 0 is no loop", kSampleTypeForward, 3, 0, kLoopNone, 0, 8, 0},
        LoopCase{"loop past the end is cut", kSampleTypeForward, 5, 10, kLoopForward, 5, 3, 5},
        LoopCase{"ping-pong past the end is cut", kSampleTypePingPong, 6, 0xFFFFFF00u,
                 kLoopPingPong, 6, 2, 7},
        LoopCase{"loop starting past the end", kSampleTypeForward, 9, 2, kLoopNone, 0, 8, 0},
        LoopCase{"loop starting at the end", kSampleTypePingPong, 8, 2, kLoopNone, 0, 8, 0}),
    [](const ::testing::TestParamInfo<LoopCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

TEST(XmLoaderSamples, EightBitWideningEqualsEightBitDecodingTimes256) {
    // Deltas that wrap in 8 bits: decoding with 8-bit wrap then scaling must equal what the loader
    // does with 16-bit wrap on the scaled deltas.
    std::vector<uint8_t> deltas;
    uint32_t seed = 12345;
    for (int k = 0; k < 1000; ++k) {
        seed = seed * 1103515245u + 12345u;
        deltas.push_back(static_cast<uint8_t>(seed >> 16));
    }
    XmSampleDesc s = Sample8({});
    s.lengthBytes = static_cast<uint32_t>(deltas.size());
    s.rawData = deltas;
    SongPtr song = Load(ModuleWith({InstrumentWith({s})}));
    ASSERT_TRUE(song);
    const Sample& sample = *song->instruments[0].samples[0];
    ASSERT_EQ(sample.length, deltas.size());
    int8_t running = 0;
    for (size_t k = 0; k < deltas.size(); ++k) {
        running = static_cast<int8_t>(static_cast<uint8_t>(running + deltas[k]));
        ASSERT_EQ(sample.data[k], running * 256) << k;
    }
}

TEST(XmLoaderSamples, SixteenBitDeltasWrap) {
    XmSampleDesc s = Sample16({32767, -32768, 0, -1, 32767, 12345});
    SongPtr song = Load(ModuleWith({InstrumentWith({s})}));
    ASSERT_TRUE(song);
    const Sample& sample = *song->instruments[0].samples[0];
    ASSERT_EQ(sample.length, 6u);
    for (size_t k = 0; k < 6; ++k) EXPECT_EQ(sample.data[k], s.values[k]) << k;
}

TEST(XmLoaderSamples, OddSixteenBitLengthAndLengthZero) {
    // Header says 7 bytes for a 16-bit sample: three values are read, and the next sample's data
    // starts at the very next byte.
    XmSampleDesc odd = Sample16({1000, 2000, 3000});
    odd.lengthBytes = 7;
    XmSampleDesc none = Sample8({});
    none.loopBits = kSampleTypeForward;
    none.loopStart = 4;
    none.loopLength = 4;
    XmSampleDesc after = Sample8({7, 8, 9});
    SongPtr song = Load(ModuleWith({InstrumentWith({odd, none, after})}));
    ASSERT_TRUE(song);
    const Instrument& in = song->instruments[0];
    EXPECT_EQ(in.samples[0]->length, 3u);
    EXPECT_EQ(in.samples[0]->data[2], 3000);
    EXPECT_EQ(in.samples[0]->data[3], 1000);  // guard of an unlooped sample
    EXPECT_EQ(in.samples[1]->length, 0u);
    EXPECT_EQ(in.samples[1]->data, nullptr);
    EXPECT_EQ(in.samples[1]->loopLength, 0u);
    EXPECT_EQ(in.samples[1]->loopStart, 0u);
    EXPECT_EQ(in.samples[1]->loopType, kLoopNone);
    ASSERT_EQ(in.samples[2]->length, 3u);
    EXPECT_EQ(in.samples[2]->data[0], 7 * 256);
    EXPECT_EQ(in.samples[2]->data[2], 9 * 256);
}

std::vector<std::vector<int>> hookCalls;

void RecordingHook(void* destination, uint32_t bytes, int bits, int instrumentIndex,
                   int sampleIndex) {
    hookCalls.push_back({static_cast<int>(bytes), bits, instrumentIndex, sampleIndex});
    auto* out = static_cast<uint8_t*>(destination);
    for (uint32_t k = 0; k < bytes; ++k) out[k] = static_cast<uint8_t>(k + 1);
}

TEST(XmLoaderSamples, DataHookReplacesFileDataWithoutDecoding) {
    hookCalls.clear();
    XmInstrumentDesc first = InstrumentWith({Sample8({50, 60, 70}), Sample8({})});
    XmInstrumentDesc second = InstrumentWith({Sample16({5, 6})});
    XmInstrumentDesc third = InstrumentWith({Sample8({-1, -2})});
    SongPtr song = Load(ModuleWith({first, XmInstrumentDesc{}, second, third}), RecordingHook);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->sampleDataHook, &RecordingHook);
    const std::vector<std::vector<int>> want = {{3, 8, 0, 0}, {4, 16, 2, 0}, {2, 8, 3, 0}};
    EXPECT_EQ(hookCalls, want);
    const Sample& eight = *song->instruments[0].samples[0];
    EXPECT_EQ(eight.data[0], 1 * 256);  // plain values, widened, not summed
    EXPECT_EQ(eight.data[2], 3 * 256);
    EXPECT_EQ(eight.data[3], 1 * 256);  // guard
    const Sample& sixteen = *song->instruments[2].samples[0];
    EXPECT_EQ(sixteen.data[0], 0x0201);
    EXPECT_EQ(sixteen.data[1], 0x0403);
    // The stream moved past each sample's bytes, so the last instrument was found.
    EXPECT_EQ(song->instruments[3].samples[0]->length, 2u);
}

// ---------------------------------------------------------------------------------------------
// Files that are refused.

TEST(XmLoaderRefuses, WrongIdLeavesSongUntouched) {
    std::vector<uint8_t> bytes = WriteXm(ModuleWith({}));
    bytes[16] = '!';
    UseMemoryFileHooks();
    AddMemoryFile("bad.xm", bytes);
    Song song{};
    ListMakeSelfLinked(&song);
    Stream* stream = StreamOpen("bad.xm");
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(LoadXm(&song, stream));
    StreamClose(stream);
    EXPECT_EQ(song.tickCallback, nullptr);
    EXPECT_EQ(song.initialGlobalVolume, 0);
    EXPECT_EQ(song.patterns, nullptr);
    EXPECT_FALSE(LoadBytes(bytes));
    EXPECT_EQ(LastXmLoadError(), XmLoadError::NotXm);
    EXPECT_FALSE(LoadBytes({}));
    EXPECT_FALSE(LoadBytes({'E', 'x', 't'}));
}

TEST(XmLoaderRefuses, HeaderLimits) {
    struct Case {
        const char* name;
        void (*change)(XmModuleDesc&);
        XmLoadError why;
    };
    const Case cases[] = {
        {"song length 257", [](XmModuleDesc& d) { d.songLength = 257; }, XmLoadError::SongTooLong},
        {"song length 65535", [](XmModuleDesc& d) { d.songLength = 65535; },
         XmLoadError::SongTooLong},
        {"0 channels", [](XmModuleDesc& d) { d.channelCount = 0; }, XmLoadError::BadChannelCount},
        {"257 channels", [](XmModuleDesc& d) { d.channelCount = 257; },
         XmLoadError::BadChannelCount},
        {"65535 channels", [](XmModuleDesc& d) { d.channelCount = 65535; },
         XmLoadError::BadChannelCount},
        {"257 patterns", [](XmModuleDesc& d) { d.patternCount = 257; },
         XmLoadError::TooManyPatterns},
        {"129 instruments", [](XmModuleDesc& d) { d.instrumentCount = 129; },
         XmLoadError::TooManyInstruments},
        {"pattern of 257 rows", [](XmModuleDesc& d) { d.patterns[0].rows = 257; },
         XmLoadError::TooManyRows},
        {"17 samples",
         [](XmModuleDesc& d) {
             d.instruments.push_back(InstrumentWith(std::vector<XmSampleDesc>(17, Sample8({1}))));
         },
         XmLoadError::TooManySamples},
        // Older files put the instruments first and a pattern's row count in one byte.
        {"version 1.02", [](XmModuleDesc& d) { d.version = 0x0102; }, XmLoadError::OldVersion},
        {"version 1.03", [](XmModuleDesc& d) { d.version = 0x0103; }, XmLoadError::OldVersion},
    };
    for (const Case& c : cases) {
        XmModuleDesc desc = ModuleWith({InstrumentWith({Sample8({1, 2})})});
        c.change(desc);
        EXPECT_FALSE(LoadBytes(WriteXm(desc))) << c.name;
        EXPECT_EQ(LastXmLoadError(), c.why) << c.name;
    }
    EXPECT_STREQ(XmLoadErrorText(XmLoadError::OldVersion),
                 "XM format version 1.03 is older than 1.04, the oldest one read");
    EXPECT_TRUE(Load(ModuleWith({})));
    EXPECT_EQ(LastXmLoadError(), XmLoadError::None);
}

TEST(XmLoaderRefuses, LimitsThemselvesAreAccepted) {
    XmModuleDesc wide = ModuleWith({InstrumentWith(std::vector<XmSampleDesc>(16, Sample8({1})))});
    wide.channelCount = 256;
    wide.orders.assign(256, 0);
    SongPtr song = Load(wide);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 256);
    EXPECT_EQ(song->channelCount, 256);
    EXPECT_EQ(song->instruments[0].sampleCount, 16);

    XmModuleDesc tall = ModuleWith(std::vector<XmInstrumentDesc>(128));
    tall.patterns[0].rows = 256;
    tall.patterns[0].cells.assign(256 * 2, NoteCell{});
    tall.patterns[0].cells.back() = Cell(5, 6, 7, 8, 9);
    song = Load(tall);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->instrumentCount, 128);
    EXPECT_EQ(song->patterns[0].rows, 256);
    ExpectCell(song->patterns[0].cells[256 * 2 - 1], Cell(5, 6, 7, 8, 9), "last cell");
}

// ---------------------------------------------------------------------------------------------
// Damaged values that load in a safe form.

TEST(XmLoaderRepairs, EnvelopeIndicesStayInsideThePoints) {
    struct Case {
        const char* name;
        uint8_t count, sustain, loopStart, loopEnd, type;
        uint8_t wantCount, wantType;
    };
    const uint8_t all = kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop;
    const Case cases[] = {
        {"valid", 4, 1, 0, 3, all, 4, all},
        {"13 points", 13, 11, 2, 11, all, 12, all},
        {"255 points", 255, 1, 2, 3, all, 12, all},
        {"sustain past the points", 3, 3, 0, 2, all, 3, kEnvelopeOn | kEnvelopeLoop},
        {"loop end past the points", 3, 1, 0, 3, all, 3, kEnvelopeOn | kEnvelopeSustain},
        {"loop start past the points", 3, 1, 5, 1, all, 3, kEnvelopeOn | kEnvelopeSustain},
        {"sustain past 12 of 20", 20, 12, 0, 1, all, 12, kEnvelopeOn | kEnvelopeLoop},
        {"one point", 1, 0, 0, 0, all, 1, 0},
        {"no points", 0, 0, 0, 0, kEnvelopeOn, 0, 0},
    };
    for (const Case& c : cases) {
        XmInstrumentDesc instrument = InstrumentWith({Sample8({1})});
        for (int k = 0; k < 12; ++k) {
            instrument.volumeEnvelope.points.push_back({static_cast<uint16_t>(k * 4), 64});
        }
        instrument.volumeEnvelope.pointCount = c.count;
        instrument.volumeEnvelope.sustain = c.sustain;
        instrument.volumeEnvelope.loopStart = c.loopStart;
        instrument.volumeEnvelope.loopEnd = c.loopEnd;
        instrument.volumeEnvelope.type = c.type;
        instrument.panningEnvelope = instrument.volumeEnvelope;
        SongPtr song = Load(ModuleWith({instrument}));
        ASSERT_TRUE(song) << c.name;
        const Instrument& in = song->instruments[0];
        EXPECT_EQ(in.volumePointCount, c.wantCount) << c.name;
        EXPECT_EQ(in.volumeType, c.wantType) << c.name;
        EXPECT_EQ(in.panningPointCount, c.wantCount) << c.name;
        EXPECT_EQ(in.panningType, c.wantType) << c.name;
    }
}

TEST(XmLoaderRepairs, VibratoTypeFadeoutVolumeAndEmptyPattern) {
    XmSampleDesc loud = Sample8({1});
    loud.volume = 200;
    XmInstrumentDesc instrument = InstrumentWith({loud});
    instrument.vibratoType = 7;
    instrument.fadeout = 0x9000;
    XmModuleDesc desc = ModuleWith({instrument});
    desc.patterns[0].rows = 0;
    desc.patterns.push_back(XmPatternDesc{});
    desc.patterns[1].rows = 1;
    desc.patterns[1].cells = {Cell(kNoteC0, 1)};
    SongPtr song = Load(desc);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->instruments[0].vibratoType, 0);
    EXPECT_EQ(song->instruments[0].fadeout, 0xFFFF);
    EXPECT_EQ(song->instruments[0].samples[0]->volume, 64);
    EXPECT_EQ(song->patterns[0].rows, 64);
    ExpectCell(song->patterns[0].cells[64 * 2 - 1], NoteCell{}, "row-less pattern");
    // The row-less pattern consumed no cell bytes: the next one is read from the right place.
    ExpectCell(song->patterns[1].cells[0], Cell(kNoteC0, 1), "next pattern");
}

TEST(XmLoaderRepairs, TruncatedInsidePatternsLoadsEmptyRest) {
    XmModuleDesc desc = ModuleWith({InstrumentWith({Sample8({1, 2, 3})})});
    desc.patterns[0].rows = 4;
    desc.patterns[0].cells.assign(8, Cell(20, 1, 0x30, 0, 0));
    std::vector<uint8_t> bytes = WriteXm(desc);
    const size_t patternStart = 60 + 276 + 9;
    bytes.resize(patternStart + 3 * 4 + 1);  // three full cells and one byte of the fourth
    SongPtr song = LoadBytes(bytes);
    ASSERT_TRUE(song);
    const NoteCell* cells = song->patterns[0].cells;
    for (int c = 0; c < 3; ++c) ExpectCell(cells[c], Cell(20, 1, 0x30, 0, 0), "before the cut");
    for (int c = 4; c < 8; ++c) ExpectCell(cells[c], NoteCell{}, "after the cut");
    ASSERT_EQ(song->instrumentCount, 1);
    EXPECT_EQ(song->instruments[0].sampleCount, 0);
    EXPECT_EQ(song->instruments[0].samples[0], &emptySample);
}

TEST(XmLoaderRepairs, TruncatedInsideSampleDataKeepsWholeValues) {
    XmSampleDesc a = Sample16({100, 200, 300, 400, 500});
    a.loopBits = kSampleTypeForward;
    a.loopStart = 1;
    a.loopLength = 4;
    XmSampleDesc b = Sample8({9, 9});
    std::vector<uint8_t> bytes = WriteXm(ModuleWith({InstrumentWith({a, b})}));
    bytes.resize(bytes.size() - 2 - 5);  // all of b's two bytes and the last five of a's ten
    SongPtr song = LoadBytes(bytes);
    ASSERT_TRUE(song);
    const Sample& cut = *song->instruments[0].samples[0];
    ASSERT_EQ(cut.length, 2u);  // 10 bytes claimed, 5 present: two whole values
    EXPECT_EQ(cut.data[0], 100);
    EXPECT_EQ(cut.data[1], 200);
    EXPECT_EQ(cut.loopType, kLoopForward);
    EXPECT_EQ(cut.loopStart, 1u);
    EXPECT_EQ(cut.loopLength, 1u);
    EXPECT_EQ(cut.data[2], 200);  // guard copies the loop start
    const Sample& gone = *song->instruments[0].samples[1];
    EXPECT_EQ(gone.length, 0u);
    EXPECT_EQ(gone.data, nullptr);
    EXPECT_EQ(gone.loopLength, 0u);
}

TEST(XmLoaderRepairs, HugeClaimedSampleCostsOnlyWhatTheFileHolds) {
    XmSampleDesc s = Sample8({1, 2, 3, 4});
    s.lengthBytes = 0xFFFFFFF0u;
    s.loopBits = kSampleTypeForward;
    s.loopStart = 0;
    s.loopLength = 0;
    s.loopLengthBytes = 0xFFFFFFF0u;
    SongPtr song = Load(ModuleWith({InstrumentWith({s})}));
    ASSERT_TRUE(song);
    const Sample& sample = *song->instruments[0].samples[0];
    EXPECT_EQ(sample.length, 4u);
    EXPECT_EQ(sample.loopLength, 4u);
    EXPECT_EQ(sample.data[3], 4 * 256);
}

}  // namespace
