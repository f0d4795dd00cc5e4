// The demo's entry function: start-up, the show, shutdown. The same code runs on the SDL and the
// headless platform; the program links one of them.
#pragma once

#include <cstdint>

// The rate the show opens its sound at.
inline constexpr int32_t kShowOutputRateHz = 44100;

struct Song;

// The show's sound as start-up opens it: the embedded module's file hooks, the ring, the output at
// kShowOutputRateHz, and the song loaded but not started (null when it does not load). The page's
// sound worklet opens its own copy of the program's sound the same way.
Song* OpenShowSound();

// Returns 0 when the show has ended. A display that cannot start ends the process inside it.
int RunDemo();
