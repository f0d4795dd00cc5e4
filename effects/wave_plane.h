// The wave plane: the whole FrameBuffer filled with the texture, each row wider than the one above
// and every row lifted by a travelling sine, so the texture rolls while it scrolls diagonally.
#pragma once

#include <cstdint>

#include "platform/display.h"

inline constexpr int32_t kPlaneTextureSide = 256;

// One entry per FrameBuffer pixel, row-major: the low byte is the texture row v (from the screen
// row alone), the high byte the texture column u. Built by InitWavePlane, never changed.
extern uint16_t planeMap[kFramePixels];

// Once at start-up, after the frame buffer exists: converts the texture's palette into
// textureColours and builds planeMap.
void InitWavePlane();
// Overwrites all 64000 pixels, then lowers wavePhase by 0x0505.
void DrawWavePlane();
// Puts the travelling sine back to its start (wavePhase 0).
void ResetWavePlane();
