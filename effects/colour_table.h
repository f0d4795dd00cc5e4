// Pixels and colour tables. Every effect writes 16-bit 5-6-5 pixels (red in bits 11-15, green in
// 5-10, blue in 0-4) and draws its pictures from 8-bit indices through a ColourTable converted
// once from a 6-bit palette.
#pragma once

#include <cstdint>

inline constexpr int32_t kRedShift = 11;
inline constexpr int32_t kGreenShift = 5;
inline constexpr uint16_t kRedMax = 31;
inline constexpr uint16_t kGreenMax = 63;
inline constexpr uint16_t kBlueMax = 31;
static_assert((kRedMax << kRedShift | kGreenMax << kGreenShift | kBlueMax) == 0xFFFF);
static_assert((kBlueMax & (kGreenMax << kGreenShift)) == 0 &&
              ((kGreenMax << kGreenShift) & (kRedMax << kRedShift)) == 0);

inline constexpr int32_t kPaletteEntries = 256;
inline constexpr int32_t kPaletteBytes = 3 * kPaletteEntries;

// A picture's colours: pixel = table[index].
struct ColourTable {
    uint16_t colour[kPaletteEntries];
};

// The effects' tables: the wave plane's texture (built by InitWavePlane), the captions' font and
// the flare sprite (built by InitOverlayColours).
extern ColourTable textureColours;
extern ColourTable fontColours;
extern ColourTable flareColours;

// Converts 256 triples of 6-bit intensities (0..63). The third byte of a triple is red and the
// first blue; both lose their lowest bit, the green byte is kept whole.
void ConvertPalette(const uint8_t palette[kPaletteBytes], ColourTable& table);

// Once at start-up, before the first frame: converts the font's and the flare's palettes.
void InitOverlayColours();
