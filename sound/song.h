// Creating and releasing Songs.
#pragma once

#include "sound/module.h"

// Loads the named file through the FileHooks into a fresh, stopped Song; null when the file does
// not open or the loader refuses it.
Song* CreateSong(const char* name, SampleDataHook hook);
// Releases a Song with everything it owns; false for null.
bool FreeSong(Song* song);
// Releases a Sample and its data; null and emptySample are ignored.
void FreeSample(Sample* sample);

// The position the director reads while the mixing thread writes it.
inline int32_t GetSongOrder(const Song* song) {
    return song ? song->order.load(std::memory_order_relaxed) : 0;
}
inline int32_t GetSongRow(const Song* song) {
    return song ? song->row.load(std::memory_order_relaxed) : 0;
}
