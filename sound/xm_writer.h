// Builds XM file bytes from an in-memory description. Tests, the seed corpus and the song composer
// make every module they need with it. It writes what it is told, also what a loader must refuse
// or repair (more than 16 samples, odd 16-bit byte lengths, loops past the end, ...).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sound/module.h"

// How a pattern's cells are stored in the file.
enum class XmPacking {
    Masked,  // a mask byte before the present fields; cells with all five fields written raw
    Raw,     // every cell as its five bytes (a first byte with bit 7 clear is the note)
    Empty,   // packed size 0 and no cell bytes; the cells are ignored
};

struct XmPatternDesc {
    uint16_t rows = 64;
    // rows x channelCount cells, row-major, in file values (kFileNoteKeyOff for a key off).
    // Missing cells are empty.
    std::vector<NoteCell> cells;
    XmPacking packing = XmPacking::Masked;
    // When set, written as the packed data verbatim, and its size as the packed size.
    std::optional<std::vector<uint8_t>> packedBytes;
};

struct XmSampleDesc {
    std::string name;
    bool sixteenBit = false;
    // The signal (not delta-coded); 8-bit samples take values -128..127.
    std::vector<int16_t> values;
    uint32_t loopStart = 0;   // in values
    uint32_t loopLength = 0;  // in values
    uint8_t loopBits = 0;     // kSampleTypeForward, kSampleTypePingPong (both: ping-pong wins)
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relativeNote = 0;
    // Header fields in bytes, when a test needs them to disagree with `values`.
    std::optional<uint32_t> lengthBytes;
    std::optional<uint32_t> loopStartBytes;
    std::optional<uint32_t> loopLengthBytes;
    // When set, written verbatim as the sample's data instead of the delta-coded values.
    std::optional<std::vector<uint8_t>> rawData;
};

struct XmEnvelopeDesc {
    std::vector<EnvelopePoint> points;  // at most 12 are written; the rest of the 12 are zero
    std::optional<uint8_t> pointCount;  // written count; defaults to points.size()
    uint8_t sustain = 0;
    uint8_t loopStart = 0;
    uint8_t loopEnd = 0;
    uint8_t type = 0;                   // kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop
};

struct XmInstrumentDesc {
    std::string name;
    std::vector<XmSampleDesc> samples;
    uint8_t sampleForNote[kNoteCount] = {};
    XmEnvelopeDesc volumeEnvelope;
    XmEnvelopeDesc panningEnvelope;
    uint8_t vibratoType = 0;
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
    uint16_t fadeout = 0;  // the file's value (the loader doubles it)
    // Instrument header size; defaults to 263 with samples and 29 without. Bytes between the
    // written fields and this size are zero.
    std::optional<uint32_t> headerSize;
};

struct XmModuleDesc {
    std::string name;
    std::string trackerName = "novaline xm writer";
    uint16_t version = 0x0104;
    uint32_t headerSize = 276;   // counted from offset 60; bytes past the order table are zero
    std::optional<uint16_t> songLength;  // defaults to orders.size()
    uint16_t restartPosition = 0;
    uint16_t channelCount = 4;
    uint16_t flags = kLinearFrequencyFlag;
    uint16_t defaultSpeed = 6;
    uint16_t defaultBpm = 125;
    std::vector<uint8_t> orders;  // at most 256 are written
    std::vector<XmPatternDesc> patterns;
    std::vector<XmInstrumentDesc> instruments;
    // Header counts, when a test needs them to disagree with the vectors.
    std::optional<uint16_t> patternCount;
    std::optional<uint16_t> instrumentCount;
};

std::vector<uint8_t> WriteXm(const XmModuleDesc& module);

// Delta coding as the file stores sample data: 8-bit bytes or 16-bit little-endian words.
std::vector<uint8_t> DeltaEncode8(const std::vector<int16_t>& values);
std::vector<uint8_t> DeltaEncode16(const std::vector<int16_t>& values);
