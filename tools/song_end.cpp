#include "tools/song_end.h"

#include <algorithm>

#include "sound/module.h"

namespace {

constexpr int32_t kPositions = 256;  // orders and rows a position can have

}  // namespace

void ForgetPlayedPositions(PlayedPositions* played) {
    played->seen.assign(static_cast<size_t>(kPositions * kPositions), 0);
}

TickStart BeginTick(const Song* song) { return {song->tick, song->nextOrder >= 0}; }

bool TickRepeatsSong(PlayedPositions* played, const Song* song, TickStart begun) {
    if (begun.tick != 0) return false;
    // The position actually played, not the one asked for: a break past the end of a shorter
    // pattern plays its row 0.
    const int32_t order = song->order.load(std::memory_order_relaxed) & (kPositions - 1);
    const int32_t row = song->row.load(std::memory_order_relaxed) & (kPositions - 1);
    uint8_t& seen = played->seen[static_cast<size_t>(order * kPositions + row)];
    if (begun.changesOrder && seen) return true;
    seen = 1;
    return false;
}
