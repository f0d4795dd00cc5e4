#include "director/song_clock.h"

#include "sound/song_control.h"

Song* song = nullptr;

uint32_t GetSongPosition() {
    const uint32_t order = static_cast<uint32_t>(GetSongOrder(song)) & 0xFF;
    const uint32_t row = static_cast<uint32_t>(GetSongRow(song)) & 0xFF;
    return (order << 8) | row;
}
