// Reads an Extended Module (XM) file into a Song.
#pragma once

struct Song;
struct Stream;

// Fills a fresh, zero-filled Song (its sampleDataHook already set) from the stream. False when the
// file is not an XM module or is one this engine refuses; the Song then holds what was loaded so
// far and must be released with FreeSong.
bool LoadXm(Song* song, Stream* stream);
