#include "effects/wave_plane.h"

#include <cmath>

#include "assets/embedded_data.h"
#include "effects/colour_table.h"
#include "effects/shared_tables.h"

uint16_t planeMap[kFramePixels];

namespace {

constexpr uint16_t kPhaseStepPerFrame = 0x0505;

// x * step in double from a single-precision step, to the nearest integer with ties to even
// (u(2, 72) = round(2.5) = 2), keeping the low 8 bits: the texture wraps at 256.
uint8_t MapCoordinate(uint32_t index, float step) {
    const double exact = static_cast<double>(index) * static_cast<double>(step);
    return static_cast<uint8_t>(static_cast<int64_t>(std::nearbyint(exact)) & 0xFF);
}

}  // namespace

void InitWavePlane() {
    ConvertPalette(texturePalette, textureColours);
    // Row 0 spans 256 texels; every row below adds 2 more across the 320 columns.
    for (uint32_t y = 0; y < kFrameHeight; ++y) {
        const float stepU = static_cast<float>(256 + 2 * y) / static_cast<float>(kFrameWidth);
        for (uint32_t x = 0; x < kFrameWidth; ++x) {
            planeMap[y * kFrameWidth + x] = static_cast<uint16_t>(MapCoordinate(x, stepU) << 8);
        }
    }
    const float stepV = 256.0f / 200.0f;
    for (uint32_t y = 0; y < kFrameHeight; ++y) {
        const uint8_t v = MapCoordinate(y, stepV);
        for (uint32_t x = 0; x < kFrameWidth; ++x) planeMap[y * kFrameWidth + x] |= v;
    }
}

void DrawWavePlane() {
    const uint8_t phaseLow = static_cast<uint8_t>(wavePhase);
    const uint8_t phaseHigh = static_cast<uint8_t>(wavePhase >> 8);
    const uint8_t* texture = planeTexture;
    uint16_t* pixel = FrameBuffer;
    const uint16_t* map = planeMap;
    for (uint32_t y = 0; y < kFrameHeight; ++y) {
        // v is the same across a row, so the sine lookup and the texture row are taken once.
        const uint8_t v = static_cast<uint8_t>(map[0]);
        const uint8_t wave = sineBytes[static_cast<uint8_t>(v + phaseLow)];
        const uint8_t row = static_cast<uint8_t>(wave - phaseHigh);
        const uint8_t* textureRow = texture + (row << 8);
        for (uint32_t x = 0; x < kFrameWidth; ++x) {
            const uint8_t column = static_cast<uint8_t>(-((map[x] >> 8) + phaseHigh));
            pixel[x] = textureColours.colour[textureRow[column]];
        }
        map += kFrameWidth;
        pixel += kFrameWidth;
    }
    wavePhase = static_cast<uint16_t>(wavePhase - kPhaseStepPerFrame);
}

void ResetWavePlane() { wavePhase = 0; }
