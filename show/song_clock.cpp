#include "show/song_clock.h"

#include "replay/song_control.h"

Song* showSong = nullptr;

uint32_t GetSongPosition() {
    const HeardPosition heard = GetHeardSongPosition(showSong);
    return SongPosition(heard.order, heard.row);
}
