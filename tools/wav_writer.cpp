#include "tools/wav_writer.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kBitsPerValue = 16;
constexpr uint32_t kBytesPerValue = 2;
constexpr uint32_t kFmtChunkBytes = 16;
// Values converted per fwrite: large enough that the call overhead vanishes, small enough to
// stay in cache.
constexpr uint32_t kChunkValues = 8192;

void Put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutTag(uint8_t* at, const char* tag) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(tag[i]);
}

}  // namespace

std::array<uint8_t, kWavHeaderBytes> WavHeader(int32_t rateHz, int32_t channels, uint32_t frames) {
    std::array<uint8_t, kWavHeaderBytes> h{};
    const uint32_t blockAlign = static_cast<uint32_t>(channels) * kBytesPerValue;
    const uint32_t dataBytes = frames * blockAlign;
    PutTag(&h[0], "RIFF");
    Put32(&h[4], kWavHeaderBytes - 8 + dataBytes);
    PutTag(&h[8], "WAVE");
    PutTag(&h[12], "fmt ");
    Put32(&h[16], kFmtChunkBytes);
    Put16(&h[20], kFormatPcm);
    Put16(&h[22], static_cast<uint16_t>(channels));
    Put32(&h[24], static_cast<uint32_t>(rateHz));
    Put32(&h[28], static_cast<uint32_t>(rateHz) * blockAlign);
    Put16(&h[32], static_cast<uint16_t>(blockAlign));
    Put16(&h[34], kBitsPerValue);
    PutTag(&h[36], "data");
    Put32(&h[40], dataBytes);
    return h;
}

std::array<uint8_t, kWavHeaderBytes> WavStreamHeader(int32_t rateHz, int32_t channels) {
    auto h = WavHeader(rateHz, channels, 0);
    Put32(&h[4], std::numeric_limits<uint32_t>::max());
    Put32(&h[40], std::numeric_limits<uint32_t>::max());
    return h;
}

uint32_t WavMaxFrames(int32_t channels) {
    const uint32_t blockAlign = static_cast<uint32_t>(channels) * kBytesPerValue;
    return (std::numeric_limits<uint32_t>::max() - (kWavHeaderBytes - 8)) / blockAlign;
}

bool OpenWavStream(WavFile* wav, std::FILE* file, int32_t rateHz, int32_t channels,
                   int64_t frames) {
    *wav = WavFile{file, rateHz, channels, 0, false, frames};
    if (frames > int64_t{WavMaxFrames(channels)}) {
        wav->failed = true;
        return false;
    }
    const auto header = frames == kWavUnknownFrames
                            ? WavStreamHeader(rateHz, channels)
                            : WavHeader(rateHz, channels, static_cast<uint32_t>(frames));
    wav->failed = std::fwrite(header.data(), 1, header.size(), wav->file) != header.size();
    return !wav->failed;
}

bool WriteWavFrames(WavFile* wav, const int16_t* values, uint32_t frames) {
    if (wav->failed) return false;
    if (frames > WavMaxFrames(wav->channels) - wav->frames) {
        wav->failed = true;
        return false;
    }
    uint8_t bytes[kChunkValues * kBytesPerValue];
    const size_t total = static_cast<size_t>(frames) * static_cast<size_t>(wav->channels);
    // A little-endian machine holds the values as the file does: they go out as they are.
    if constexpr (std::endian::native == std::endian::little) {
        if (std::fwrite(values, kBytesPerValue, total, wav->file) != total) {
            wav->failed = true;
            return false;
        }
        wav->frames += frames;
        return true;
    }
    for (size_t done = 0; done < total;) {
        const size_t n = std::min<size_t>(kChunkValues, total - done);
        for (size_t i = 0; i < n; ++i) {
            Put16(&bytes[i * 2], static_cast<uint16_t>(values[done + i]));
        }
        if (std::fwrite(bytes, kBytesPerValue, n, wav->file) != n) {
            wav->failed = true;
            return false;
        }
        done += n;
    }
    wav->frames += frames;
    return true;
}

bool FinishWav(WavFile* wav) {
    if (!wav->file) return false;
    bool ok = !wav->failed;
    if (ok) {
        const auto header = WavHeader(wav->rateHz, wav->channels, wav->frames);
        if (std::fflush(wav->file) == 0 && std::fseek(wav->file, 0, SEEK_SET) == 0) {
            ok = std::fwrite(header.data(), 1, header.size(), wav->file) == header.size();
        } else {
            // A pipe: the header went out first and stays. The stream header holds for any
            // length; an exact one only for the frames it announced.
            ok = wav->announcedFrames == kWavUnknownFrames ||
                 wav->announcedFrames == int64_t{wav->frames};
        }
    }
    ok = std::fflush(wav->file) == 0 && ok;
    wav->file = nullptr;
    return ok;
}
