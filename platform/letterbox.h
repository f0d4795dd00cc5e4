// Where the picture goes on a screen of any shape: the 320 x 200 picture was made for 4:3 screens
// (its pixels are taller than wide), so it fills the largest centred 4:3 area and the rest is black.
#pragma once

#include <cstdint>

struct ScreenArea {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

ScreenArea LetterboxArea(int32_t outputWidth, int32_t outputHeight);

// The show's window outside full screen, centred in `usable` (the desktop less its panels):
// 960 x 720, or the largest whole multiple of 320 x 240 that fits, so every picture pixel is the
// same number of screen pixels; on a desktop smaller than 320 x 240, its largest 4:3 area.
ScreenArea WindowedArea(const ScreenArea& usable);
