#include "generators/pictures/screen_preview.h"

#include <array>

#include "generators/pictures/pictures.h"
#include "tools/png_file.h"

namespace pictures {
namespace {

constexpr int kScale = 2;
constexpr int kGap = 8;  // dark grey between the frames of a sheet

// The song's bytes >> 5 are mostly 0 or 7 (signed sample data swings both ways), rarely between:
// the spread measured over the grain's window, in hundredths.
constexpr std::array<int, 8> kNoiseSpread{37, 8, 4, 2, 9, 3, 6, 31};

uint8_t Noise(Random* random) {
    int pick = static_cast<int>(random->Next() % 100);
    for (int n = 0; n < 8; ++n) {
        if (pick < kNoiseSpread[n]) return static_cast<uint8_t>(n);
        pick -= kNoiseSpread[n];
    }
    return 7;
}

}  // namespace

void GrainGrey(Frame* frame, uint32_t seed) {
    Random random(seed);
    Frame& pixels = *frame;
    for (uint16_t& p : pixels) {
        const uint8_t low = static_cast<uint8_t>((p & 0xFF) + Noise(&random));
        const uint8_t high = static_cast<uint8_t>((p >> 8) + Noise(&random));
        p = static_cast<uint16_t>(high << 8 | low);
    }
    constexpr int kFirst = kWidth + 1, kLast = kPixels - kWidth;
    uint32_t left = pixels[kFirst - 1] & 0x1F;
    for (int i = kFirst; i <= kLast; ++i) {
        const uint32_t s = (2 * (pixels[i] & 0x1F) + (pixels[i + 1] & 0x1F) + left) >> 2;
        pixels[i] = static_cast<uint16_t>(s << 11 | (2 * s) << 5 | s);
        left = s;
    }
}

Sheet::Sheet(int columns, int rows)
    : columns_(columns), rows_(rows),
      rgb_(static_cast<size_t>(columns * (kWidth * kScale + kGap) + kGap) *
               (rows * (kHeight * kScale + kGap) + kGap) * 3,
           40) {}

void Sheet::Put(int column, int row, const Frame& frame) {
    const int sheetWidth = columns_ * (kWidth * kScale + kGap) + kGap;
    const int left = kGap + column * (kWidth * kScale + kGap);
    const int top = kGap + row * (kHeight * kScale + kGap);
    for (int y = 0; y < kHeight * kScale; ++y) {
        for (int x = 0; x < kWidth * kScale; ++x) {
            const uint16_t p = frame[(y / kScale) * kWidth + x / kScale];
            uint8_t* o = &rgb_[(static_cast<size_t>(top + y) * sheetWidth + left + x) * 3];
            o[0] = static_cast<uint8_t>((p >> 11) * 255 / 31);
            o[1] = static_cast<uint8_t>(((p >> 5) & 63) * 255 / 63);
            o[2] = static_cast<uint8_t>((p & 31) * 255 / 31);
        }
    }
}

bool Sheet::Write(const std::string& path, std::string* error) const {
    const int width = columns_ * (kWidth * kScale + kGap) + kGap;
    const int height = rows_ * (kHeight * kScale + kGap) + kGap;
    return WritePngRgb(path, width, height, rgb_, error);
}

}  // namespace pictures
