// A 5 x 7 pixel font for the contact sheet's labels: the digits, the point, the space and the
// letters of "scene" and "flash".
#pragma once

#include <cstdint>

inline constexpr int32_t kGlyphWidth = 5;
inline constexpr int32_t kGlyphHeight = 7;
inline constexpr int32_t kGlyphAdvance = 6;

// Draws `text` in white with its top left at (x, y), each font pixel `scale` x `scale` pixels, into
// 8-bit RGB rows `pitchBytes` apart. Characters the font lacks are left blank.
void DrawLabel(uint8_t* rgb, int32_t pitchBytes, int32_t x, int32_t y, const char* text,
               int32_t scale);
