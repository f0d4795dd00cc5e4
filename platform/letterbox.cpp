#include "platform/letterbox.h"

ScreenArea LetterboxArea(int32_t outputWidth, int32_t outputHeight) {
    if (outputWidth <= 0 || outputHeight <= 0) return {0, 0, 0, 0};
    ScreenArea area{0, 0, outputWidth, outputHeight};
    // The other side is truncated so that the area never spills past the output.
    if (static_cast<int64_t>(outputWidth) * 3 > static_cast<int64_t>(outputHeight) * 4) {
        area.width = static_cast<int32_t>(static_cast<int64_t>(outputHeight) * 4 / 3);
    } else {
        area.height = static_cast<int32_t>(static_cast<int64_t>(outputWidth) * 3 / 4);
    }
    area.x = (outputWidth - area.width) / 2;
    area.y = (outputHeight - area.height) / 2;
    return area;
}
