#include "tools/song_end.h"

#include <algorithm>

#include "replay/channel.h"
#include "sound/module.h"
#include "sound/song_timing.h"

namespace {

// Loops that go back more often than this in one play are left to the 20-minute cap.
constexpr size_t kMaxLoopStates = 4096;

// FNV-1a over the position and every channel's loop start and count. 64 bits: a false match among
// a few thousand states is not to be expected.
uint64_t LoopState(const Song* song, int32_t order, int32_t row) {
    uint64_t hash = 14695981039346656037ull;
    const auto add = [&hash](int32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            hash = (hash ^ (static_cast<uint32_t>(value) >> shift & 0xFF)) * 1099511628211ull;
        }
    };
    add(order);
    add(row);
    for (int32_t c = 0; c < song->channelCount && song->channels; ++c) {
        add(song->channels[c].loopStartRow);
        add(song->channels[c].loopCount);
    }
    return hash;
}

}  // namespace

void ForgetPlayedPositions(PlayedPositions* played) {
    played->seen.assign(kSongPositionCount, 0);
    played->loopStates.reserve(kMaxLoopStates);
    played->loopStates.clear();
    played->lastRow = -1;
}

TickStart BeginTick(const Song* song) { return {song->tick, song->nextOrder >= 0}; }

bool TickRepeatsSong(PlayedPositions* played, const Song* song, TickStart begun) {
    if (begun.tick != 0) return false;
    // The position actually played, not the one asked for: a break past the end of a shorter
    // pattern plays its row 0.
    const uint32_t position = MixedSongPosition(song);
    const auto order = static_cast<int32_t>(position >> 8);
    const auto row = static_cast<int32_t>(position & 0xFF);
    uint8_t& seen = played->seen[position];
    const bool wentBack = !begun.changesOrder && row <= played->lastRow;
    played->lastRow = row;
    if (begun.changesOrder && seen) return true;
    seen = 1;
    if (!wentBack) return false;
    const uint64_t state = LoopState(song, order, row);
    std::vector<uint64_t>& states = played->loopStates;
    if (std::find(states.begin(), states.end(), state) != states.end()) return true;
    if (states.size() < states.capacity()) states.push_back(state);
    return false;
}
