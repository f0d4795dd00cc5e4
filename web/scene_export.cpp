// What the page's scripts may read of the show: the scene on screen, for the frame-time
// measurement's per-scene figures, and the song position every scene change follows, for the
// page's test of the picture against the sound.
#include <emscripten/emscripten.h>

#include "show/song_clock.h"
#include "director/timeline.h"

extern "C" EMSCRIPTEN_KEEPALIVE int32_t NovalineCurrentScene() { return CurrentScene(); }
extern "C" EMSCRIPTEN_KEEPALIVE uint32_t NovalineSongPosition() { return GetSongPosition(); }
