// What the page's scripts may read of the show: the scene on screen, for the frame-time
// measurement's per-scene figures.
#include <emscripten/emscripten.h>

#include "director/timeline.h"

extern "C" EMSCRIPTEN_KEEPALIVE int32_t NovalineCurrentScene() { return CurrentScene(); }
