// The presented screen (320 x 200 RGB 5-6-5, 640 bytes a row) as 8-bit RGB.
#pragma once

#include <cstdint>

inline constexpr int32_t kScreenWidth = 320;
inline constexpr int32_t kScreenHeight = 200;
inline constexpr int32_t kScreenPitchBytes = 640;
inline constexpr int32_t kScreenBytes = kScreenPitchBytes * kScreenHeight;

// Writes the 320 x 200 picture to `rgb`, whose rows are `rgbPitchBytes` apart.
void ScreenToRgb(const uint8_t* screen, uint8_t* rgb, int32_t rgbPitchBytes);
