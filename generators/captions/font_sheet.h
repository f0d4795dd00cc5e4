// The caption font as the demo reads it: one 8-bit indexed sheet of glyph cells and the fixed
// advances at which text is drawn. make_font writes the sheet, make_captions lays text out with
// the same advances, so both read them from here.
#pragma once

#include <cstdint>

namespace captions {

// Character codes 32..93 (space to ']') have a cell each, in code order.
inline constexpr int32_t kFirstCode = 32;
inline constexpr int32_t kGlyphCount = 62;

// The sheet: 1500 x 28 pixels, row-major, index 0 transparent. Cell g spans columns 24g..24g+23;
// the drawn glyph is the 23 x 27 block at columns 24g+1..24g+23, rows 1..27. Column 24g and row 0
// stay 0, so a glyph never carries pixels of its neighbour.
inline constexpr int32_t kSheetWidth = 1500;
inline constexpr int32_t kSheetHeight = 28;
inline constexpr int32_t kSheetBytes = kSheetWidth * kSheetHeight;
inline constexpr int32_t kCellWidth = 24;
inline constexpr int32_t kGlyphWidth = 23;
inline constexpr int32_t kGlyphHeight = 27;

// 256 entries of three 6-bit intensities, stored blue, green, red.
inline constexpr int32_t kPaletteBytes = 768;

// The frame buffer the captions are drawn into, seen as one linear run of pixels.
inline constexpr int32_t kScreenWidth = 320;
inline constexpr int32_t kScreenHeight = 200;
inline constexpr int32_t kScreenPixels = kScreenWidth * kScreenHeight;

inline constexpr bool HasCell(char c) {
    return c >= kFirstCode && c < kFirstCode + kGlyphCount;
}

// Offset of the first pixel of c's drawn block in the sheet.
inline constexpr int32_t GlyphOffset(char c) {
    return kSheetWidth + (c - kFirstCode) * kCellWidth + 1;
}

// Text is monospaced at 16 pixels but for the four letters whose shape asks otherwise; the glyphs
// are drawn to look evenly spaced at exactly these steps.
inline constexpr int32_t Advance(char c) {
    switch (c) {
        case 'W':
        case 'M':
            return 24;
        case 'I':
            return 8;
        case 'L':
            return 11;
        default:
            return 16;
    }
}

// Screen colour of a palette entry (blue, green, red at 6 bits) in the 5-6-5 frame buffer.
inline constexpr uint16_t DisplayColour(const uint8_t* entry) {
    return static_cast<uint16_t>(((entry[2] >> 1) << 11) | (entry[1] << 5) | (entry[0] >> 1));
}

}  // namespace captions
