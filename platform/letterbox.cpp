#include "platform/letterbox.h"

#include <algorithm>

#include "platform/display.h"

namespace {

// A window is a whole multiple of the picture shown at 4:3: 320 x 240.
constexpr int32_t kUnitWidth = static_cast<int32_t>(kFrameWidth);
constexpr int32_t kUnitHeight = kUnitWidth * 3 / 4;

}  // namespace

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

ScreenArea WindowedArea(const ScreenArea& usable) {
    const int32_t scale = std::min({3, usable.width / kUnitWidth, usable.height / kUnitHeight});
    ScreenArea area = LetterboxArea(usable.width, usable.height);
    if (scale >= 1) {
        area = {(usable.width - kUnitWidth * scale) / 2, (usable.height - kUnitHeight * scale) / 2,
                kUnitWidth * scale, kUnitHeight * scale};
    }
    // A window needs a size, however small the desktop claims to be.
    area.width = std::max(area.width, 1);
    area.height = std::max(area.height, 1);
    return {usable.x + area.x, usable.y + area.y, area.width, area.height};
}
