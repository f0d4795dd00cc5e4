#include "sound/xm_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sound/file_hooks.h"
#include "sound/module.h"

namespace {

constexpr int64_t kHeaderSizeOffset = 60;
constexpr int kMaxPatterns = 256;  // order entries are bytes: no file can address more
constexpr int kMaxRows = 256;
constexpr int kMissingPatternRows = 64;
constexpr int kInstrumentNameAndTypeBytes = 23;
constexpr int kSampleHeaderTailBytes = 23;  // reserved byte and 22-byte name
constexpr uint8_t kCellMaskFlag = 0x80;

thread_local XmLoadError lastError = XmLoadError::None;
thread_local uint16_t lastVersion = 0;

constexpr int64_t kVersionOffset = 58;
// Files before 1.04 store instruments before patterns and a pattern's row count in one byte; read
// in this layout they would come out as garbage, so they are refused by name.
constexpr uint16_t kOldestVersion = 0x0104;

bool Refuse(XmLoadError error) {
    lastError = error;
    return false;
}

// Sample data is read in pieces of at most this size, so a header that claims gigabytes costs no
// more memory than the file really holds.
constexpr size_t kSampleReadChunkBytes = 1 << 20;

// Little-endian fields. A read past the end of the file leaves the value zero.
uint8_t ReadU8(Stream* stream) {
    uint8_t b = 0;
    StreamRead(&b, 1, stream);
    return b;
}

uint16_t ReadU16(Stream* stream) {
    uint8_t b[2] = {};
    StreamRead(b, 2, stream);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t ReadU32(Stream* stream) {
    uint8_t b[4] = {};
    StreamRead(b, 4, stream);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

void ReadEnvelopePoints(Stream* stream, EnvelopePoint* points) {
    for (int k = 0; k < kEnvelopeFilePoints; ++k) {
        points[k].x = ReadU16(stream);
        points[k].y = ReadU16(stream);
    }
}

// Unpacks `cellCount` cells one after another, reading as many bytes as they need. Once the file
// runs dry the remaining cells stay empty, as every later read would leave them.
void UnpackCells(Stream* stream, NoteCell* cells, size_t cellCount) {
    for (size_t i = 0; i < cellCount; ++i) {
        uint8_t first = 0;
        if (StreamRead(&first, 1, stream) != 1) return;
        uint8_t fields[5] = {};
        if (first & kCellMaskFlag) {
            for (int bit = 0; bit < 5; ++bit) {
                if (first & (1 << bit)) fields[bit] = ReadU8(stream);
            }
        } else {
            fields[0] = first;
            StreamRead(fields + 1, 4, stream);
        }
        NoteCell& cell = cells[i];
        cell.note = fields[0] == kFileNoteKeyOff ? kNoteKeyOff : fields[0];
        cell.instrument = fields[1] > kMaxInstrumentNumber ? 0 : fields[1];
        cell.volume = fields[2];
        cell.effect = fields[3];
        cell.parameter = fields[4];
    }
}

bool LoadPatterns(Song* song, Stream* stream, int filePatternCount) {
    song->patterns = new Pattern[song->patternSlots]();
    const size_t channels = song->channelCount;
    for (int p = 0; p < filePatternCount; ++p) {
        Pattern& pattern = song->patterns[p];
        ReadU32(stream);  // header length: the layout below is fixed at 9 bytes whatever it says
        ReadU8(stream);   // packing type: there is only one
        const uint16_t rows = ReadU16(stream);
        const uint16_t packedBytes = ReadU16(stream);
        if (rows > kMaxRows) return Refuse(XmLoadError::TooManyRows);
        if (rows == 0) {
            // The replay needs at least one row to stand on; a pattern that holds none plays like
            // one the file lacks. It has no cell bytes to read.
            pattern.rows = kMissingPatternRows;
            pattern.cells = new NoteCell[kMissingPatternRows * channels]();
            continue;
        }
        pattern.rows = rows;
        pattern.cells = new NoteCell[rows * channels]();
        if (packedBytes != 0) UnpackCells(stream, pattern.cells, rows * channels);
    }
    for (int p = filePatternCount; p < song->patternsReferenced; ++p) {
        song->patterns[p].rows = kMissingPatternRows;
        song->patterns[p].cells = new NoteCell[kMissingPatternRows * channels]();
    }
    return true;
}

// Switches off what an envelope's indices cannot support, so every later step stays inside the
// points read from the file: a sustain or loop point that does not exist is ignored.
void SanitizeEnvelope(uint8_t& pointCount, uint8_t& type, uint8_t sustain, uint8_t loopStart,
                      uint8_t loopEnd) {
    pointCount = std::min<uint8_t>(pointCount, kEnvelopeFilePoints);
    if (pointCount < 2) {
        type = 0;
        return;
    }
    if (sustain >= pointCount) type &= static_cast<uint8_t>(~kEnvelopeSustain);
    if (loopStart >= pointCount || loopEnd >= pointCount) {
        type &= static_cast<uint8_t>(~kEnvelopeLoop);
    }
}

void ReadInstrumentHeader(Instrument& instrument, Stream* stream) {
    ReadU32(stream);  // sample header size: always taken as 40
    StreamRead(instrument.sampleForNote, kNoteCount, stream);
    ReadEnvelopePoints(stream, instrument.volumeEnvelope);
    ReadEnvelopePoints(stream, instrument.panningEnvelope);
    instrument.volumePointCount = ReadU8(stream);
    instrument.panningPointCount = ReadU8(stream);
    instrument.volumeSustain = ReadU8(stream);
    instrument.volumeLoopStart = ReadU8(stream);
    instrument.volumeLoopEnd = ReadU8(stream);
    instrument.panningSustain = ReadU8(stream);
    instrument.panningLoopStart = ReadU8(stream);
    instrument.panningLoopEnd = ReadU8(stream);
    instrument.volumeType = ReadU8(stream);
    instrument.panningType = ReadU8(stream);
    instrument.vibratoType = ReadU8(stream);
    instrument.vibratoSweep = ReadU8(stream);
    instrument.vibratoDepth = ReadU8(stream);
    instrument.vibratoRate = ReadU8(stream);
    // Saturate rather than wrap: a fadeout of 0x8000 or more must not double into a short one.
    instrument.fadeout = static_cast<uint16_t>(std::min<uint32_t>(ReadU16(stream) * 2u, 0xFFFF));

    SanitizeEnvelope(instrument.volumePointCount, instrument.volumeType, instrument.volumeSustain,
                     instrument.volumeLoopStart, instrument.volumeLoopEnd);
    SanitizeEnvelope(instrument.panningPointCount, instrument.panningType,
                     instrument.panningSustain, instrument.panningLoopStart,
                     instrument.panningLoopEnd);
    // Only four auto-vibrato waveforms exist; a damaged type plays the sine.
    if (instrument.vibratoType > kAutoVibratoRampUp) instrument.vibratoType = kAutoVibratoSine;
}

// Makes a Sample play once to its end.
void SetNoLoop(Sample& sample) {
    sample.loopStart = 0;
    sample.loopLength = sample.length;
    sample.loopType = kLoopNone;
}

// Keeps the loop inside the sample: the loop guard is written at the loop end, and playback must
// never read past the loaded values.
void FitLoopInside(Sample& sample) {
    if (sample.loopStart >= sample.length) {
        SetNoLoop(sample);
    } else if (static_cast<uint64_t>(sample.loopStart) + sample.loopLength > sample.length) {
        sample.loopLength = sample.length - sample.loopStart;
    }
}

void ReadSampleHeader(Sample& sample, Stream* stream) {
    sample.length = ReadU32(stream);
    sample.loopStart = ReadU32(stream);
    sample.loopLength = ReadU32(stream);
    // The scale ends at 64; a damaged larger value would push the final volume past its range.
    sample.volume = std::min<uint8_t>(ReadU8(stream), 64);
    sample.finetune = static_cast<int8_t>(ReadU8(stream));
    sample.loopType = kLoopNone;
    sample.bits = 8;
    const uint8_t type = ReadU8(stream);
    if (type & kSampleTypeForward) sample.loopType = kLoopForward;
    if (type & kSampleTypePingPong) sample.loopType = kLoopPingPong;  // wins when both are set
    if (type & kSampleType16Bit) sample.bits = 16;
    if (sample.loopType == kLoopNone) SetNoLoop(sample);
    if (sample.bits == 16) {
        // Byte counts to values; an odd byte length loses its last byte.
        sample.length >>= 1;
        sample.loopStart >>= 1;
        sample.loopLength >>= 1;
    }
    if (sample.loopLength == 0) SetNoLoop(sample);
    FitLoopInside(sample);
    sample.panning = ReadU8(stream);
    sample.relativeNote = static_cast<int8_t>(ReadU8(stream));
    StreamSeek(stream, kSampleHeaderTailBytes, kSeekFromCurrent);
}

// Reads up to `bytes` from the stream into `buffer`, growing it only as the bytes arrive. Returns
// the number received: fewer than asked when the file ends first.
size_t ReadGrowing(Stream* stream, std::vector<uint8_t>& buffer, size_t bytes) {
    buffer.clear();
    size_t received = 0;
    while (received < bytes) {
        const size_t chunk = std::min(bytes - received, kSampleReadChunkBytes);
        buffer.resize(received + chunk);
        const size_t got = std::min(StreamRead(buffer.data() + received, chunk, stream), chunk);
        received += got;
        if (got < chunk) break;
    }
    buffer.resize(received);
    return received;
}

// Loads one sample's data and writes its loop guard. The data bytes are always consumed from the
// stream; with a sampleDataHook they are replaced by the hook's plain values.
void LoadSampleData(Song* song, Sample& sample, Stream* stream, std::vector<uint8_t>& fileBytes,
                    int instrumentIndex, int sampleIndex) {
    const size_t bytesPerValue = sample.bits / 8;
    const size_t wantBytes = static_cast<size_t>(sample.length) * bytesPerValue;
    const size_t gotBytes = ReadGrowing(stream, fileBytes, wantBytes);
    if (gotBytes < wantBytes) {
        // The file ends inside this sample: keep the whole values it holds. Zero-filling the rest
        // would let a few header bytes claim gigabytes.
        sample.length = static_cast<uint32_t>(gotBytes / bytesPerValue);
        FitLoopInside(sample);
    }
    if (sample.length == 0) return;

    const size_t dataBytes = static_cast<size_t>(sample.length) * bytesPerValue;
    sample.data = new int16_t[sample.length + kSampleGuardValues]();
    const uint8_t* source = fileBytes.data();
    std::vector<uint8_t> hookBytes;
    if (song->sampleDataHook) {
        hookBytes.assign(2 * static_cast<size_t>(sample.length) + 2 * kSampleGuardValues, 0);
        song->sampleDataHook(hookBytes.data(), static_cast<uint32_t>(dataBytes), sample.bits,
                             instrumentIndex, sampleIndex);
        source = hookBytes.data();
    }
    if (sample.bits == 8) {
        for (uint32_t k = 0; k < sample.length; ++k) {
            sample.data[k] = static_cast<int16_t>(static_cast<int8_t>(source[k]) * 256);
        }
        sample.bits = 16;
    } else {
        for (uint32_t k = 0; k < sample.length; ++k) {
            sample.data[k] = static_cast<int16_t>(source[2 * k] | (source[2 * k + 1] << 8));
        }
    }
    if (!song->sampleDataHook) {
        // Delta decoding with 16-bit wrap-around; on widened 8-bit data this equals decoding the
        // 8-bit deltas with 8-bit wrap-around and scaling by 256.
        uint16_t sum = 0;
        for (uint32_t k = 0; k < sample.length; ++k) {
            sum = static_cast<uint16_t>(sum + static_cast<uint16_t>(sample.data[k]));
            sample.data[k] = static_cast<int16_t>(sum);
        }
    }
    const uint32_t loopEnd = sample.loopStart + sample.loopLength;
    sample.data[loopEnd] = sample.loopType == kLoopPingPong ? sample.data[loopEnd - 1]
                                                            : sample.data[sample.loopStart];
}

bool LoadInstruments(Song* song, Stream* stream) {
    song->instruments = new Instrument[song->instrumentCount]();
    std::vector<uint8_t> fileBytes;
    for (int i = 0; i < song->instrumentCount; ++i) {
        Instrument& instrument = song->instruments[i];
        const int64_t start = StreamTell(stream);
        const uint32_t headerSize = ReadU32(stream);
        StreamSeek(stream, kInstrumentNameAndTypeBytes, kSeekFromCurrent);
        const uint16_t sampleCount = ReadU16(stream);
        if (sampleCount > kMaxSamplesPerInstrument) return Refuse(XmLoadError::TooManySamples);
        instrument.sampleCount = sampleCount;
        std::fill(std::begin(instrument.samples), std::end(instrument.samples), &emptySample);
        if (sampleCount == 0) {
            StreamSeek(stream, start + headerSize, kSeekFromStart);
            continue;
        }
        ReadInstrumentHeader(instrument, stream);
        StreamSeek(stream, start + headerSize, kSeekFromStart);

        for (int j = 0; j < sampleCount; ++j) {
            instrument.samples[j] = new Sample{};
            ReadSampleHeader(*instrument.samples[j], stream);
        }
        for (int j = 0; j < sampleCount; ++j) {
            Sample& sample = *instrument.samples[j];
            if (sample.length == 0) continue;
            LoadSampleData(song, sample, stream, fileBytes, i, j);
        }
    }
    return true;
}

}  // namespace

bool LoadXm(Song* song, Stream* stream) {
    lastError = XmLoadError::None;
    char id[kXmIdBytes] = {};
    StreamSeek(stream, 0, kSeekFromStart);
    StreamRead(id, kXmIdBytes, stream);
    if (std::memcmp(id, kXmId, kXmIdBytes) != 0) return Refuse(XmLoadError::NotXm);
    StreamSeek(stream, kVersionOffset, kSeekFromStart);
    lastVersion = ReadU16(stream);
    if (lastVersion < kOldestVersion) return Refuse(XmLoadError::OldVersion);

    song->initialGlobalVolume = 64;

    StreamSeek(stream, kHeaderSizeOffset, kSeekFromStart);
    const uint32_t headerSize = ReadU32(stream);
    song->songLength = ReadU16(stream);
    song->restartPosition = ReadU16(stream);
    song->channelCount = ReadU16(stream);
    const uint16_t filePatternCount = ReadU16(stream);
    song->instrumentCount = ReadU16(stream);
    song->flags = ReadU16(stream);
    song->defaultSpeed = ReadU16(stream);
    song->defaultBpm = ReadU16(stream);
    StreamRead(song->orderTable, kOrderTableSize, stream);
    // Refused rather than clamped: the order table, the voice pool and the pattern and instrument
    // numbers that cells can hold set these limits, and no module written within them exceeds them.
    if (song->songLength > kOrderTableSize) return Refuse(XmLoadError::SongTooLong);
    if (song->channelCount == 0 || song->channelCount > kMaxChannels) {
        return Refuse(XmLoadError::BadChannelCount);
    }
    if (filePatternCount > kMaxPatterns) return Refuse(XmLoadError::TooManyPatterns);
    if (song->instrumentCount > kMaxInstrumentNumber) {
        return Refuse(XmLoadError::TooManyInstruments);
    }
    StreamSeek(stream, kHeaderSizeOffset + headerSize, kSeekFromStart);

    song->patternsReferenced = 0;
    for (int k = 0; k < song->songLength; ++k) {
        song->patternsReferenced = std::max(song->patternsReferenced, song->orderTable[k] + 1);
    }
    song->patternSlots = std::max<int32_t>(filePatternCount, song->patternsReferenced);
    if (!LoadPatterns(song, stream, filePatternCount)) return false;
    return LoadInstruments(song, stream);
}

XmLoadError LastXmLoadError() { return lastError; }

const char* XmLoadErrorText(XmLoadError error) {
    switch (error) {
        case XmLoadError::None: return "no error";
        case XmLoadError::NotXm: return "not an XM module";
        case XmLoadError::SongTooLong: return "too many orders (more than 256)";
        case XmLoadError::BadChannelCount: return "bad channel count (must be 1 to 256)";
        case XmLoadError::TooManyPatterns: return "too many patterns (more than 256)";
        case XmLoadError::TooManyInstruments: return "too many instruments (more than 128)";
        case XmLoadError::TooManyRows: return "a pattern has more than 256 rows";
        case XmLoadError::TooManySamples: return "too many samples in an instrument (more than 16)";
        case XmLoadError::OldVersion: {
            thread_local char text[80];
            std::snprintf(text, sizeof text,
                          "XM format version %x.%02x is older than 1.04, the oldest one read",
                          lastVersion >> 8, lastVersion & 0xFF);
            return text;
        }
    }
    return "unknown error";
}
