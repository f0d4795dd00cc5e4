// Canonical 44-byte-header RIFF/WAVE files of 16-bit PCM, written as a stream: the header is
// written with a zero length first and completed when the file is finished, so a render of any
// length never has to be held in memory.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

constexpr uint32_t kWavHeaderBytes = 44;

// The header of a file holding `frames` frames of `channels` interleaved 16-bit values.
std::array<uint8_t, kWavHeaderBytes> WavHeader(int32_t rateHz, int32_t channels, uint32_t frames);

// The most frames a file of `channels` channels can hold: its RIFF size field is 32 bits.
uint32_t WavMaxFrames(int32_t channels);

constexpr int64_t kWavUnknownFrames = -1;

// The header of a stream whose length is not known when it starts (a pipe): both sizes at their
// largest, which readers take as "up to the end of the stream".
std::array<uint8_t, kWavHeaderBytes> WavStreamHeader(int32_t rateHz, int32_t channels);

struct WavFile {
    std::FILE* file;
    int32_t rateHz;
    int32_t channels;
    uint32_t frames;  // written so far
    bool failed;      // a write went wrong; FinishWav then reports it
    bool ownsFile;    // closed by FinishWav; standard output is only flushed
    int64_t announcedFrames;  // what the first header said, or kWavUnknownFrames
};

// Creates (or truncates) the file and writes a header for zero frames; false when it cannot.
bool OpenWav(WavFile* wav, const char* path, int32_t rateHz, int32_t channels);
// Writes to a file the caller keeps open, such as standard output. With `frames` (0 or more) the
// header is exact from the start; with kWavUnknownFrames it is the stream header, made exact at
// the end where the file can seek (standard output redirected to a file).
bool OpenWavStream(WavFile* wav, std::FILE* file, int32_t rateHz, int32_t channels,
                   int64_t frames);
// Appends `frames` frames of interleaved values, stored little-endian whatever the host's order.
// False once a write has failed or the file would pass WavMaxFrames.
bool WriteWavFrames(WavFile* wav, const int16_t* values, uint32_t frames);
// Writes the final header and closes the file; false when any write or the close failed, or when a
// stream that cannot seek got other than the frames its header announced.
bool FinishWav(WavFile* wav);
