// The timeline's own pixel operations and the flare clouds, on a headless frame buffer.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "assets/embedded_data.h"
#include "director/flare_field.h"
#include "director/scene_pixels.h"
#include "effects/captions.h"
#include "effects/colour_table.h"
#include "effects/flare_sprite.h"
#include "effects/projection.h"
#include "effects/shared_tables.h"
#include "effects/wave_plane.h"
#include "platform/headless.h"
#include "show/mesh_motion.h"
#include "show_stage.h"

namespace {

class ScenePixels : public ::testing::Test {
protected:
    void SetUp() override {
        OpenShowStage();
    }
    void TearDown() override {
        CloseShowStage();
    }
    static std::vector<uint16_t> Frame() { return {FrameBuffer, FrameBuffer + kFramePixels}; }
};

TEST_F(ScenePixels, MaskAtLevel81DarkensOnlyTheLowIndicesEachFieldByItsShare) {
    FillFrame(0xFFFF);
    maskLevel = 81;
    DarkenByMask();
    int darkest = 0;
    for (uint32_t i = 0; i < kFramePixels; ++i) {
        const int m = maskPicture[i];
        const int d = m == 0 ? 0 : std::max(0, 256 - m - 81);
        const int red = std::max(0, 31 - (d >> 3)), green = std::max(0, 63 - (d >> 2));
        ASSERT_EQ(FrameBuffer[i], red << 11 | green << 5 | red) << "mask index " << m;
        if (m == 1) darkest = FrameBuffer[i];
    }
    // Index 1 darkens the most: green by 43, red and blue by 21.
    if (darkest) {
        EXPECT_EQ(darkest, 10 << 11 | 20 << 5 | 10);
    }
}

TEST_F(ScenePixels, TunnelCarryFadeLevelsAndCrossFade) {
    wavePhase = 0x00FF;
    DrawTunnel();
    for (uint32_t i = 0; i < kFramePixels; i += 97) {
        const uint16_t entry = static_cast<uint16_t>(tunnelMap[2 * i] | tunnelMap[2 * i + 1] << 8);
        // A 16-bit sum: entry 0x3001 reads texel 0x3100.
        ASSERT_EQ(workPicture[i], textureColours.colour[planeTexture[uint16_t(entry + 0x00FF)]]);
    }
    EXPECT_EQ(wavePhase, 0x00FF);
    DrawWarpedTunnel();
    EXPECT_EQ(wavePhase, 0xF6F5);

    std::vector<int32_t> levels;
    for (int k = 0; k < 16; ++k) levels.push_back(StepFadeLevel(15));
    EXPECT_EQ(levels, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15}));
    EXPECT_EQ(fadeLevel, 14);

    std::fill(workPicture, workPicture + kFramePixels, uint16_t{0});
    FillFrame(0xFFFF);
    CrossFade(15, true);  // a = 7, b = 8
    EXPECT_EQ(FrameBuffer[1234], 24 << 11 | 49 << 5 | 24);
    std::fill(workPicture, workPicture + kFramePixels, uint16_t{0xFFFF});
    FillFrame(0x07E0);
    CrossFade(31, false);  // the frame keeps a green of 1, the work picture loses 1, 2 and 1
    EXPECT_EQ(FrameBuffer[99], 30 << 11 | (1 + 61) << 5 | 30);
    FillFromPicture(introPicture, 4);
    EXPECT_EQ(FrameBuffer[5], introPicture[5] >> 4);
}

// Every field of every pixel as first described: sat(F - a) + sat(W - b), clamped at its maximum,
// with the levels a, b, 2a and 2b as bytes: past t = 32 they wrap.
TEST_F(ScenePixels, CrossFadeMatchesThePerFieldRuleOnAnyPixels) {
    auto sat = [](int v, int by) { return v > by ? v - by : 0; };
    std::mt19937 random(5);
    for (const bool halved : {false, true}) {
        for (const int t : {0, 1, 15, 16, 31, 32, 33, 40, 140, 160, 255, 260, 300}) {
            for (uint32_t i = 0; i < kFramePixels; ++i) {
                FrameBuffer[i] = static_cast<uint16_t>(random());
                workPicture[i] = static_cast<uint16_t>(random());
            }
            const std::vector<uint16_t> before = Frame();
            CrossFade(t, halved);
            const int level = t & 255, rest = (32 - level) & 255;
            const int a = halved ? level >> 1 : level, b = halved ? rest >> 1 : rest;
            for (uint32_t i = 0; i < kFramePixels; ++i) {
                const int f = before[i], w = workPicture[i];
                const int blue = std::min(31, sat(f & 31, a) + sat(w & 31, b));
                const int green =
                    std::min(63, sat(f >> 5 & 63, 2 * a & 255) + sat(w >> 5 & 63, 2 * b & 255));
                const int red = std::min(31, sat(f >> 11, a) + sat(w >> 11, b));
                ASSERT_EQ(FrameBuffer[i], red << 11 | green << 5 | blue) << "t " << t << " at " << i;
            }
        }
    }
}

TEST_F(ScenePixels, TrailAndStarsFromTheirStartValues) {
    StepFlareTrail();
    EXPECT_EQ(flareField.trailCount, 1);
    EXPECT_EQ(flareField.trailPoints[0].x, 120.0f);
    EXPECT_EQ(flareField.trailPoints[0].y, 0.0f);
    EXPECT_EQ(flareField.trailPoints[0].z, 200.0f);
    EXPECT_EQ(flareField.trailAmp2, 180);
    EXPECT_EQ(flareField.trailAmp3, 60);
    std::vector<float> first200;
    for (int k = 1; k < 250; ++k) {
        StepFlareTrail();
        if (k == 199) {
            for (int p = 0; p < 200; ++p) first200.push_back(flareField.trailPoints[p].x);
        }
    }
    EXPECT_EQ(flareField.trailCount, 200);
    for (int p = 0; p < 200; ++p) ASSERT_EQ(flareField.trailPoints[p].x, first200[p]);

    // 900 steps of the generator, three for each of the 300 points the cloud has room for (the
    // show draws 299): the seed and the last point are those of step 899.
    uint32_t seed = 9273;
    float steps[900];
    for (float& value : steps) {
        seed = (75 * (seed + 1)) % 65537 - 1;
        value = static_cast<float>(static_cast<int16_t>(seed) >> 6);
    }
    GenerateStars();
    EXPECT_EQ(flareField.starSeed, seed);
    EXPECT_EQ(flareField.starPoints[299].x, steps[897]);
    EXPECT_EQ(flareField.starPoints[299].z, steps[899]);
    EXPECT_EQ(flareField.starPoints[0].x, -397.0f);
    EXPECT_EQ(flareField.starPoints[0].y, -19.0f);
    EXPECT_EQ(flareField.starPoints[0].z, -385.0f);
    EXPECT_EQ(flareField.trailAmp1, 800);
}

TEST_F(ScenePixels, FlaresOnlyInsideTheirWindow) {
    struct Case {
        int32_t x, y, minX;
        bool drawn;
    };
    const Case cases[] = {{0, 50, 1, false}, {0, 50, -16, true},  {272, 50, -16, false},
                          {50, 158, -16, false}, {50, -1, -16, false}, {271, 157, 1, true},
                          {-16, 0, -16, true}};
    for (const Case& c : cases) {
        FillFrame(0x0841);
        flareField.cloudScreen[0] = ScreenPoint{c.x, c.y, 0};
        DrawFlares(1, c.minX);
        EXPECT_EQ(Frame() != std::vector<uint16_t>(kFramePixels, 0x0841), c.drawn)
            << c.x << "," << c.y << " from " << c.minX;
    }
}

}  // namespace
