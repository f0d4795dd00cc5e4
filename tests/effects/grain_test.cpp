#include "assets/embedded_data.h"
#include "effect_frame.h"
#include "effects/grain.h"

namespace {

using Grain = EffectFrame;

TEST_F(Grain, WindowStartsRelativeToTheModuleAndReachesBeforeIt) {
    struct Case {
        uint16_t offset;
        int32_t start;  // bytes into the module
    };
    const Case cases[] = {{0, 0}, {22 * 768, 16896}, {81 * 768, -3328}, {85 * 768, -256},
                          {61859, 61859}};
    for (const Case& c : cases) {
        grainOffset = c.offset;
        EXPECT_EQ(GrainWindow() - embeddedModule, c.start) << c.offset;
    }
    grainOffset = 0;
    ApplyGrainGrey();
    EXPECT_EQ(grainOffset, 768);
    grainOffset = 255 * 768 % 65536;
    ApplyGrainGrey();
    EXPECT_EQ(grainOffset, 0) << "256 calls go round once";
}

// The filter as first described: every byte gets the top three bits of its noise byte, wrapping
// within the byte; then pixels 321..63680, left to right, become the grey of the blurred blue
// field, the left neighbour being the grey just written.
std::vector<uint16_t> Model(std::vector<uint16_t> frame, const uint8_t* noise) {
    for (size_t i = 0; i < frame.size(); ++i) {
        const uint8_t low = static_cast<uint8_t>((frame[i] & 0xFF) + (noise[2 * i] >> 5));
        const uint8_t high = static_cast<uint8_t>((frame[i] >> 8) + (noise[2 * i + 1] >> 5));
        frame[i] = static_cast<uint16_t>(high << 8 | low);
    }
    for (size_t i = 321; i <= 63680; ++i) {
        const int s = (2 * (frame[i] & 31) + (frame[i + 1] & 31) + (frame[i - 1] & 31)) / 4;
        frame[i] = static_cast<uint16_t>(s << 11 | 2 * s << 5 | s);
    }
    return frame;
}

TEST_F(Grain, BytesWrapAndPixelsTurnGreyFromTheirBlueNeighbours) {
    for (uint16_t offset : {uint16_t{0}, uint16_t{62208}}) {  // inside the module, before it
        grainOffset = offset;
        for (uint32_t i = 0; i < kFrameWidth * kFrameHeight; ++i) {
            // Bright and dark pixels, so bytes wrap, and blue fields that differ neighbour to
            // neighbour, so the blur shows.
            FrameBuffer[i] = static_cast<uint16_t>(i % 3 == 0 ? 0xFFFF : i * 2654435761u >> 16);
        }
        const std::vector<uint16_t> want = Model(Frame(), GrainWindow());
        ApplyGrainGrey();
        EXPECT_EQ(Frame(), want) << "offset " << offset;
        const uint16_t grey = FrameBuffer[1000];
        EXPECT_EQ(grey >> 11, grey & 31);
        EXPECT_EQ(grey >> 5 & 63, 2 * (grey & 31));
    }
}

}  // namespace
