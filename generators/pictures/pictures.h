// The show's five full-screen pictures: 320 x 200 bytes, row-major. What each byte means depends
// on how the show draws that picture; each maker's comment says how.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace pictures {

constexpr int kWidth = 320;
constexpr int kHeight = 200;
constexpr int kPixels = kWidth * kHeight;
// Screen pixels are taller than wide (320 x 200 shown at 4:3): a row counts 1.2 columns, so
// distances measured with it keep circles round on the screen.
constexpr double kRowAspect = 1.2;

using Picture = std::vector<uint8_t>;

// The opening scene shows intro >> 4 as 16 grey levels.
Picture IntroPicture();
// The dark that closes in during scenes 3 to 5: small non-zero indices darken first, 0 never.
Picture MaskPicture();
// The two climax pictures that alternate on the beat, shown as picture >> 3 (32 grey levels).
Picture SwapPictureA();
Picture SwapPictureB();
// The closing title, overlaid where non-zero; the grain shows index & 31 as grey.
Picture EndPicture();

// The box the closing title must stay inside, inclusive.
constexpr int kEndLeft = 57, kEndRight = 261, kEndTop = 74, kEndBottom = 120;
// The brightest level a grey picture may ask of the blue field: the grain adds up to 7, and a
// field that passes 31 wraps round to black.
constexpr int kBrightestUnwrapped = 31 - 7;

inline double Smooth(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

inline double Mix(double a, double b, double t) { return a + (b - a) * t; }

inline uint8_t ToByte(double v) {
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

// A small fixed-seed generator: the same bytes on every run and every standard library.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1u) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // 0 <= result < 1.
    double Unit() { return (Next() >> 8) * (1.0 / 16777216.0); }

private:
    uint32_t state_;
};

}  // namespace pictures
