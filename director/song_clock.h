// The song clock that every scene change follows: where the playing song stands, as one number.
#pragma once

#include <cstdint>

struct Song;

// The Song the show plays, created at start-up; null when it could not be loaded.
extern Song* song;

// ((order AND 0xFF) << 8) OR (row AND 0xFF), read afresh from the Song on every call: the mixing
// thread moves it on between two calls. 0 without a Song.
uint32_t GetSongPosition();
