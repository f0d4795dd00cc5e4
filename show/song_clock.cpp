#include "show/song_clock.h"

#include "replay/song_control.h"

Song* song = nullptr;

uint32_t GetSongPosition() {
    const HeardPosition heard = GetHeardSongPosition(song);
    const uint32_t order = static_cast<uint32_t>(heard.order) & 0xFF;
    const uint32_t row = static_cast<uint32_t>(heard.row) & 0xFF;
    return (order << 8) | row;
}
