// Offline rendering of a loaded Song through the audio output on the virtual device: block by
// block, as fast as the machine goes, with an optional per-tick trace of the Voices.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tools/song_end.h"
#include "tools/wav_writer.h"

struct Song;

constexpr int64_t kRenderOnce = -1;
constexpr int64_t kRenderCapSeconds = kSongCapSeconds;

struct RenderSettings {
    // Exact output length in frames, or kRenderOnce: up to the first row that repeats the song.
    int64_t frames;
    WavFile* wav;       // receives the frames; null renders for the timing and the trace alone
    std::FILE* trace;   // CSV, a header line then one line per channel for every output tick;
                        // null for none
};

struct RenderResult {
    int64_t frames;      // written to the WAV (or that would have been)
    int64_t ticks;       // tick routine calls whose frames are in the output
    double wallSeconds;  // steady clock, from the start of the song to the last block
    bool capped;         // a song rendered once ran into the cap without repeating
};

// Starts `song` on the open audio output (the virtual device) and renders it. The Song's tick
// routine is wrapped for the duration and restored after. False when the output is not open on
// the virtual device, the song does not start, or writing the WAV or the trace failed.
bool RenderSong(Song* song, const RenderSettings& settings, RenderResult* result);
