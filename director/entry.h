// The demo's entry function: start-up, the show, shutdown. The same code runs on the SDL and the
// headless platform; the program links one of them.
#pragma once

#include <cstdint>

// The rate the show opens its sound at.
inline constexpr int32_t kShowOutputRateHz = 44100;

// Returns 0 when the show has ended. A display that cannot start ends the process inside it.
int RunDemo();
