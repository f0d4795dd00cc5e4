// Writes small XM files into OUTDIR as the fuzzer's starting corpus. Each one reaches a different
// part of the loader, so mutation starts from valid structure instead of having to discover it.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sound/xm_writer.h"

namespace {

NoteCell Cell(uint8_t note, uint8_t instrument = 0, uint8_t volume = 0, uint8_t effect = 0,
              uint8_t parameter = 0) {
    return NoteCell{note, instrument, volume, effect, parameter};
}

std::vector<int16_t> Sine(size_t count, int amplitude) {
    std::vector<int16_t> values(count);
    for (size_t i = 0; i < count; ++i) {
        values[i] = static_cast<int16_t>(amplitude * std::sin(6.2831853 * double(i) / double(count)));
    }
    return values;
}

XmSampleDesc Sample8(size_t count, uint8_t loopBits, uint32_t loopStart, uint32_t loopLength) {
    XmSampleDesc sample;
    sample.name = "sine8";
    sample.values = Sine(count, 100);
    sample.loopBits = loopBits;
    sample.loopStart = loopStart;
    sample.loopLength = loopLength;
    return sample;
}

XmSampleDesc Sample16(size_t count, uint8_t loopBits, uint32_t loopStart, uint32_t loopLength) {
    XmSampleDesc sample;
    sample.name = "sine16";
    sample.sixteenBit = true;
    sample.values = Sine(count, 20000);
    sample.loopBits = loopBits;
    sample.loopStart = loopStart;
    sample.loopLength = loopLength;
    return sample;
}

XmInstrumentDesc InstrumentWith(std::vector<XmSampleDesc> samples) {
    XmInstrumentDesc instrument;
    instrument.name = "instrument";
    instrument.samples = std::move(samples);
    return instrument;
}

// A pattern that touches notes, key off, instruments, the volume column and effects.
XmPatternDesc BusyPattern(uint16_t rows, uint16_t channels, XmPacking packing) {
    XmPatternDesc pattern;
    pattern.rows = rows;
    pattern.packing = packing;
    pattern.cells.resize(size_t{rows} * channels, NoteCell{});
    for (uint16_t row = 0; row < rows; ++row) {
        NoteCell* line = &pattern.cells[size_t{row} * channels];
        switch (row % 4) {
            case 0: line[0] = Cell(49, 1, 0x40, 0x0C, 0x20); break;     // every field present
            case 1: line[0] = Cell(0, 0, 0x18, 0x0A, 0x0F); break;      // volume-column slide
            case 2: line[0] = Cell(kFileNoteKeyOff); break;
            case 3: line[0] = Cell(61, 2, 0, 0x04, 0x48); break;        // vibrato
        }
        if (channels > 1 && row % 3 == 0) line[1] = Cell(37 + row % 12, 1, 0, 0x03, 0x10);
    }
    return pattern;
}

XmModuleDesc Minimal() {
    XmModuleDesc module;
    module.name = "minimal";
    module.channelCount = 1;
    module.orders = {0};
    XmPatternDesc pattern;
    pattern.rows = 1;
    module.patterns = {pattern};
    module.instruments = {XmInstrumentDesc{}};
    return module;
}

XmModuleDesc MaskedForward8() {
    XmModuleDesc module;
    module.name = "masked forward 8-bit";
    module.channelCount = 4;
    module.orders = {0, 1, 0};
    module.patterns = {BusyPattern(16, 4, XmPacking::Masked), BusyPattern(8, 4, XmPacking::Masked)};
    module.instruments = {InstrumentWith({Sample8(64, 1, 16, 48)}),
                          InstrumentWith({Sample8(32, 0, 0, 0)})};
    return module;
}

XmModuleDesc RawPingPong16() {
    XmModuleDesc module;
    module.name = "raw ping-pong 16-bit";
    module.channelCount = 2;
    module.orders = {0};
    module.patterns = {BusyPattern(12, 2, XmPacking::Raw)};
    module.instruments = {InstrumentWith({Sample16(48, 2, 8, 32)}),
                          InstrumentWith({Sample16(40, 3, 0, 40)})};
    return module;
}

XmModuleDesc EmptyPatternsMissingOrders() {
    XmModuleDesc module;
    module.name = "empty and missing";
    module.channelCount = 3;
    module.orders = {0, 4, 1, 9};  // 4 and 9 are past the stored patterns
    XmPatternDesc empty;
    empty.packing = XmPacking::Empty;
    module.patterns = {empty, BusyPattern(4, 3, XmPacking::Masked)};
    module.instruments = {InstrumentWith({Sample8(16, 1, 0, 16)})};
    return module;
}

XmModuleDesc SamplelessInstruments() {
    XmModuleDesc module;
    module.name = "sampleless";
    module.channelCount = 2;
    module.orders = {0};
    module.patterns = {BusyPattern(8, 2, XmPacking::Masked)};
    XmInstrumentDesc bare;
    bare.name = "no samples";
    XmInstrumentDesc padded = bare;
    padded.headerSize = 263;  // some trackers write the full size even without samples
    module.instruments = {bare, InstrumentWith({Sample8(20, 0, 0, 0)}), padded};
    return module;
}

XmModuleDesc Envelopes() {
    XmModuleDesc module;
    module.name = "envelopes";
    module.channelCount = 2;
    module.orders = {0};
    module.patterns = {BusyPattern(16, 2, XmPacking::Masked)};
    XmInstrumentDesc instrument = InstrumentWith({Sample8(64, 1, 0, 64)});
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
    module.instruments = {instrument};
    return module;
}

XmModuleDesc OddSixteenBitLength() {
    XmModuleDesc module;
    module.name = "odd 16-bit length";
    module.channelCount = 1;
    module.orders = {0};
    module.patterns = {BusyPattern(4, 1, XmPacking::Masked)};
    XmSampleDesc sample = Sample16(16, 1, 4, 12);
    std::vector<uint8_t> data = DeltaEncode16(sample.values);
    data.push_back(0x7F);  // a dangling half value
    sample.lengthBytes = static_cast<uint32_t>(data.size());
    sample.rawData = data;
    module.instruments = {InstrumentWith({sample})};
    return module;
}

XmModuleDesc SampleMap() {
    XmModuleDesc module;
    module.name = "sample map";
    module.channelCount = 4;
    module.flags = 0;  // Amiga frequency table
    module.orders = {0, 0};
    module.restartPosition = 1;
    module.patterns = {BusyPattern(8, 4, XmPacking::Masked)};
    XmSampleDesc low = Sample8(32, 1, 0, 32);
    low.relativeNote = -12;
    low.finetune = -16;
    low.panning = 40;
    XmSampleDesc high = Sample16(24, 2, 4, 20);
    high.relativeNote = 12;
    high.finetune = 32;
    high.volume = 48;
    XmInstrumentDesc instrument = InstrumentWith({low, high, Sample8(8, 0, 0, 0)});
    for (int note = 0; note < kNoteCount; ++note) {
        instrument.sampleForNote[note] = static_cast<uint8_t>(note < 40 ? 0 : note < 80 ? 1 : 2);
    }
    module.instruments = {instrument};
    return module;
}

XmModuleDesc LoopsPastTheEnd() {
    XmModuleDesc module;
    module.name = "loops past the end";
    module.headerSize = 280;
    module.channelCount = 2;
    module.orders = {0};
    module.patterns = {BusyPattern(4, 2, XmPacking::Masked)};
    XmSampleDesc overlong = Sample8(32, 1, 24, 40);
    XmSampleDesc zeroLoop = Sample16(16, 2, 8, 0);
    XmSampleDesc startPast = Sample8(16, 1, 20, 4);
    module.instruments = {InstrumentWith({overlong, zeroLoop, startPast})};
    return module;
}

XmModuleDesc VerbatimPackedData() {
    XmModuleDesc module;
    module.name = "verbatim packed data";
    module.channelCount = 2;
    module.orders = {0, 1};
    XmPatternDesc mixed;
    mixed.rows = 2;
    // raw cell, masked note+effect, masked nothing, masked all five
    mixed.packedBytes = std::vector<uint8_t>{49, 1, 0x40, 0x0F, 0x03, 0x89, 50, 0x0A,
                                             0x80, 0x9F, 97, 1, 0x10, 0x0E, 0xC4};
    XmPatternDesc shortData;
    shortData.rows = 3;
    shortData.packedBytes = std::vector<uint8_t>{0x83, 25};  // ends long before the pattern
    module.patterns = {mixed, shortData};
    module.instruments = {InstrumentWith({Sample8(16, 1, 0, 16)})};
    return module;
}

XmModuleDesc WideAndTall() {
    XmModuleDesc module;
    module.name = "wide and tall";
    module.channelCount = 32;
    module.defaultSpeed = 3;
    module.defaultBpm = 200;
    module.orders = {1, 0};
    XmPatternDesc tall;
    tall.rows = 256;
    tall.cells.resize(size_t{256} * 32, NoteCell{});
    for (size_t row = 0; row < 256; row += 16) tall.cells[row * 32 + row % 32] = Cell(30, 1);
    module.patterns = {BusyPattern(2, 32, XmPacking::Raw), tall};
    module.instruments = {InstrumentWith({Sample8(8, 1, 0, 8)})};
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
