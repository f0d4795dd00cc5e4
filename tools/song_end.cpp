#include "tools/song_end.h"

#include <algorithm>

#include "sound/module.h"
#include "sound/song_timing.h"

void ForgetPlayedPositions(PlayedPositions* played) {
    played->seen.assign(kSongPositionCount, 0);
}

TickStart BeginTick(const Song* song) { return {song->tick, song->nextOrder >= 0}; }

bool TickRepeatsSong(PlayedPositions* played, const Song* song, TickStart begun) {
    if (begun.tick != 0) return false;
    // The position actually played, not the one asked for: a break past the end of a shorter
    // pattern plays its row 0.
    uint8_t& seen = played->seen[MixedSongPosition(song)];
    if (begun.changesOrder && seen) return true;
    seen = 1;
    return false;
}
