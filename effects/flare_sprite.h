// A soft grey light flare, 64 x 42 pixels, added onto the FrameBuffer with each colour field
// saturating on its own, so overlapping flares brighten towards white without wrapping.
#pragma once

#include <cstdint>

#include "platform/display.h"

inline constexpr int32_t kFlareWidth = 64;
inline constexpr int32_t kFlareHeight = 42;
// The highest position whose whole block lies inside the FrameBuffer.
inline constexpr int32_t kLastWholeFlarePixel =
    static_cast<int32_t>(kFramePixels - 1) - (kFlareHeight - 1) * static_cast<int32_t>(kFrameWidth) -
    (kFlareWidth - 1);

// Once at start-up: looks the sprite's colours up, after InitOverlayColours has built
// flareColours.
void PrepareFlare();

// Adds the flare with its top-left corner at linear pixel `pixel` (y * 320 + x). Past column 319
// a row goes on at the start of the next one; pixels outside the FrameBuffer (a flare above row 0
// or below the last) are left out.
void BlendFlare(int32_t pixel);

// The per-field rule for one pixel: min(31, red + red), min(63, green + green), min(31, blue +
// blue).
uint16_t AddFieldsSaturating(uint16_t destination, uint16_t source);
