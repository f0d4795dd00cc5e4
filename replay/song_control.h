// The operations through which the host uses a Song: create, start, stop, free, pause, jump; where
// it stands and its tempo come with it (sound/song_timing.h, sound/heard_position.h). All run on
// the main thread; each that changes what the mixing loop reads holds the mix lock while it acts.
#pragma once

#include "sound/heard_position.h"
#include "sound/module.h"
#include "sound/song_timing.h"

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
