#include "effects/colour_table.h"

#include "assets/embedded_data.h"

ColourTable textureColours;
ColourTable fontColours;
ColourTable flareColours;

namespace {

// The flare is grey light: entry i of its palette is i / 4 in all three bytes.
void BuildFlarePalette(uint8_t palette[kPaletteBytes]) {
    for (int32_t i = 0; i < kPaletteEntries; ++i) {
        palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = static_cast<uint8_t>(i / 4);
    }
}

}  // namespace

void ConvertPalette(const uint8_t palette[kPaletteBytes], ColourTable& table) {
    for (int32_t i = 0; i < kPaletteEntries; ++i) {
        const uint32_t blue = palette[3 * i];
        const uint32_t green = palette[3 * i + 1];
        const uint32_t red = palette[3 * i + 2];
        // 6-bit intensities into the 5-bit fields: the lowest bit is dropped, not rounded, and a
        // byte above 63 is cut to its field rather than carrying into the next one.
        table.colour[i] = Pack565((red >> 1) & kRedMax, green & kGreenMax, (blue >> 1) & kBlueMax);
    }
}

void InitOverlayColours() {
    ConvertPalette(fontPalette, fontColours);
    uint8_t flarePalette[kPaletteBytes];
    BuildFlarePalette(flarePalette);
    ConvertPalette(flarePalette, flareColours);
}
