// The wave plane's texture and its palette.
//
//   make_texture OUT texture             65536 texel bytes, row-major, values 0..14
//   make_texture OUT palette             768 bytes: 256 triples (blue, green, red) of 6-bit values
//   make_texture --preview OUT.png [WARP.png]
//                                        the texture tiled 2 x 2 in its colours and, if named, the
//                                        screen as the wave plane shows it at a few phases
//
// The texture is overlapping scales, like a fish's flank or a tiled roof: each row of scales lies
// under the row above it, so every scale shows a rounded free edge with a soft shadow beneath. The
// wave plane bends, folds and repeats the texture, and only large, softly shaded shapes survive
// that; the index of a texel is its brightness, so the palette has to be one ramp from dark to
// light for the bending to read as relief.
//
// The texture uses only +, -, *, /, sqrt, floor and fmod on doubles, in a fixed order; IEEE 754
// rounds those the same everywhere, so the bytes do not depend on the machine or its maths library
// (the build keeps the compiler from fusing multiply-adds). Only the warped preview calls sin.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "generators/asset_file.h"
#include "tools/png_file.h"

namespace {

constexpr int32_t kSize = 256;  // texels along each side; both coordinates wrap here
constexpr int32_t kTexels = kSize * kSize;
constexpr int32_t kLevels = 15;  // indices 0..14
constexpr int32_t kPaletteEntries = 256;

// The scale lattice. Rows of scales sit kRowStep apart and every other row is shifted by half a
// pitch; both periods divide 256 and the number of rows per tile is even, so the lattice closes
// on itself across the wrap.
constexpr int32_t kPitch = 64;
constexpr int32_t kRowStep = 32;
constexpr double kRadius = 42.0;
static_assert(kSize % kPitch == 0 && kSize % (2 * kRowStep) == 0);

// Every point lies within the circumradius of the lattice's triangles of some centre; the discs
// must reach that far to leave no hole.
constexpr int32_t kSlant = kPitch * kPitch / 4 + kRowStep * kRowStep;  // a slanted side, squared
static_assert(kRadius * kRadius * 4 * kRowStep * kRowStep >= kSlant * kSlant);

using Field = std::vector<double>;
constexpr double kEqualise = 0.7;  // how much of the brightness-to-index mapping goes by rank

// A scale's shape, in units of kRelief texels: it rises by kTilt from its top to its free edge,
// bulges by kBulge in the middle and rolls off by kLip over the outer kLipWidth of its radius.
// Where a scale's rim lies over the next row, that one is a row step further along its own rise;
// the rim must still stand above it, or the scales would seem to lie the other way round.
constexpr double kRelief = 16.0;
constexpr double kTilt = 0.7;
constexpr double kBulge = 0.25;
constexpr double kLip = 0.15;
constexpr double kLipWidth = 0.2;
static_assert(kTilt * kRowStep / kRadius - kLip > kBulge);

int32_t Wrap(int32_t i) { return i & (kSize - 1); }

double Clamp01(double x) { return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x); }
double SmoothStep(double edge0, double edge1, double x) {
    const double t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

// The height of the scaled surface at a point, in texels. The scale on top at a point is the one
// of the highest row (smallest centre y) whose disc holds it; the rows are searched around the
// point itself rather than from row 0, so that "higher" means the same thing on both sides of the
// wrap. A scale is a shallow shield tilted so that its free lower edge stands proud of the scale
// it covers; the step down at that edge is what throws the shadow.
double ScaleHeight(double y, double x) {
    const double firstRow = std::floor((y - kRadius) / kRowStep);
    for (double row = firstRow; row * kRowStep <= y + kRadius; row += 1.0) {
        const double cy = row * kRowStep;
        const double shift = std::fmod(row, 2.0) != 0.0 ? kPitch / 2 : 0;
        // Of this row's centres, the one nearest across x.
        const double cx = std::floor((x - shift + kPitch / 2) / kPitch) * kPitch + shift;
        const double dx = (x - cx) / kRadius;
        const double dy = (y - cy) / kRadius;
        const double r2 = dx * dx + dy * dy;
        if (r2 > 1.0) continue;
        const double r = std::sqrt(r2);
        const double lip = kLip * SmoothStep(1.0 - kLipWidth, 1.0, r);
        return kRelief * (kTilt * (dy + 1.0) + kBulge * (1.0 - r2) - lip);
    }
    return 0.0;  // not reached: the discs overlap, as kRadius is checked against the lattice
}

// The surface is lit and shaded kFine x kFine times finer than the texels and then averaged, so
// that the scales' rims come out as soft lines instead of stair-steps and single-texel glints.
constexpr int32_t kFine = 4;
constexpr int32_t kFineSize = kSize * kFine;
static_assert((kFineSize & (kFineSize - 1)) == 0);

int32_t FineIndex(int32_t row, int32_t column) {
    return (row & (kFineSize - 1)) * kFineSize + (column & (kFineSize - 1));
}

Field MakeHeights() {
    Field h(static_cast<size_t>(kFineSize) * kFineSize);
    for (int32_t y = 0; y < kFineSize; ++y) {
        for (int32_t x = 0; x < kFineSize; ++x) {
            h[FineIndex(y, x)] = ScaleHeight((y + 0.5) / kFine, (x + 0.5) / kFine);
        }
    }
    return h;
}

// Light from above and a little to the left, low enough to throw shadows a few texels long.
// The shading is a diffuse term from the wrapped slope, darkened where a ray towards the light
// passes under the surface; the shadow fades with the ray's clearance, so its edge is soft.
Field Shade(const Field& h) {
    // The light's direction: across (x), down (y; the light is above, so negative) and towards
    // the viewer; its ground part is 35 : 75 of 83 parts, and it rises 56 for every 83 along.
    constexpr double kLight[3] = {-0.35, -0.75, 0.56};
    constexpr double kRise = 0.56 / 0.83;
    Field fine(h.size());
    for (int32_t y = 0; y < kFineSize; ++y) {
        for (int32_t x = 0; x < kFineSize; ++x) {
            const double here = h[FineIndex(y, x)];
            const double gx = (h[FineIndex(y, x + 1)] - h[FineIndex(y, x - 1)]) * (0.5 * kFine);
            const double gy = (h[FineIndex(y + 1, x)] - h[FineIndex(y - 1, x)]) * (0.5 * kFine);
            const double length = std::sqrt(gx * gx + gy * gy + 1.0);
            const double diffuse = Clamp01((-gx * kLight[0] - gy * kLight[1] + kLight[2]) / length);
            // March towards the light one texel at a time along its ground direction.
            double blocked = 0.0;
            for (int32_t step = 1; step <= 24; ++step) {
                const int32_t sx = x - (step * kFine * 35 + 41) / 83;
                const int32_t sy = y - (step * kFine * 75 + 41) / 83;
                blocked = std::max(blocked, h[FineIndex(sy, sx)] - (here + step * kRise));
            }
            const double lit = 1.0 - 0.6 * SmoothStep(0.0, 4.0, blocked);
            fine[FineIndex(y, x)] = 0.25 + 0.75 * diffuse * lit;
        }
    }
    Field b(kTexels, 0.0);
    for (int32_t y = 0; y < kFineSize; ++y) {
        for (int32_t x = 0; x < kFineSize; ++x) {
            b[((y / kFine) << 8) | (x / kFine)] += fine[FineIndex(y, x)];
        }
    }
    for (double& v : b) v /= kFine * kFine;
    return b;
}

// Brightness to index. Spread linearly, the levels would crowd where the scales are flat and
// leave the shadows to a few; ranked (equalised), every level would be as common, but the scales'
// gentle gradations would be stretched into bands. A blend, mostly ranked, keeps the shading's
// shape and still gives every level a fair share; the darkest and brightest hundredths are
// clipped from the linear part so that a few rim texels do not squeeze the rest.
std::vector<uint8_t> Quantise(const Field& b) {
    std::vector<int32_t> order(kTexels);
    for (int32_t i = 0; i < kTexels; ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](int32_t l, int32_t r) { return b[l] < b[r] || (b[l] == b[r] && l < r); });
    const double low = b[order[kTexels / 100]];
    const double high = b[order[kTexels - 1 - kTexels / 200]];
    std::vector<uint8_t> texels(kTexels);
    for (int32_t first = 0; first < kTexels;) {
        // Equal brightnesses share the middle of their ranks, so a flat patch stays one level
        // instead of splitting wherever the sort happened to divide it.
        int32_t end = first + 1;
        while (end < kTexels && b[order[end]] == b[order[first]]) ++end;
        const double linear = Clamp01((b[order[first]] - low) / (high - low));
        const double ranked = 0.5 * (first + end) / kTexels;
        const double level = (kEqualise * ranked + (1.0 - kEqualise) * linear) * (kLevels - 1);
        const uint8_t index = static_cast<uint8_t>(level + 0.5);
        for (int32_t rank = first; rank < end; ++rank) texels[order[rank]] = index;
        first = end;
    }
    return texels;
}

std::vector<uint8_t> MakeTexture() { return Quantise(Shade(MakeHeights())); }

// The ramp as (red, green, blue) 6-bit keys at indices; entries between are interpolated. Entry 0
// is the night sky behind the star field, so it stays very dark and faintly blue; the ramp climbs
// through deep blue and cyan to a near-white glint.
struct Key {
    int32_t index, red, green, blue;
};
constexpr Key kRamp[] = {
    {0, 2, 3, 8},     {2, 2, 5, 16},    {5, 2, 11, 26},   {8, 4, 20, 36},
    {11, 10, 35, 46}, {13, 28, 51, 56}, {14, 50, 61, 62},
};

std::vector<uint8_t> MakePalette() {
    std::vector<uint8_t> palette(3 * kPaletteEntries, 0);
    for (size_t k = 0; k + 1 < std::size(kRamp); ++k) {
        const Key& a = kRamp[k];
        const Key& b = kRamp[k + 1];
        for (int32_t i = a.index; i <= b.index; ++i) {
            const int32_t t = i - a.index, span = b.index - a.index;
            auto mix = [&](int32_t from, int32_t to) {
                return from + ((to - from) * t * 2 + span) / (2 * span);  // rounded to nearest
            };
            // Red and blue lose their lowest bit on the display; even values keep them exact.
            palette[3 * i + 0] = static_cast<uint8_t>(mix(a.blue, b.blue) & ~1);
            palette[3 * i + 1] = static_cast<uint8_t>(mix(a.green, b.green));
            palette[3 * i + 2] = static_cast<uint8_t>(mix(a.red, b.red) & ~1);
        }
    }
    // One spare entry past the ramp, the same as its top, so a texel that somehow reached 15
    // would still be a glint.
    std::memcpy(&palette[3 * kLevels], &palette[3 * (kLevels - 1)], 3);
    return palette;
}

// The checks the output must pass before it is written; empty when it does.
std::string CheckTexture(const std::vector<uint8_t>& t) {
    std::array<int32_t, 256> count{};
    for (uint8_t v : t) ++count[v];
    for (int32_t v = kLevels; v < 256; ++v) {
        if (count[v] != 0) return "a texel is above " + std::to_string(kLevels - 1);
    }
    // A ramp that leaves out a level, or crowds into few, bands when warped.
    for (int32_t v = 0; v < kLevels; ++v) {
        if (count[v] < kTexels / 200) return "index " + std::to_string(v) + " is (nearly) unused";
    }
    // Seams. The scales repeat every kPitch columns and every two rows of scales, both dividing
    // 256, so the step from the last column to the first must be the very step a period further
    // in, and so for the rows. Checking the whole texture for that repeat, rather than the seam's
    // roughness against the lines inside, also catches what is subtly off at an edge: the motif's
    // own rims are rougher than many a faulty seam.
    for (int32_t row = 0; row < kSize; ++row) {
        for (int32_t column = 0; column < kSize; ++column) {
            const uint8_t texel = t[(row << 8) | column];
            if (texel != t[(row << 8) | Wrap(column + kPitch)]) {
                return "the texture does not repeat across its columns, so it will not wrap";
            }
            if (texel != t[(Wrap(row + 2 * kRowStep) << 8) | column]) {
                return "the texture does not repeat across its rows, so it will not wrap";
            }
        }
    }
    return {};
}

std::string CheckPalette(const std::vector<uint8_t>& p) {
    for (int32_t i = 0; i < kPaletteEntries; ++i) {
        if (p[3 * i] > 63 || p[3 * i + 1] > 63 || p[3 * i + 2] > 63) {
            return "a palette value is above 63";
        }
        if ((p[3 * i] & 1) || (p[3 * i + 2] & 1)) return "a palette's blue or red value is odd";
    }
    return {};
}

// The palette's triples are stored blue first; the PNG wants red first.
std::vector<uint8_t> RedFirst(const std::vector<uint8_t>& palette) {
    std::vector<uint8_t> swapped = palette;
    for (int32_t i = 0; i < kPaletteEntries; ++i) std::swap(swapped[3 * i], swapped[3 * i + 2]);
    return swapped;
}

// The wave plane as the audience sees it: each screen row takes a texture row from a sine of its
// own row, each column steps through more texels the lower the row, and the scroll phase moves
// both. Three phases, one below the other, each screen pixel drawn 2 x 2.
std::vector<uint8_t> WarpedScreens(const std::vector<uint8_t>& texture, int32_t* width,
                                   int32_t* height) {
    constexpr int32_t kW = 320, kH = 200, kZoom = 2;
    constexpr int32_t kPhases[][2] = {{0, 0}, {70, 45}, {160, 130}};  // (sine phase, scroll)
    constexpr int32_t kCount = static_cast<int32_t>(std::size(kPhases));
    uint8_t sine[256];
    for (int32_t i = 0; i < 256; ++i) {
        const double angle = 2.0 * std::numbers::pi * i / 256.0;
        sine[i] = static_cast<uint8_t>(std::lround(127.0 + 127.0 * std::sin(angle)));
    }
    *width = kW * kZoom;
    *height = kH * kZoom * kCount;
    std::vector<uint8_t> indices(static_cast<size_t>(*width) * *height);
    for (int32_t p = 0; p < kCount; ++p) {
        const int32_t wave = kPhases[p][0], scroll = kPhases[p][1];
        for (int32_t y = 0; y < kH; ++y) {
            const int32_t v = (y * 256 + 100) / 200 & 255;
            const int32_t row = Wrap(sine[(v + wave) & 255] - scroll);
            for (int32_t x = 0; x < kW; ++x) {
                const int32_t u = (x * (256 + 2 * y) + 160) / 320 & 255;
                const int32_t column = Wrap(-(u + scroll));
                const uint8_t index = texture[(row << 8) | column];
                for (int32_t zy = 0; zy < kZoom; ++zy) {
                    for (int32_t zx = 0; zx < kZoom; ++zx) {
                        const size_t screenRow = static_cast<size_t>((p * kH + y) * kZoom + zy);
                        indices[screenRow * *width + x * kZoom + zx] = index;
                    }
                }
            }
        }
    }
    return indices;
}

int Preview(const char* program, const std::vector<uint8_t>& texture,
            const std::vector<uint8_t>& palette, const char* tiledPath, const char* warpPath) {
    const std::vector<uint8_t> colours = RedFirst(palette);
    std::vector<uint8_t> tiled(4 * kTexels);
    for (int32_t y = 0; y < 2 * kSize; ++y) {
        for (int32_t x = 0; x < 2 * kSize; ++x) {
            tiled[y * 2 * kSize + x] = texture[(Wrap(y) << 8) | Wrap(x)];
        }
    }
    std::string error;
    const std::vector<uint8_t> rgb = IndexedToRgb(tiled, colours.data());
    if (!WritePngRgb(tiledPath, 2 * kSize, 2 * kSize, rgb, &error)) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 1;
    }
    if (warpPath) {
        int32_t width = 0, height = 0;
        const std::vector<uint8_t> screens = WarpedScreens(texture, &width, &height);
        if (!WritePngRgb(warpPath, width, height, IndexedToRgb(screens, colours.data()), &error)) {
            std::fprintf(stderr, "%s: %s\n", program, error.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool preview = argc >= 3 && argc <= 4 && std::strcmp(argv[1], "--preview") == 0;
    const bool data =
        argc == 3 && (std::strcmp(argv[2], "texture") == 0 || std::strcmp(argv[2], "palette") == 0);
    if (!preview && !data) {
        std::fprintf(stderr, "usage: %s OUT texture|palette, or %s --preview OUT.png [WARP.png]\n",
                     argv[0], argv[0]);
        return 2;
    }
    const std::vector<uint8_t> texture = MakeTexture();
    const std::vector<uint8_t> palette = MakePalette();
    std::string problem = CheckTexture(texture);
    if (problem.empty()) problem = CheckPalette(palette);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[0], problem.c_str());
        return 1;
    }
    if (preview) return Preview(argv[0], texture, palette, argv[2], argc == 4 ? argv[3] : nullptr);
    return WriteAssetFile(argv[0], argv[1],
                          std::strcmp(argv[2], "texture") == 0 ? texture : palette)
               ? 0
               : 1;
}
