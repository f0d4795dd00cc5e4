#include "effects/colour_table.h"

void ConvertPalette(const uint8_t palette[kPaletteBytes], ColourTable& table) {
    for (int32_t i = 0; i < kPaletteEntries; ++i) {
        const uint32_t blue = palette[3 * i];
        const uint32_t green = palette[3 * i + 1];
        const uint32_t red = palette[3 * i + 2];
        // 6-bit intensities into the 5-bit fields: the lowest bit is dropped, not rounded, and a
        // byte above 63 is cut to its field rather than carrying into the next one.
        table.colour[i] = static_cast<uint16_t>(((red >> 1) & kRedMax) << kRedShift |
                                                (green & kGreenMax) << kGreenShift | ((blue >> 1) & kBlueMax));
    }
}
