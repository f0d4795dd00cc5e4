#include "tools/capture/frame_rgb.h"

#include <cstring>

#include "platform/pixel_565.h"

void ScreenToRgb(const uint8_t* screen, uint8_t* rgb, int32_t rgbPitchBytes) {
    for (int32_t y = 0; y < kScreenHeight; ++y) {
        const uint8_t* in = screen + static_cast<size_t>(y) * kScreenPitchBytes;
        uint8_t* out = rgb + static_cast<size_t>(y) * rgbPitchBytes;
        for (int32_t x = 0; x < kScreenWidth; ++x) {
            uint16_t pixel;
            std::memcpy(&pixel, in + 2 * x, sizeof pixel);
            out[3 * x] = static_cast<uint8_t>(Widen5To8(RedOf565(pixel)));
            out[3 * x + 1] = static_cast<uint8_t>(Widen6To8(GreenOf565(pixel)));
            out[3 * x + 2] = static_cast<uint8_t>(Widen5To8(BlueOf565(pixel)));
        }
    }
}
