// The opening picture: a ringed planet half sunk behind a sea under a night sky, the horizon one
// bright line across the screen, and the show's name in chrome capitals on the water.
//
// The show keeps only intro >> 4 (16 grey levels) under heavy grain, so everything here is a large
// shape or a broad gradient; the sky runs from 0 at the top corners to 255 on the planet's lit
// rim, which is also how every byte value comes to occur. The top rows (captions) stay dark and
// calm so the gold lettering reads on them; the middle is left to the glass solid's flashes.
#include <cmath>

#include "generators/pictures/lettering.h"
#include "generators/pictures/pictures.h"

namespace pictures {
namespace {

constexpr int kHorizon = 118;  // the bright line; the sea begins below it
constexpr double kPlanetX = 160.0, kPlanetY = 100.0, kPlanetRadius = 70.0;
constexpr double kRingInner = 1.30, kRingOuter = 1.95;  // in planet radii
constexpr double kRingTilt = 0.21;                      // the ring's height over its width

double Planet(double nx, double ny, double nz) {
    // Lit from behind and above: only a crescent along the top rim catches the light.
    const double lx = 0.22, ly = -0.80, lz = -0.40;
    const double len = std::sqrt(lx * lx + ly * ly + lz * lz);
    const double lit = std::max(0.0, (nx * lx + ny * ly + nz * lz) / len);
    // Cloud bands follow the latitude, bent a little so they read as a sphere.
    const double bands = 0.5 + 0.5 * std::sin(ny * 19.0 + 1.2 * nx * nx + 0.6);
    const double body = 26.0 + 22.0 * bands * nz;
    return body + 290.0 * std::pow(lit, 1.1);
}

// The ring's brightness at a distance r (planet radii) from the centre, in its own plane: broad
// bands with one dark gap, fading at both edges.
double Ring(double r) {
    if (r < kRingInner || r > kRingOuter) return -1.0;
    const double t = (r - kRingInner) / (kRingOuter - kRingInner);
    const double edges = Smooth(0.0, 0.06, t) * Smooth(1.0, 0.9, t);
    const double gap = 1.0 - 0.85 * std::exp(-std::pow((t - 0.62) / 0.035, 2.0));
    const double bands = 0.75 + 0.25 * std::cos(t * 17.0);
    return 200.0 * edges * gap * bands;
}

double SkyAt(double x, double y) {
    const double t = y / kHorizon;
    const double dx = x - kPlanetX, dy = (y - kPlanetY) * kRowAspect;
    const double dist = std::sqrt(dx * dx + dy * dy);
    const double base = 0.50 * std::pow(t, 2.4);
    const double halo = 0.5 * std::exp(-std::max(0.0, dist - kPlanetRadius) / 17.0);
    const double dawn = 0.35 * std::exp(-(kHorizon - y) / 9.0);
    return 255.0 * std::min(1.0, base + halo + dawn);
}

double SeaAt(double x, double y) {
    const double t = (y - kHorizon) / (kHeight - kHorizon);
    const double glowX = std::exp(-std::pow((x - kPlanetX) / 95.0, 2.0));
    double v = 8.0 + 62.0 * std::exp(-t * 3.5) * (0.6 + 0.4 * glowX);
    // Wave crests: lines spaced and thickened by perspective, broken into long dashes, catching
    // the glow most under the planet.
    double row = 1.5;
    for (int k = 0; row < kHeight - kHorizon; ++k) {
        const double thickness = 1.0 + k * 0.35;
        const double d = (y - kHorizon) - row;
        if (d >= 0.0 && d < thickness) {
            const double dash = Smooth(-0.4, 0.2, std::sin(x * 0.11 / (1.0 + 0.35 * k) + k * 2.3));
            v += (40.0 + 120.0 * glowX) * std::exp(-t * 1.4) * dash;
        }
        row = row * 1.34 + 1.2;
    }
    return v;
}

// The name's chrome: bright top, a dark split where the horizon would mirror, a dimmer bottom.
double Chrome(double t) {
    if (t < 0.47) return Mix(255.0, 190.0, t / 0.47);
    if (t < 0.55) return 70.0;
    return Mix(235.0, 130.0, (t - 0.55) / 0.45);
}

}  // namespace

Picture IntroPicture() {
    std::vector<double> canvas(kPixels);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double dx = x - kPlanetX, dy = (y - kPlanetY) * kRowAspect;
            const double dist = std::sqrt(dx * dx + dy * dy);
            double v;
            if (y > kHorizon) {
                v = SeaAt(x, y);
            } else if (dist < kPlanetRadius) {
                const double nx = dx / kPlanetRadius, ny = dy / kPlanetRadius;
                v = Planet(nx, ny, std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny)));
                // Soft edge against the halo.
                v = Mix(SkyAt(x, y), v, Smooth(kPlanetRadius, kPlanetRadius - 1.5, dist));
            } else {
                v = SkyAt(x, y);
            }
            // The ring: its far half passes behind the planet, its near half in front.
            const double ringR = std::sqrt(dx * dx + std::pow(dy / kRingTilt, 2.0)) / kPlanetRadius;
            const double ring = Ring(ringR);
            if (y <= kHorizon && ring >= 0.0 && (dy > 0.0 || dist >= kPlanetRadius)) {
                v = Mix(v, ring + 30.0, Smooth(0.0, 40.0, ring));
            }
            if (y == kHorizon) v = 255.0;
            if (y == kHorizon - 1 || y == kHorizon + 1) v = std::max(v, 200.0);
            canvas[y * kWidth + x] = v;
        }
    }

    // A few stars high in the dark, two pixels wide so the horizontal softening keeps them.
    Random random(1907);
    for (int placed = 0; placed < 34;) {
        const int x = 4 + static_cast<int>(random.Unit() * (kWidth - 10));
        const int y = 2 + static_cast<int>(random.Unit() * 70);
        const double dx = x - kPlanetX, dy = (y - kPlanetY) * kRowAspect;
        if (std::sqrt(dx * dx + dy * dy) < kPlanetRadius + 14.0 || canvas[y * kWidth + x] > 70.0)
            continue;
        const double bright = 120.0 + 135.0 * random.Unit();
        canvas[y * kWidth + x] = std::max(canvas[y * kWidth + x], bright);
        canvas[y * kWidth + x + 1] = std::max(canvas[y * kWidth + x + 1], bright * 0.8);
        ++placed;
    }

    // The name, as wide as the screen allows, on the water below the horizon.
    Lettering name = SetLine("NOVALINE", 30.0, 1.2, 3.0);
    const int kNameWidth = 290;
    if (name.width > kNameWidth)
        name = SetLine("NOVALINE", 30.0, 1.2 * kNameWidth / name.width, 3.0);
    const int left = (kWidth - name.width) / 2, top = 128;
    for (int y = top - 4; y < top + name.height + 4; ++y) {
        for (int x = left - 4; x < left + name.width + 5; ++x) {
            // A dark rim and a shadow down and right keep the letters apart from the water.
            double rim = 0.0;
            for (int oy = -2; oy <= 3; ++oy) {
                for (int ox = -3; ox <= 4; ++ox) {
                    const double reach = std::sqrt(ox * ox + oy * oy * kRowAspect * kRowAspect);
                    const double weight = std::clamp(3.2 - reach, 0.0, 1.0);
                    rim = std::max(rim, weight * name.At(x - left - ox, y - top - oy));
                }
            }
            const double cover = name.At(x - left, y - top);
            const double t = (y - top + 0.5) / name.height;
            double& v = canvas[y * kWidth + x];
            v = Mix(v, 0.0, rim);
            v = Mix(v, Chrome(t), cover);
        }
    }

    Picture picture(kPixels);
    for (int i = 0; i < kPixels; ++i) picture[i] = ToByte(canvas[i]);
    return picture;
}

}  // namespace pictures
