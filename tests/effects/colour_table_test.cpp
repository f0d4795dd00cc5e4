#include <gtest/gtest.h>

#include "effects/colour_table.h"

namespace {

// The one packing of a pixel and its fields, as every effect, display and the capture use it.
TEST(Pixel565, PacksSplitsAndWidensTheFields) {
    struct Case {
        uint32_t red, green, blue;
        uint16_t pixel;
        uint32_t red8, green8, blue8;
    };
    const Case cases[] = {
        {31, 63, 31, 0xFFFF, 255, 255, 255}, {0, 0, 0, 0x0000, 0, 0, 0},
        {31, 0, 0, 0xF800, 255, 0, 0},       {0, 63, 0, 0x07E0, 0, 255, 0},
        {0, 0, 31, 0x001F, 0, 0, 255},       {16, 32, 1, 0x8401, 132, 130, 8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Pack565(c.red, c.green, c.blue), c.pixel) << std::hex << c.pixel;
        EXPECT_EQ(RedOf565(c.pixel), c.red) << std::hex << c.pixel;
        EXPECT_EQ(GreenOf565(c.pixel), c.green) << std::hex << c.pixel;
        EXPECT_EQ(BlueOf565(c.pixel), c.blue) << std::hex << c.pixel;
        EXPECT_EQ(Widen5To8(RedOf565(c.pixel)), c.red8) << std::hex << c.pixel;
        EXPECT_EQ(Widen6To8(GreenOf565(c.pixel)), c.green8) << std::hex << c.pixel;
        EXPECT_EQ(Widen5To8(BlueOf565(c.pixel)), c.blue8) << std::hex << c.pixel;
    }
}

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
