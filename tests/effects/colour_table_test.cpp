#include <gtest/gtest.h>

#include "effects/colour_table.h"

namespace {

TEST(ColourTable, ThirdByteIsRedAndTheOddLowBitsOfRedAndBlueDrop) {
    struct Case {
        uint8_t first, second, third;
        uint16_t colour;
    };
    const Case cases[] = {
        {63, 63, 63, 0xFFFF}, {0, 0, 0, 0x0000},  {63, 0, 0, 0x001F},
        {0, 0, 63, 0xF800},   {0, 63, 0, 0x07E0}, {1, 1, 1, 0x0020},
        {2, 0, 4, 0x1001},    // even bytes keep their value halved
    };
    uint8_t palette[kPaletteBytes] = {};
    for (size_t i = 0; i < std::size(cases); ++i) {
        // Spread over the table, so an entry written at the wrong index shows.
        palette[3 * (37 * i)] = cases[i].first;
        palette[3 * (37 * i) + 1] = cases[i].second;
        palette[3 * (37 * i) + 2] = cases[i].third;
    }
    ColourTable table;
    ConvertPalette(palette, table);
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(table.colour[37 * i], cases[i].colour) << "case " << i;
    }
    EXPECT_EQ(table.colour[1], 0x0000);
}

}  // namespace
