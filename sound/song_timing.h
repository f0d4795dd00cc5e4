// Where a Song stands and how fast it goes: the song position as one number, the position being
// mixed, and the tempo. The replay and the audio output both set the tempo; everyone reads the
// position.
#pragma once

#include <atomic>
#include <cstdint>

#include "sound/module.h"

// A song position as one number: the order in the high byte, the row in the low byte, each taken
// modulo 256. The song clock, the beat tables and the output's record of what is heard use it.
constexpr uint32_t SongPosition(int32_t order, int32_t row) {
    return (static_cast<uint32_t>(order) & 0xFF) << 8 | (static_cast<uint32_t>(row) & 0xFF);
}
// Every value SongPosition gives is below this.
inline constexpr uint32_t kSongPositionCount = 1u << 16;

// The position being mixed, read without a lock while the mixing thread writes it.
inline int32_t GetSongOrder(const Song* song) {
    return song ? song->order.load(std::memory_order_relaxed) : 0;
}
inline int32_t GetSongRow(const Song* song) {
    return song ? song->row.load(std::memory_order_relaxed) : 0;
}
inline uint32_t MixedSongPosition(const Song* song) {
    return SongPosition(GetSongOrder(song), GetSongRow(song));
}

// Sets the tempo and the tick length floor(5 x rate / (2 x bpm)) frames, at least 1 while the
// output is open. A BPM below 1 (a damaged header) plays at 125, the format's default tempo. Called
// by the replay from the mixing thread, so it takes no lock.
void SetSongBpm(Song* song, int32_t bpm);
