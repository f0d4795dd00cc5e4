// The mask: an iris of seven curved blades that closes on the glass solid as the level falls,
// turning as it closes like a lens's, and opens again as the level rises. Across it stays a lit
// four-pointed star whose long arms make one line through the whole screen: index 0, never dark.
//
// A pixel darkens once the level drops below 256 - m, and darkens one step more every frame
// after, so m is the moment the blades reach it: 1 where they start (the screen's corners),
// rising frame by frame towards the middle. The last frame of the fall (level 81) darkens indices
// up to 174, which is where the aperture stops, round the solid; what lies inside it is given the
// indices the iris would reach if it went on.
#include <cmath>
#include <numbers>

#include "generators/pictures/pictures.h"

namespace pictures {
namespace {

constexpr double kCentreX = 160.0, kCentreY = 100.0;
constexpr int kBlades = 7;
constexpr int kLastDark = 174;  // the highest index dark at the lowest level
constexpr double kOpenApothem = 186.0;  // beyond the corners' reach: the first step shows
constexpr double kClosedApothem = 64.0;  // round the glass solid at the lowest level
constexpr double kTurn = 0.9;  // radians the blades turn while closing
// Below 1 the blades' edges bow outward and the aperture reads as a lens's, not a polygon.
constexpr double kBladeBow = 0.85;

// How far the blades have come at index m, 0..1 (past 1 beyond the last dark index). They slow
// as they close: the dark then builds up behind a slow edge, which keeps the edge firm where the
// iris rests, at the lowest level, for most of the scene; never quite stopping, so every frame
// of the fall darkens something new.
double Closing(int m) {
    const double s = (m - 1) / double(kLastDark - 1);
    const double left = 1.0 - s;
    return s <= 1.0 ? 1.0 - 0.75 * left * left - 0.25 * left : 1.0 - 0.25 * left;
}

double Apothem(int m) { return Mix(kOpenApothem, kClosedApothem, Closing(m)); }

bool Covered(double dx, double dy, int m) {
    const double r = std::sqrt(dx * dx + dy * dy);
    const double sector = 2.0 * std::numbers::pi / kBlades;
    double a = std::atan2(dy, dx) - kTurn * Closing(m);
    a = std::fmod(a, sector);
    if (a < 0.0) a += sector;
    const double off = a - sector / 2.0;  // from the nearest blade's middle
    return r * std::pow(std::cos(off), kBladeBow) > Apothem(m);
}

// The star that stays lit: an astroid with long horizontal arms that run on as the line, short
// vertical ones, and a small diagonal cross at its heart.
bool Lit(double dx, double dy) {
    const double ax = std::abs(dx), ay = std::abs(dy);
    auto astroid = [](double u, double v, double a, double b) {
        return std::pow(u / a, 2.0 / 3.0) + std::pow(v / b, 2.0 / 3.0) <= 1.0;
    };
    const double lineHalf = 0.5 + 1.6 * std::exp(-std::pow(dx / 120.0, 2.0));
    if (ay / kRowAspect <= lineHalf) return true;
    if (astroid(ax, ay, 150.0, 96.0)) return true;
    const double u = (ax + ay) / std::numbers::sqrt2, v = std::abs(ax - ay) / std::numbers::sqrt2;
    return astroid(u, v, 44.0, 44.0);
}

}  // namespace

Picture MaskPicture() {
    Picture picture(kPixels);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double dx = x + 0.5 - kCentreX, dy = (y + 0.5 - kCentreY) * kRowAspect;
            int m = 255;
            if (!Lit(dx, dy)) {
                for (int k = 1; k < 255; ++k) {
                    if (Covered(dx, dy, k)) {
                        m = k;
                        break;
                    }
                }
            } else {
                m = 0;
            }
            picture[y * kWidth + x] = static_cast<uint8_t>(m);
        }
    }
    return picture;
}

}  // namespace pictures
