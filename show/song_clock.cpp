#include "show/song_clock.h"

#include "replay/song_control.h"

Song* song = nullptr;

uint32_t GetSongPosition() {
    const HeardPosition heard = GetHeardSongPosition(song);
    return SongPosition(heard.order, heard.row);
}
