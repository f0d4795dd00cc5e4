// The operations through which the host uses a Song: create, start, stop, free, ask where it is,
// set its tempo. All but SetSongBpm run on the main thread; each that changes what the mixing loop
// reads holds the mix lock while it acts.
#pragma once

#include "sound/module.h"

// Loads the named file through the FileHooks into a fresh, stopped Song; null when the file does
// not open or the loader refuses it.
Song* CreateSong(const char* name, SampleDataHook hook);
// Restarts the Song from order 0, row 0 with fresh Channels on Voices 0..channelCount-1, at the
// tail of the started Songs. False for null, and while the audio output is not open (there are no
// Voices to drive).
bool StartSong(Song* song);
// Takes the Song out of the started list and silences its Voices; false for null.
bool StopSong(Song* song);
// Stops and releases a Song with everything it owns; false for null.
bool FreeSong(Song* song);
// Releases a Sample and its data, first silencing any Voice playing it; null and emptySample are
// ignored.
void FreeSample(Sample* sample);
// Holds a started Song where it stands (true) or lets it go on (false). The mixing loop skips a
// held Song: its Voices keep their state and fall silent once the sound mixed before has played,
// and it goes on from the same frame when let go. StartSong lets it go too. False for null and for
// a Song not started.
bool PauseSong(Song* song, bool paused);
// Makes the Song go on from row 0 of `order` (clamped to its order list) at once: the row and
// pattern delay running are cut short and the next tick begins that row, as a position jump
// would. Takes no lock: call it from the tick routine or with MixMutex() held, so that what the
// caller keeps of the song's course changes in the same step.
void JumpToOrder(Song* song, int32_t order);
// Sets the tempo and the tick length floor(5 x rate / (2 x bpm)) frames, at least 1 while the
// output is open. A BPM below 1 (a damaged header) plays at 125, the format's default tempo. Called
// by the replay from the mixing thread, so it takes no lock.
void SetSongBpm(Song* song, int32_t bpm);

// Where a Song stands in the sound reaching the loudspeaker now.
struct HeardPosition {
    int32_t order;
    int32_t row;
};

// The position of the sound being heard, which trails the position being mixed (GetSongOrder,
// GetSongRow) by about one ring: 0, 0 from StartSong until its first block is heard; where it
// stopped once the last block mixed before StopSong has played; where it stood while the output
// is closed. A Song never started is heard nowhere and answers its own order and row. Lock-free;
// call it on the thread that opens and closes the output. {0, 0} for null.
HeardPosition GetHeardSongPosition(const Song* song);

// The position being mixed, read without a lock while the mixing thread writes it.
inline int32_t GetSongOrder(const Song* song) {
    return song ? song->order.load(std::memory_order_relaxed) : 0;
}
inline int32_t GetSongRow(const Song* song) {
    return song ? song->row.load(std::memory_order_relaxed) : 0;
}
