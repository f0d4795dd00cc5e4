// Writes small XM files into OUTDIR as the fuzzer's starting corpus. Each one reaches a different
// part of the loader, so mutation starts from valid structure instead of having to discover it.
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/module_builders.h"

namespace {

// One sine period over `count` values as a named 8-bit or 16-bit sample.
XmSampleDesc Sine8(size_t count, SampleLoop loop = {}) {
    return Sample8(Sine(count, 100), loop, "sine8");
}
XmSampleDesc Sine16(size_t count, SampleLoop loop = {}) {
    return Sample16(Sine(count, 20000), loop, "sine16");
}

XmInstrumentDesc SeedInstrument(std::vector<XmSampleDesc> samples) {
    return InstrumentWith(std::move(samples), "instrument");
}

constexpr SampleLoop Forward(uint32_t start, uint32_t length) {
    return {kSampleTypeForward, start, length};
}
constexpr SampleLoop PingPong(uint32_t start, uint32_t length) {
    return {kSampleTypePingPong, start, length};
}

// A pattern that touches notes, key off, instruments, the volume column and effects.
XmPatternDesc BusyPattern(uint16_t rows, uint16_t channels, XmPacking packing) {
    XmPatternDesc pattern = MakePattern(rows, channels);
    pattern.packing = packing;
    for (uint16_t row = 0; row < rows; ++row) {
        NoteCell* line = &pattern.cells[size_t{row} * channels];
        switch (row % 4) {
            case 0:  // every field present
                line[0] = Cell(kNoteC4, 1, 0x40, kEffectSetVolume, 0x20);
                break;
            case 1:  // a volume in the volume column and a volume slide
                line[0] = Cell(kNoteNone, 0, 0x18, kEffectVolumeSlide, 0x0F);
                break;
            case 2: line[0] = Cell(kFileNoteKeyOff); break;
            case 3: line[0] = Cell(kNoteC4 + 12, 2, 0, kEffectVibrato, 0x48); break;
        }
        if (channels > 1 && row % 3 == 0) {
            const uint8_t note = static_cast<uint8_t>(kNoteC4 - 12 + row % 12);
            line[1] = Cell(note, 1, 0, kEffectTonePorta, 0x10);
        }
    }
    return pattern;
}

// A module of the seed corpus: speed 6, BPM 125, a linear frequency table unless changed.
XmModuleDesc SeedModule(const char* name, uint16_t channels, std::vector<uint8_t> orders,
                        std::vector<XmPatternDesc> patterns,
                        std::vector<XmInstrumentDesc> instruments) {
    XmModuleDesc module =
        MakeModule(channels, 6, std::move(orders), std::move(patterns), std::move(instruments));
    module.name = name;
    return module;
}

XmModuleDesc Minimal() {
    XmPatternDesc pattern;
    pattern.rows = 1;
    return SeedModule("minimal", 1, {0}, {pattern}, {XmInstrumentDesc{}});
}

XmModuleDesc MaskedForward8() {
    return SeedModule("masked forward 8-bit", 4, {0, 1, 0},
                      {BusyPattern(16, 4, XmPacking::Masked), BusyPattern(8, 4, XmPacking::Masked)},
                      {SeedInstrument({Sine8(64, Forward(16, 48))}), SeedInstrument({Sine8(32)})});
}

XmModuleDesc RawPingPong16() {
    return SeedModule("raw ping-pong 16-bit", 2, {0}, {BusyPattern(12, 2, XmPacking::Raw)},
                      {SeedInstrument({Sine16(48, PingPong(8, 32))}),
                       SeedInstrument({Sine16(40, {kSampleTypeLoopBits, 0, 40})})});
}

XmModuleDesc EmptyPatternsMissingOrders() {
    XmPatternDesc empty;
    empty.packing = XmPacking::Empty;
    // Orders 4 and 9 are past the stored patterns.
    return SeedModule("empty and missing", 3, {0, 4, 1, 9},
                      {empty, BusyPattern(4, 3, XmPacking::Masked)},
                      {SeedInstrument({Sine8(16, Forward(0, 16))})});
}

XmModuleDesc SamplelessInstruments() {
    XmInstrumentDesc bare;
    bare.name = "no samples";
    XmInstrumentDesc padded = bare;
    padded.headerSize = 263;  // some trackers write the full size even without samples
    return SeedModule("sampleless", 2, {0}, {BusyPattern(8, 2, XmPacking::Masked)},
                      {bare, SeedInstrument({Sine8(20)}), padded});
}

XmModuleDesc Envelopes() {
    XmInstrumentDesc instrument = SeedInstrument({Sine8(64, Forward(0, 64))});
    instrument.volumeEnvelope.points = {{0, 64}, {4, 48}, {10, 32}, {20, 40}, {40, 0}};
    instrument.volumeEnvelope.sustain = 2;
    instrument.volumeEnvelope.loopStart = 1;
    instrument.volumeEnvelope.loopEnd = 3;
    instrument.volumeEnvelope.type = kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop;
    instrument.panningEnvelope.points = {{0, 32}, {8, 0}, {16, 64}};
    instrument.panningEnvelope.loopStart = 0;
    instrument.panningEnvelope.loopEnd = 2;
    instrument.panningEnvelope.type = kEnvelopeOn | kEnvelopeLoop;
    instrument.fadeout = 0x200;
    instrument.vibratoType = 1;
    instrument.vibratoSweep = 8;
    instrument.vibratoDepth = 4;
    instrument.vibratoRate = 16;
    return SeedModule("envelopes", 2, {0}, {BusyPattern(16, 2, XmPacking::Masked)}, {instrument});
}

XmModuleDesc OddSixteenBitLength() {
    XmSampleDesc sample = Sine16(16, Forward(4, 12));
    std::vector<uint8_t> data = DeltaEncode16(sample.values);
    data.push_back(0x7F);  // a dangling half value
    sample.lengthBytes = static_cast<uint32_t>(data.size());
    sample.rawData = data;
    return SeedModule("odd 16-bit length", 1, {0}, {BusyPattern(4, 1, XmPacking::Masked)},
                      {SeedInstrument({sample})});
}

XmModuleDesc SampleMap() {
    XmSampleDesc low = Sine8(32, Forward(0, 32));
    low.relativeNote = -12;
    low.finetune = -16;
    low.panning = 40;
    XmSampleDesc high = Sine16(24, PingPong(4, 20));
    high.relativeNote = 12;
    high.finetune = 32;
    high.volume = 48;
    XmInstrumentDesc instrument = SeedInstrument({low, high, Sine8(8)});
    for (int note = 0; note < kNoteCount; ++note) {
        instrument.sampleForNote[note] = static_cast<uint8_t>(note < 40 ? 0 : note < 80 ? 1 : 2);
    }
    XmModuleDesc module = SeedModule("sample map", 4, {0, 0},
                                     {BusyPattern(8, 4, XmPacking::Masked)}, {instrument});
    module.flags = 0;  // Amiga frequency table
    module.restartPosition = 1;
    return module;
}

XmModuleDesc LoopsPastTheEnd() {
    XmSampleDesc overlong = Sine8(32, Forward(24, 40));
    XmSampleDesc zeroLoop = Sine16(16, PingPong(8, 0));
    XmSampleDesc startPast = Sine8(16, Forward(20, 4));
    XmModuleDesc module = SeedModule("loops past the end", 2, {0},
                                     {BusyPattern(4, 2, XmPacking::Masked)},
                                     {SeedInstrument({overlong, zeroLoop, startPast})});
    module.headerSize = 280;
    return module;
}

XmModuleDesc VerbatimPackedData() {
    XmPatternDesc mixed;
    mixed.rows = 2;
    // raw cell, masked note+effect, masked nothing, masked all five
    mixed.packedBytes = std::vector<uint8_t>{49, 1, 0x40, 0x0F, 0x03, 0x89, 50, 0x0A,
                                             0x80, 0x9F, 97, 1, 0x10, 0x0E, 0xC4};
    XmPatternDesc shortData;
    shortData.rows = 3;
    shortData.packedBytes = std::vector<uint8_t>{0x83, 25};  // ends long before the pattern
    return SeedModule("verbatim packed data", 2, {0, 1}, {mixed, shortData},
                      {SeedInstrument({Sine8(16, Forward(0, 16))})});
}

XmModuleDesc WideAndTall() {
    XmPatternDesc tall = MakePattern(256, 32);
    for (size_t row = 0; row < 256; row += 16) tall.cells[row * 32 + row % 32] = Cell(30, 1);
    XmModuleDesc module = SeedModule("wide and tall", 32, {1, 0},
                                     {BusyPattern(2, 32, XmPacking::Raw), tall},
                                     {SeedInstrument({Sine8(8, Forward(0, 8))})});
    module.defaultSpeed = 3;
    module.defaultBpm = 200;
    return module;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    struct Seed {
        const char* name;
        XmModuleDesc module;
    };
    const Seed seeds[] = {
        {"minimal.xm", Minimal()},
        {"masked_forward8.xm", MaskedForward8()},
        {"raw_pingpong16.xm", RawPingPong16()},
        {"empty_missing_patterns.xm", EmptyPatternsMissingOrders()},
        {"sampleless_instruments.xm", SamplelessInstruments()},
        {"envelopes.xm", Envelopes()},
        {"odd_16bit_length.xm", OddSixteenBitLength()},
        {"sample_map.xm", SampleMap()},
        {"loops_past_end.xm", LoopsPastTheEnd()},
        {"verbatim_packed.xm", VerbatimPackedData()},
        {"wide_and_tall.xm", WideAndTall()},
    };
    for (const Seed& seed : seeds) {
        const std::string path = directory + "/" + seed.name;
        if (!WriteFile(path, WriteXm(seed.module))) {
            std::fprintf(stderr, "xm_seed_corpus: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
