// The loader against modules assembled here byte by byte, at the offsets the XM format puts its
// fields, and not by the project's own writer: a field the writer and the loader both misplace
// would pass every round trip, but not these.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/file_hooks.h"
#include "sound/memory_files.h"
#include "sound/module.h"
#include "replay/song_control.h"

namespace {

struct Bytes {
    std::vector<uint8_t> b;
    Bytes& u8(uint32_t v) {
        b.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& u16(uint32_t v) { return u8(v).u8(v >> 8); }
    Bytes& u32(uint32_t v) { return u16(v).u16(v >> 16); }
    Bytes& text(const std::string& s, size_t width) {
        for (size_t k = 0; k < width; ++k) u8(k < s.size() ? static_cast<uint8_t>(s[k]) : 0);
        return *this;
    }
    Bytes& fill(uint8_t v, size_t n) {
        b.insert(b.end(), n, v);
        return *this;
    }
};

// The file header: 60 bytes of texts and version, then 276 from the header size on.
Bytes Header(uint16_t patterns, uint16_t instruments) {
    Bytes h;
    h.text("Extended Module: ", 17).text("fixture", 20).u8(0x1A).text("by hand", 20);
    h.u16(0x0104);       // 58: version
    h.u32(276);          // 60: header size, counted from here
    h.u16(3);            // 64: song length
    h.u16(1);            // 66: restart position
    h.u16(2);            // 68: channels
    h.u16(patterns);     // 70
    h.u16(instruments);  // 72
    h.u16(1);            // 74: flags, linear frequencies
    h.u16(7);            // 76: speed
    h.u16(131);          // 78: BPM
    h.u8(0).u8(patterns > 1 ? 1 : 0).u8(0).fill(0, 253);  // 80: the order table
    return h;
}

// 2 rows x 2 channels, packed: a full cell, a masked one, an empty one and a key-off.
void AppendPattern(Bytes* f) {
    Bytes data;
    data.u8(49).u8(1).u8(0x40).u8(0x0F).u8(0x06);  // row 0, channel 0: all five, raw
    data.u8(0x80 | 0x02 | 0x08).u8(3).u8(0x0A);     // row 0, channel 1: instrument and effect
    data.u8(0x80);                                  // row 1, channel 0: nothing
    data.u8(0x80 | 0x01 | 0x10).u8(97).u8(0x21);    // row 1, channel 1: key off, parameter
    f->u32(9).u8(0).u16(2).u16(static_cast<uint16_t>(data.b.size()));
    f->b.insert(f->b.end(), data.b.begin(), data.b.end());
}

// One instrument of 263 header bytes and one 8-bit sample of four deltas.
void AppendInstrument(Bytes* f) {
    f->u32(263).text("lead", 22).u8(0).u16(1);  // size, name, type, samples
    f->u32(40);                                 // sample header size
    f->fill(0, 96);  // every note plays sample 0
    const uint16_t volume[][2] = {{0, 64}, {16, 8}, {40, 33}};
    for (int p = 0; p < 12; ++p) f->u16(p < 3 ? volume[p][0] : 0).u16(p < 3 ? volume[p][1] : 0);
    const uint16_t panning[][2] = {{0, 32}, {9, 60}};
    for (int p = 0; p < 12; ++p) f->u16(p < 2 ? panning[p][0] : 0).u16(p < 2 ? panning[p][1] : 0);
    f->u8(3).u8(2);                // point counts
    f->u8(1).u8(0).u8(2);          // volume sustain, loop start, loop end
    f->u8(1).u8(0).u8(1);          // panning sustain, loop start, loop end
    f->u8(1 | 2 | 4).u8(1 | 2);    // volume and panning types
    f->u8(3).u8(5).u8(7).u8(11);   // vibrato type, sweep, depth, rate
    f->u16(0x0111).fill(0, 22);    // fadeout, reserved
    // The sample header: lengths in bytes, 8-bit forward loop.
    f->u32(4).u32(1).u32(3).u8(48).u8(0xF0).u8(0x01).u8(0x90).u8(0xF4).u8(0).text("s", 22);
    f->u8(10).u8(5).u8(0xEC).u8(3);  // deltas: 10, 15, -5, -2
}

struct SongDeleter {
    void operator()(Song* s) const { FreeSong(s); }
};

std::unique_ptr<Song, SongDeleter> Load(std::vector<uint8_t> bytes) {
    UseMemoryFileHooks();
    AddMemoryFile("fixture.xm", std::move(bytes));
    return std::unique_ptr<Song, SongDeleter>(CreateSong("fixture.xm", nullptr));
}

TEST(XmFixture, HeaderFieldsAtTheirOffsets) {
    Bytes f = Header(1, 0);
    AppendPattern(&f);
    const auto song = Load(f.b);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 3);
    EXPECT_EQ(song->restartPosition, 1);
    EXPECT_EQ(song->channelCount, 2);
    EXPECT_EQ(song->instrumentCount, 0);
    EXPECT_EQ(song->flags, 1);
    EXPECT_EQ(song->defaultSpeed, 7);
    EXPECT_EQ(song->defaultBpm, 131);
    EXPECT_EQ(song->patternsReferenced, 1);
}

TEST(XmFixture, PackedPatternCells) {
    Bytes f = Header(1, 0);
    AppendPattern(&f);
    const auto song = Load(f.b);
    ASSERT_TRUE(song);
    ASSERT_EQ(song->patterns[0].rows, 2);
    struct Case {
        int cell;
        NoteCell want;
    };
    const Case cases[] = {
        {0, {49, 1, 0x40, 0x0F, 0x06}},
        {1, {0, 3, 0, 0x0A, 0}},
        {2, {0, 0, 0, 0, 0}},
        {3, {255, 0, 0, 0, 0x21}},  // the file's key off, 97, is kept as 255
    };
    for (const Case& c : cases) {
        const NoteCell& got = song->patterns[0].cells[c.cell];
        EXPECT_EQ(got.note, c.want.note) << "cell " << c.cell;
        EXPECT_EQ(got.instrument, c.want.instrument) << "cell " << c.cell;
        EXPECT_EQ(got.volume, c.want.volume) << "cell " << c.cell;
        EXPECT_EQ(got.effect, c.want.effect) << "cell " << c.cell;
        EXPECT_EQ(got.parameter, c.want.parameter) << "cell " << c.cell;
    }
}

TEST(XmFixture, InstrumentSampleHeaderAndData) {
    Bytes f = Header(1, 1);
    AppendPattern(&f);
    AppendInstrument(&f);
    const auto song = Load(f.b);
    ASSERT_TRUE(song);
    ASSERT_EQ(song->instrumentCount, 1);
    const Instrument& in = song->instruments[0];
    ASSERT_EQ(in.sampleCount, 1);
    EXPECT_EQ(in.volumePointCount, 3);
    EXPECT_EQ(in.panningPointCount, 2);
    EXPECT_EQ(in.volumeEnvelope[1].x, 16);
    EXPECT_EQ(in.volumeEnvelope[1].y, 8);
    EXPECT_EQ(in.volumeEnvelope[2].y, 33);
    EXPECT_EQ(in.panningEnvelope[1].x, 9);
    EXPECT_EQ(in.panningEnvelope[1].y, 60);
    EXPECT_EQ(in.volumeSustain, 1);
    EXPECT_EQ(in.volumeLoopStart, 0);
    EXPECT_EQ(in.volumeLoopEnd, 2);
    EXPECT_EQ(in.panningSustain, 1);
    EXPECT_EQ(in.panningLoopEnd, 1);
    EXPECT_EQ(in.volumeType, 7);
    EXPECT_EQ(in.panningType, 3);
    EXPECT_EQ(in.vibratoType, 3);
    EXPECT_EQ(in.vibratoSweep, 5);
    EXPECT_EQ(in.vibratoDepth, 7);
    EXPECT_EQ(in.vibratoRate, 11);
    EXPECT_EQ(in.fadeout, 0x0222);  // doubled
    const Sample& s = *in.samples[0];
    EXPECT_EQ(s.length, 4u);
    EXPECT_EQ(s.loopStart, 1u);
    EXPECT_EQ(s.loopLength, 3u);
    EXPECT_EQ(s.volume, 48);
    EXPECT_EQ(s.finetune, -16);
    EXPECT_EQ(s.loopType, kLoopForward);
    EXPECT_EQ(s.panning, 0x90);
    EXPECT_EQ(s.relativeNote, -12);
    const int16_t want[] = {10 * 256, 15 * 256, -5 * 256, -2 * 256};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(s.data[k], want[k]) << "value " << k;
}

}  // namespace
