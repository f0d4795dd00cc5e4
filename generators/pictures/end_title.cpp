// The closing title: the show's name over a fine rule and a short closing line, laid over the
// black of the last scene inside the box the show keeps for it.
//
// The show lays the raw index on the screen where it is not 0 and the grain's grey reads only the
// blue field, index & 31. So every stroke is 0xE0 | level: the high bits keep the indices high,
// the low five carry the brightness, and no level passes 24, because the grain adds up to 7 and a
// blue field over 31 wraps round to black.
#include <cmath>

#include "generators/pictures/lettering.h"
#include "generators/pictures/pictures.h"

namespace pictures {
namespace {

constexpr int kStroke = 0xE0;

void Put(Picture* picture, int x, int y, double level) {
    const int l =
        static_cast<int>(std::lround(std::clamp(level, 0.0, double(kBrightestUnwrapped))));
    if (l == 0) return;
    uint8_t& p = (*picture)[y * kWidth + x];
    p = static_cast<uint8_t>(kStroke | std::max(l, p & 31));
}

// Sets `text` centred on the box, its top at `top`, no wider than `maxWidth`.
void Letter(Picture* picture, const std::string& text, double capHeight, double tracking,
            int maxWidth, int top, double topLevel, double bottomLevel) {
    Lettering line = SetLine(text, capHeight, 1.2, tracking);
    if (line.width > maxWidth)
        line = SetLine(text, capHeight, 1.2 * maxWidth / line.width, tracking);
    const int left = (kEndLeft + kEndRight + 1 - line.width) / 2;
    for (int y = 0; y < line.height; ++y) {
        const double level = Mix(topLevel, bottomLevel, y / double(line.height - 1));
        for (int x = 0; x < line.width; ++x) Put(picture, left + x, top + y, level * line.At(x, y));
    }
}

}  // namespace

Picture EndPicture() {
    Picture picture(kPixels, 0);
    Letter(&picture, "NOVALINE", 21.0, 4.0, kEndRight - kEndLeft - 3, kEndTop + 2, 24.0, 19.0);
    // The rule: the "line" of the name, brightest in the middle and fading out at both ends.
    const int rule = kEndTop + 29;
    for (int x = kEndLeft; x <= kEndRight; ++x) {
        const double t = (x - (kEndLeft + kEndRight) / 2.0) / ((kEndRight - kEndLeft) / 2.0);
        Put(&picture, x, rule, 20.0 * (1.0 - t * t));
    }
    Letter(&picture, "THANKS FOR WATCHING", 9.0, 1.5, kEndRight - kEndLeft - 9, rule + 5, 22.0,
           20.0);
    return picture;
}

}  // namespace pictures
