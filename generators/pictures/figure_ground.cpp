// The climax pair: figure and ground. Picture A is a lit vase in the middle of the dark; picture
// B lights what A leaves dark round it, and the vase's outline turns out to be two faces in
// profile, looking at each other. Swapped on the beat the eye flips between the two readings.
//
// The show keeps picture >> 3 as the blue field and the grain adds up to 7, so no byte goes above
// 199 (level 24): a brighter one would wrap to black under the grain. Both stay clear of the
// captions' rows where they can: the faces' features sit in the middle band.
#include <array>
#include <cmath>

#include "generators/pictures/pictures.h"

namespace pictures {
namespace {

constexpr double kCentreX = 160.0;
constexpr double kBrightest = 8.0 * kBrightestUnwrapped + 7.0;  // 199
constexpr int kVaseTop = 14, kVaseBottom = 190;
constexpr double kFaceDepth = 64.0;  // how far the light reaches into the faces from the outline

struct Knot {
    double y, halfWidth;
};

// The profile, as the vase's half width row by row: forehead, brow, the eye's hollow, the nose,
// lips, chin, the throat.
constexpr std::array<Knot, 23> kProfile{{
    {-20, 70}, {0, 66}, {22, 57}, {44, 50}, {55, 47}, {62, 52}, {70, 50}, {80, 37},
    {87, 26}, {91, 28}, {95, 37}, {101, 35}, {105, 31}, {108, 35}, {112, 32}, {117, 36},
    {122, 42}, {132, 37}, {140, 38}, {148, 47}, {157, 61}, {168, 66}, {220, 70},
}};

// A smooth curve through the knots (cubic Hermite, slopes from the neighbours).
double HalfWidth(double y) {
    size_t k = 1;
    while (k + 1 < kProfile.size() && kProfile[k].y < y) ++k;
    const Knot& a = kProfile[k - 1];
    const Knot& b = kProfile[k];
    auto slope = [](size_t i) {
        const Knot& p = kProfile[i == 0 ? 0 : i - 1];
        const Knot& n = kProfile[i + 1 < kProfile.size() ? i + 1 : i];
        return (n.halfWidth - p.halfWidth) / (n.y - p.y);
    };
    const double h = b.y - a.y;
    const double t = std::clamp((y - a.y) / h, 0.0, 1.0);
    const double t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * a.halfWidth + (t3 - 2 * t2 + t) * h * slope(k - 1) +
           (-2 * t3 + 3 * t2) * b.halfWidth + (t3 - t2) * h * slope(k);
}

double VaseLight(double x, double y) {
    const double w = HalfWidth(y);
    const double u = std::clamp((x - kCentreX) / w, -1.0, 1.0);
    const double nz = std::sqrt(1.0 - u * u);
    // A lathe-turned body lit from the upper left and the front, with a glint.
    const double lx = -0.50, lz = 0.87;
    const double diffuse = std::max(0.0, u * lx + nz * lz);
    const double hx = lx, hz = lz + 1.0;
    const double hl = std::sqrt(hx * hx + hz * hz);
    const double glint = std::pow(std::max(0.0, (u * hx + nz * hz) / hl), 40.0);
    double v = 40.0 + 125.0 * diffuse + 80.0 * glint;
    // Turned rings under the rim, at the waist and above the foot.
    for (double ring : {22.0, 26.0, 120.0, 180.0}) {
        if (std::abs(y - ring) < 1.0) v *= 0.55;
    }
    if (y < kVaseTop + 2 || y > kVaseBottom - 2) v = std::max(v, 150.0);
    return std::min(v, kBrightest);
}

}  // namespace

Picture SwapPictureA() {
    Picture picture(kPixels, 0);
    for (int y = kVaseTop; y <= kVaseBottom; ++y) {
        const double w = HalfWidth(y + 0.5);
        for (int x = 0; x < kWidth; ++x) {
            const double dx = std::abs(x + 0.5 - kCentreX);
            if (dx > w + 0.5) continue;
            const double edge = std::clamp(w + 0.5 - dx, 0.0, 1.0);
            picture[y * kWidth + x] = ToByte(std::max(8.0, VaseLight(x + 0.5, y + 0.5) * edge));
        }
    }
    return picture;
}

Picture SwapPictureB() {
    // The outline sampled finely, to measure each pixel's distance from it on the screen.
    std::vector<std::pair<double, double>> outline;
    for (double y = -kFaceDepth; y <= kHeight + kFaceDepth; y += 0.25) {
        outline.emplace_back(kCentreX - HalfWidth(y), y * kRowAspect);
    }
    Picture picture(kPixels, 0);
    for (int y = 0; y < kHeight; ++y) {
        const double w = HalfWidth(y + 0.5);
        for (int x = 0; x < kWidth; ++x) {
            // The faces mirror each other; measure on the left one.
            const double px = kCentreX - std::abs(x + 0.5 - kCentreX);
            const double py = (y + 0.5) * kRowAspect;
            if (px > kCentreX - w) continue;  // the vase's place stays dark
            double d2 = 1e9;
            for (const auto& [ox, oy] : outline) {
                if (std::abs(oy - py) > kFaceDepth) continue;
                d2 = std::min(d2, (ox - px) * (ox - px) + (oy - py) * (oy - py));
            }
            const double d = std::sqrt(d2);
            if (d >= kFaceDepth) continue;
            // Lit from the vase's side: brightest on the outline, fading into the heads.
            double v = kBrightest * std::pow(1.0 - d / kFaceDepth, 1.3);
            // An eye and the line of the mouth, cut into the light.
            const double ex = (px - (kCentreX - 53.0 - 17.0)) / 7.0, ey = (y + 0.5 - 64.0) / 2.2;
            if (ex * ex + ey * ey < 1.0) v *= 0.25;
            if (std::abs(y + 0.5 - 108.5) < 0.8 && px > kCentreX - 35.0 - 9.0) v *= 0.45;
            // What the show would draw as level 0 stays exactly 0: nothing unseen counts as lit.
            if (v >= 8.0) picture[y * kWidth + x] = ToByte(v);
        }
    }
    return picture;
}

}  // namespace pictures
