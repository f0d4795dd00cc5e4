// Writes the flare picture: a 320 x 200 picture of grey levels whose only content is a soft round
// glow in its top-left 64 x 42 pixels: a bright core, a smooth falloff and four faint rays. The
// flare is added onto the screen, so level 0 (its edges) adds nothing; its palette is the grey
// ramp i / 4, built where it is used.
//   make_flare OUT           the 64000 picture bytes
//   make_flare --preview OUT.png   the block at 4x, and four flares overlapping on the night sky
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "generators/asset_file.h"
#include "tools/png_file.h"

namespace {

constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 200;
constexpr int kFlareWidth = 64;
constexpr int kFlareHeight = 42;
// Screen pixels are taller than wide (320 x 200 shown at 4:3): rows count 1.2 columns, so the
// glow is round on the screen.
constexpr double kRowAspect = 1.2;

double Smooth(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Light of the flare at (x, y) of its block, 0..1.
double Light(int x, int y) {
    const double dx = x - (kFlareWidth - 1) / 2.0;
    const double dy = (y - (kFlareHeight - 1) / 2.0) * kRowAspect;
    const double r = std::sqrt(dx * dx + dy * dy);
    const double core = std::exp(-(r * r) / (2.0 * 2.2 * 2.2));
    const double halo = 0.3 * std::exp(-r / 5.5);
    // Rays along the two axes and fainter ones along the diagonals, fading with distance.
    const double angle = std::atan2(dy, dx);
    const double axes = std::pow(std::fabs(std::cos(2.0 * angle)), 40.0);
    const double diagonals = 0.5 * std::pow(std::fabs(std::sin(2.0 * angle)), 60.0);
    const double rays = 0.3 * (axes + diagonals) * std::exp(-r / 10.0);
    // Fades to nothing before the block's edges, so no flare shows a rim.
    const double edge = Smooth(0.0, 4.0, std::min({double(x), double(kFlareWidth - 1 - x)})) *
                        Smooth(0.0, 3.0, std::min({double(y), double(kFlareHeight - 1 - y)})) *
                        (1.0 - Smooth(24.0, 31.0, r));
    return std::clamp((core + halo + rays) * edge, 0.0, 1.0);
}

std::vector<uint8_t> FlarePicture() {
    std::vector<uint8_t> picture(kPictureWidth * kPictureHeight, 0);
    for (int y = 0; y < kFlareHeight; ++y) {
        for (int x = 0; x < kFlareWidth; ++x) {
            picture[y * kPictureWidth + x] = static_cast<uint8_t>(std::lround(Light(x, y) * 255.0));
        }
    }
    return picture;
}

// A grey level as the show draws it: i / 4 as 6 bits, halved for red and blue, added per field.
struct Rgb565 {
    int r, g, b;
};
Rgb565 Grey(int level) { return {(level / 4) >> 1, level / 4, (level / 4) >> 1}; }

bool Preview(const std::string& path, const std::vector<uint8_t>& picture) {
    // Left: the block at 4x. Right: four flares overlapping on the night sky, saturating per field.
    const int scale = 4;
    const int width = kFlareWidth * scale * 2 + 16;
    const int height = kFlareHeight * scale;
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < kFlareWidth * scale; ++x) {
            const int level =
                (y / scale < kFlareHeight) ? picture[(y / scale) * kPictureWidth + x / scale] : 0;
            const Rgb565 c = Grey(level);
            uint8_t* o = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            o[0] = uint8_t(c.r * 255 / 31), o[1] = uint8_t(c.g * 255 / 63),
            o[2] = uint8_t(c.b * 255 / 31);
        }
    }
    const int offsets[4][2] = {{0, 0}, {20, 6}, {40, 20}, {10, 30}};
    const int sceneWidth = kFlareWidth * 2, sceneHeight = kFlareHeight * 2;
    for (int y = 0; y < sceneHeight; ++y) {
        for (int x = 0; x < sceneWidth; ++x) {
            Rgb565 c{1, 3, 4};  // the night sky
            for (const auto& o : offsets) {
                const int fx = x - o[0], fy = y - o[1];
                if (fx < 0 || fy < 0 || fx >= kFlareWidth || fy >= kFlareHeight) continue;
                const Rgb565 g = Grey(picture[fy * kPictureWidth + fx]);
                c = {std::min(31, c.r + g.r), std::min(63, c.g + g.g), std::min(31, c.b + g.b)};
            }
            for (int sy = 0; sy < 2; ++sy) {
                for (int sx = 0; sx < 2; ++sx) {
                    const int px = kFlareWidth * scale + 16 + 2 * x + sx, py = 2 * y + sy;
                    uint8_t* out = &rgb[(static_cast<size_t>(py) * width + px) * 3];
                    out[0] = uint8_t(c.r * 255 / 31), out[1] = uint8_t(c.g * 255 / 63),
                    out[2] = uint8_t(c.b * 255 / 31);
                }
            }
        }
    }
    std::string error;
    if (!WritePngRgb(path, width, height, rgb, &error)) {
        std::fprintf(stderr, "make_flare: %s\n", error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<uint8_t> picture = FlarePicture();
    if (argc == 3 && std::string(argv[1]) == "--preview") return Preview(argv[2], picture) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_flare OUT | make_flare --preview OUT.png\n");
        return 2;
    }
    return WriteAssetFile("make_flare", argv[1], picture) ? 0 : 1;
}
