#include "tools/capture/frame_rgb.h"

#include <cstring>

void ScreenToRgb(const uint8_t* screen, uint8_t* rgb, int32_t rgbPitchBytes) {
    for (int32_t y = 0; y < kScreenHeight; ++y) {
        const uint8_t* in = screen + static_cast<size_t>(y) * kScreenPitchBytes;
        uint8_t* out = rgb + static_cast<size_t>(y) * rgbPitchBytes;
        for (int32_t x = 0; x < kScreenWidth; ++x) {
            uint16_t pixel;
            std::memcpy(&pixel, in + 2 * x, sizeof pixel);
            const uint32_t red = pixel >> 11, green = pixel >> 5 & 63, blue = pixel & 31;
            // The top bits repeated into the low ones: 0 stays 0 and full intensity becomes
            // 255, where a plain shift would leave white at 248.
            out[3 * x] = static_cast<uint8_t>(red << 3 | red >> 2);
            out[3 * x + 1] = static_cast<uint8_t>(green << 2 | green >> 4);
            out[3 * x + 2] = static_cast<uint8_t>(blue << 3 | blue >> 2);
        }
    }
}
