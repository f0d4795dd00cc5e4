// Grain and grey: moving noise added to every byte of the FrameBuffer, then each pixel rebuilt as
// a grey level from the smoothed blue field, like a noisy monochrome screen.
#pragma once

#include <cstdint>

// Where this frame's noise window lies: it starts ((3676 + grainOffset) mod 65536) - 3676 bytes
// into the embedded module (up to 3676 bytes before it). Advances by 768 a call, so it repeats
// every 256 calls; 0 at start-up.
extern uint16_t grainOffset;

// The noise bytes of the current window: 128000 bytes from the embedded block.
const uint8_t* GrainWindow();
void ApplyGrainGrey();
// Puts the noise window back to its start (grainOffset 0).
void ResetGrain();
