#include "sound/xm_writer.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace {

constexpr uint32_t kFixedHeaderFields = 20;    // header size .. default BPM, from offset 60
constexpr uint32_t kDefaultModuleHeaderSize = 276;
constexpr uint32_t kPatternHeaderSize = 9;
constexpr uint32_t kSampleHeaderSize = 40;
constexpr uint32_t kInstrumentHeaderWithSamples = 263;
constexpr uint32_t kInstrumentHeaderWithoutSamples = 29;
constexpr size_t kMaxPackedSize = 0xFFFF;
constexpr uint8_t kMaskFlag = 0x80;
constexpr uint8_t kAllFieldsMask = kMaskFlag | 0x1F;

void Put8(std::vector<uint8_t>& out, uint32_t value) { out.push_back(static_cast<uint8_t>(value)); }

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Names longer than the field are cut: the file has no room for them and no terminator.
void PutName(std::vector<uint8_t>& out, const std::string& name, size_t fieldBytes) {
    for (size_t i = 0; i < fieldBytes; ++i) {
        out.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
    }
}

void PutCellFields(std::vector<uint8_t>& out, const NoteCell& cell) {
    Put8(out, cell.note);
    Put8(out, cell.instrument);
    Put8(out, cell.volume);
    Put8(out, cell.effect);
    Put8(out, cell.parameter);
}

void PutMaskedCell(std::vector<uint8_t>& out, const NoteCell& cell) {
    const bool full = cell.note && cell.instrument && cell.volume && cell.effect && cell.parameter;
    // A note with bit 7 set would be read back as a mask byte, so such a cell is never raw.
    if (full && cell.note < kMaskFlag) {
        PutCellFields(out, cell);
        return;
    }
    if (full) {
        Put8(out, kAllFieldsMask);
        PutCellFields(out, cell);
        return;
    }
    uint8_t mask = kMaskFlag;
    if (cell.note) mask |= 0x01;
    if (cell.instrument) mask |= 0x02;
    if (cell.volume) mask |= 0x04;
    if (cell.effect) mask |= 0x08;
    if (cell.parameter) mask |= 0x10;
    Put8(out, mask);
    if (cell.note) Put8(out, cell.note);
    if (cell.instrument) Put8(out, cell.instrument);
    if (cell.volume) Put8(out, cell.volume);
    if (cell.effect) Put8(out, cell.effect);
    if (cell.parameter) Put8(out, cell.parameter);
}

std::vector<uint8_t> PackPattern(const XmPatternDesc& pattern, uint16_t channelCount) {
    std::vector<uint8_t> packed;
    if (pattern.packing == XmPacking::Empty) return packed;
    const size_t cellCount = size_t{pattern.rows} * channelCount;
    for (size_t i = 0; i < cellCount; ++i) {
        const NoteCell cell = i < pattern.cells.size() ? pattern.cells[i] : NoteCell{};
        if (pattern.packing == XmPacking::Masked) {
            PutMaskedCell(packed, cell);
        } else if (cell.note >= kMaskFlag) {
            Put8(packed, kAllFieldsMask);
            PutCellFields(packed, cell);
        } else {
            PutCellFields(packed, cell);
        }
    }
    return packed;
}

void WritePattern(std::vector<uint8_t>& out, const XmPatternDesc& pattern, uint16_t channelCount) {
    std::vector<uint8_t> packed =
        pattern.packedBytes ? *pattern.packedBytes : PackPattern(pattern, channelCount);
    // The size field has 16 bits; a longer pattern cannot exist in a file. Cutting the data keeps
    // the size field and the bytes that follow it in agreement.
    assert(packed.size() <= kMaxPackedSize && "pattern data does not fit the 16-bit packed size");
    if (packed.size() > kMaxPackedSize) packed.resize(kMaxPackedSize);

    Put32(out, kPatternHeaderSize);
    Put8(out, 0);
    Put16(out, pattern.rows);
    Put16(out, static_cast<uint32_t>(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
}

void PutEnvelopePoints(std::vector<uint8_t>& out, const XmEnvelopeDesc& envelope) {
    for (size_t i = 0; i < kEnvelopeFilePoints; ++i) {
        const EnvelopePoint point = i < envelope.points.size() ? envelope.points[i] : EnvelopePoint{};
        Put16(out, point.x);
        Put16(out, point.y);
    }
}

uint8_t WrittenPointCount(const XmEnvelopeDesc& envelope) {
    if (envelope.pointCount) return *envelope.pointCount;
    return static_cast<uint8_t>(std::min<size_t>(envelope.points.size(), 255));
}

uint32_t BytesPerValue(const XmSampleDesc& sample) { return sample.sixteenBit ? 2 : 1; }

void WriteSampleHeader(std::vector<uint8_t>& out, const XmSampleDesc& sample) {
    const uint32_t width = BytesPerValue(sample);
    Put32(out, sample.lengthBytes.value_or(static_cast<uint32_t>(sample.values.size()) * width));
    Put32(out, sample.loopStartBytes.value_or(sample.loopStart * width));
    Put32(out, sample.loopLengthBytes.value_or(sample.loopLength * width));
    Put8(out, sample.volume);
    Put8(out, static_cast<uint8_t>(sample.finetune));
    Put8(out, (sample.loopBits & kSampleTypeLoopBits) | (sample.sixteenBit ? kSampleType16Bit : 0));
    Put8(out, sample.panning);
    Put8(out, static_cast<uint8_t>(sample.relativeNote));
    Put8(out, 0);
    PutName(out, sample.name, 22);
}

void WriteInstrument(std::vector<uint8_t>& out, const XmInstrumentDesc& instrument) {
    const bool hasSamples = !instrument.samples.empty();
    const uint32_t headerSize = instrument.headerSize.value_or(
        hasSamples ? kInstrumentHeaderWithSamples : kInstrumentHeaderWithoutSamples);

    // Built apart so an override smaller than the fields cuts them where the size says.
    std::vector<uint8_t> header;
    Put32(header, headerSize);
    PutName(header, instrument.name, 22);
    Put8(header, 0);
    Put16(header, static_cast<uint32_t>(instrument.samples.size()));
    if (hasSamples) {
        Put32(header, kSampleHeaderSize);
        header.insert(header.end(), std::begin(instrument.sampleForNote),
                      std::end(instrument.sampleForNote));
        PutEnvelopePoints(header, instrument.volumeEnvelope);
        PutEnvelopePoints(header, instrument.panningEnvelope);
        Put8(header, WrittenPointCount(instrument.volumeEnvelope));
        Put8(header, WrittenPointCount(instrument.panningEnvelope));
        Put8(header, instrument.volumeEnvelope.sustain);
        Put8(header, instrument.volumeEnvelope.loopStart);
        Put8(header, instrument.volumeEnvelope.loopEnd);
        Put8(header, instrument.panningEnvelope.sustain);
        Put8(header, instrument.panningEnvelope.loopStart);
        Put8(header, instrument.panningEnvelope.loopEnd);
        Put8(header, instrument.volumeEnvelope.type);
        Put8(header, instrument.panningEnvelope.type);
        Put8(header, instrument.vibratoType);
        Put8(header, instrument.vibratoSweep);
        Put8(header, instrument.vibratoDepth);
        Put8(header, instrument.vibratoRate);
        Put16(header, instrument.fadeout);
    }
    header.resize(headerSize, 0);
    out.insert(out.end(), header.begin(), header.end());

    if (!hasSamples) return;
    for (const XmSampleDesc& sample : instrument.samples) WriteSampleHeader(out, sample);
    for (const XmSampleDesc& sample : instrument.samples) {
        if (sample.rawData) {
            out.insert(out.end(), sample.rawData->begin(), sample.rawData->end());
        } else {
            const std::vector<uint8_t> data =
                sample.sixteenBit ? DeltaEncode16(sample.values) : DeltaEncode8(sample.values);
            out.insert(out.end(), data.begin(), data.end());
        }
    }
}

}  // namespace

std::vector<uint8_t> DeltaEncode8(const std::vector<int16_t>& values) {
    std::vector<uint8_t> out;
    out.reserve(values.size());
    int previous = 0;
    for (int16_t value : values) {
        out.push_back(static_cast<uint8_t>(value - previous));
        previous = value;
    }
    return out;
}

std::vector<uint8_t> DeltaEncode16(const std::vector<int16_t>& values) {
    std::vector<uint8_t> out;
    out.reserve(values.size() * 2);
    int previous = 0;
    for (int16_t value : values) {
        Put16(out, static_cast<uint16_t>(value - previous));
        previous = value;
    }
    return out;
}

std::vector<uint8_t> WriteXm(const XmModuleDesc& module) {
    std::vector<uint8_t> out;
    const std::string magic = kXmId;
    out.insert(out.end(), magic.begin(), magic.end());
    PutName(out, module.name, 20);
    Put8(out, 0x1A);
    PutName(out, module.trackerName, 20);
    Put16(out, module.version);

    // Everything from offset 60 on is sized by the header size field, so it is built apart and
    // then cut or zero-padded to that size. The fixed fields are always kept: without them there
    // is no header at all, only the order table is cut.
    std::vector<uint8_t> header;
    Put32(header, module.headerSize);
    Put16(header, module.songLength.value_or(
                      static_cast<uint16_t>(std::min<size_t>(module.orders.size(), 0xFFFF))));
    Put16(header, module.restartPosition);
    Put16(header, module.channelCount);
    Put16(header, module.patternCount.value_or(static_cast<uint16_t>(module.patterns.size())));
    Put16(header,
          module.instrumentCount.value_or(static_cast<uint16_t>(module.instruments.size())));
    Put16(header, module.flags);
    Put16(header, module.defaultSpeed);
    Put16(header, module.defaultBpm);
    for (size_t i = 0; i < kOrderTableSize; ++i) {
        Put8(header, i < module.orders.size() ? module.orders[i] : 0);
    }
    static_assert(kFixedHeaderFields + kOrderTableSize == kDefaultModuleHeaderSize);
    header.resize(std::max(module.headerSize, kFixedHeaderFields), 0);
    out.insert(out.end(), header.begin(), header.end());

    for (const XmPatternDesc& pattern : module.patterns) {
        WritePattern(out, pattern, module.channelCount);
    }
    for (const XmInstrumentDesc& instrument : module.instruments) WriteInstrument(out, instrument);
    return out;
}
