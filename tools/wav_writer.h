// Canonical 44-byte-header RIFF/WAVE files of 16-bit PCM, written as a stream: the header is
// written first and completed when the file is finished, so a render of any length never has to
// be held in memory. The caller opens and closes the file (tools/output_file.h).
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
    int64_t announcedFrames;  // what the first header said, or kWavUnknownFrames
};

// Starts a WAV on an open file. With `frames` (0 or more) the header is exact from the start;
// with kWavUnknownFrames it is the stream header, made exact at the end where the file can seek
// (a regular file, standard output redirected to one) and kept as it is where it cannot (a pipe).
bool OpenWavStream(WavFile* wav, std::FILE* file, int32_t rateHz, int32_t channels,
                   int64_t frames);
// Appends `frames` frames of interleaved values, stored little-endian whatever the host's order.
// False once a write has failed or the file would pass WavMaxFrames.
bool WriteWavFrames(WavFile* wav, const int16_t* values, uint32_t frames);
// Writes the final header and flushes the file, which stays open; false when any write or the
// flush failed, or when a stream that cannot seek got other than the frames its header announced.
bool FinishWav(WavFile* wav);
