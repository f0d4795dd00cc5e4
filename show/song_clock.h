// The song clock that every scene change follows: where the playing song stands, as one number.
#pragma once

#include <cstdint>

struct Song;

// The Song the show plays, created at start-up; null when it could not be loaded.
extern Song* showSong;

// ((order AND 0xFF) << 8) OR (row AND 0xFF) of the sound reaching the loudspeaker, read afresh on
// every call: the sound moves on between two calls. Every scene change and beat follows it, so
// the pictures keep step with what is heard rather than run a ring ahead. 0 without a Song.
uint32_t GetSongPosition();
