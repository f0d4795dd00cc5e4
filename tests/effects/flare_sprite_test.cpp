#include "effects/flare_sprite.h"

#include <random>

#include "assets/embedded_data.h"
#include "effect_frame.h"

namespace {

TEST(FlareSprite, EachFieldSaturatesOnItsOwn) {
    struct Case {
        uint16_t destination, source, sum;
    };
    const Case cases[] = {
        {0xFFFF, 0x1234, 0xFFFF}, {0x0000, 0x8C51, 0x8C51}, {0x7BEF, 0x8410, 0xFFFF},
        {0x7BEF, 0x8C51, 0xFFFF}, {0x2000, 0x2000, 0x4000}, {0x001F, 0x0001, 0x001F},
        {0x07E0, 0x0020, 0x07E0}, {0x0010, 0x0010, 0x001F},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AddFieldsSaturating(c.destination, c.source), c.sum) << std::hex << c.destination;
    }
}

using Flare = EffectFrame;

// The sprite as first described: every pixel of the 64 x 42 block, addressed linearly, added with
// the per-field rule; only pixels inside the frame buffer.
std::vector<uint16_t> Model(std::vector<uint16_t> frame, int32_t pixel) {
    for (int32_t r = 0; r < 42; ++r) {
        for (int32_t k = 0; k < 64; ++k) {
            const int32_t at = pixel + r * 320 + k;
            if (at < 0 || at >= 64000) continue;
            frame[at] =
                AddFieldsSaturating(frame[at], flareColours.colour[flarePicture[r * 320 + k]]);
        }
    }
    return frame;
}

TEST_F(Flare, BlendsAsThePerFieldRuleWrapsAndClips) {
    std::mt19937 random(3);
    for (uint32_t i = 0; i < 64000; ++i) FrameBuffer[i] = static_cast<uint16_t>(random());
    // Inside, across the right edge (x = 300 wraps into the next rows), the last whole position,
    // and partly before the start and past the end of the frame buffer.
    for (const int32_t pixel :
         {5 * 320 + 7, 10 * 320 + 300, kLastWholeFlarePixel, -16, -5 * 320, 63990}) {
        const std::vector<uint16_t> want = Model(Frame(), pixel);
        BlendFlare(pixel);
        EXPECT_EQ(Frame(), want) << "at " << pixel;
    }
    const uint16_t sky = 0x0843;
    Fill(sky);
    BlendFlare(10 * 320 + 300);
    EXPECT_NE(FrameBuffer[30 * 320 + 319], sky) << "the flare's middle rows reach column 319";
    EXPECT_NE(FrameBuffer[31 * 320 + 10], sky) << "and go on at the left of the row below";
    EXPECT_EQ(FrameBuffer[30 * 320 + 299], sky);
}

}  // namespace
