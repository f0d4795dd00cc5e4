// Pixels and colour tables. Every effect writes 16-bit 5-6-5 pixels (platform/pixel_565.h: Pack565
// and the field helpers) and draws its pictures from 8-bit indices through a ColourTable converted
// once from a 6-bit palette.
#pragma once

#include <cstdint>

#include "platform/pixel_565.h"

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
