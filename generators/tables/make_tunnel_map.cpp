// Writes the tunnel map to OUT: one little-endian 16-bit entry per pixel of the 320 x 200 frame, in
// memory order. The high byte is the pixel's angle about the centre (x 160, y 99.5; 256 steps a
// turn, 0 straight below, 64 to the right), the low byte a depth that grows quickly near the centre
// and ever more slowly outwards, so the texture laid through it reads as a tube seen end-on.
// Vertical distances count 4/3, which keeps the tube round on a 4:3 screen.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

#include "generators/asset_file.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 200;
constexpr double kCentreX = 160.0;
constexpr double kCentreY = 99.5;
constexpr double kRowAspect = 4.0 / 3.0;
// depth = 512 - kDepthScale / (distance + kDepthOffset): 108 one pixel out, 468 at the edge.
constexpr double kDepthScale = 7640.0;
constexpr double kDepthOffset = 17.5;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_tunnel_map OUT\n");
        return 2;
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(2 * kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double dx = x - kCentreX;
            const double dy = kRowAspect * (y - kCentreY);
            const double distance = std::sqrt(dx * dx + dy * dy);
            // Both wrap at 256: the angle goes round, the depth repeats the texture along the tube.
            const double turn = std::atan2(dy, dx) * 128.0 / std::numbers::pi;
            const auto angle =
                static_cast<uint8_t>(static_cast<int64_t>(std::nearbyint(63.0 - turn)) & 0xFF);
            const auto depth = static_cast<uint8_t>(
                static_cast<int64_t>(512.0 - kDepthScale / (distance + kDepthOffset)) & 0xFF);
            bytes.push_back(depth);
            bytes.push_back(angle);
        }
    }
    return WriteAssetFile("make_tunnel_map", argv[1], bytes) ? 0 : 1;
}
