#include "assets/embedded_data.h"
#include "effect_frame.h"
#include "effects/shared_tables.h"

namespace {

TEST(SharedTables, SineBytesPeakAndTrough) {
    EXPECT_EQ(sineBytes[0], 127);
    EXPECT_EQ(sineBytes[64], 254);
    EXPECT_EQ(sineBytes[128], 127);
    EXPECT_EQ(sineBytes[192], 0);
}

using WavePlane = EffectFrame;

TEST_F(WavePlane, MapRoundsSinglePrecisionStepsToEvenAndWraps) {
    struct Case {
        uint32_t x, y;
        uint8_t u, v;
    };
    const Case cases[] = {
        {0, 0, 0, 0},      {319, 0, 255, 0},  // row 0: 319 x 0.8 = 255.2
        {2, 72, 2, 92},                       // 2 x 1.25 = 2.5: ties to even; 72 x 1.28 = 92.16
        {319, 199, 140, 255},                 // 651.96 wraps twice; 199 x 1.28 = 254.72
        {1, 2, 1, 3},                         // 2.56 rounds up
        {160, 100, 228, 128},                 // 160 x 1.425 = 228 (227.99999 in single steps)
    };
    for (const Case& c : cases) {
        const uint16_t entry = planeMap[c.y * kFrameWidth + c.x];
        EXPECT_EQ(entry >> 8, c.u) << c.x << "," << c.y;
        EXPECT_EQ(entry & 0xFF, c.v) << c.x << "," << c.y;
    }
}

uint16_t Texel(uint8_t row, uint8_t column) {
    return textureColours.colour[planeTexture[row << 8 | column]];
}

TEST_F(WavePlane, PixelsFollowThePhasesAndThePhaseFallsBy0505) {
    wavePhase = 0;
    DrawWavePlane();
    EXPECT_EQ(FrameBuffer[0], Texel(127, 0));
    EXPECT_EQ(FrameBuffer[319], Texel(127, 1));
    EXPECT_EQ(wavePhase, 0xFAFB);

    wavePhase = 0x0100;  // PH 1: one row and one column further
    DrawWavePlane();
    EXPECT_EQ(FrameBuffer[0], Texel(126, 255));
    EXPECT_EQ(wavePhase, 0xFBFB);

    wavePhase = 0x0003;  // the low byte borrows from the high one
    DrawWavePlane();
    EXPECT_EQ(wavePhase, 0xFAFE);
    // Row 199 (v 255, PL 3): sine index 2; column 319 reads u 140.
    EXPECT_EQ(FrameBuffer[199 * 320 + 319], Texel(sineBytes[2], static_cast<uint8_t>(-140)));
}

}  // namespace
