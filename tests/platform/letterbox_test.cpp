// The 4:3 area the picture fills on screens of any shape.
#include <gtest/gtest.h>

#include "platform/letterbox.h"

namespace {

struct AreaCase {
    int32_t outputWidth;
    int32_t outputHeight;
    ScreenArea area;
};

TEST(Letterbox, TheLargestCentred4To3AreaWithTheRestBlack) {
    const AreaCase cases[] = {
        {640, 480, {0, 0, 640, 480}},         // already 4:3
        {1024, 768, {0, 0, 1024, 768}},
        {1920, 1080, {240, 0, 1440, 1080}},   // wide: bars left and right
        {2560, 1440, {320, 0, 1920, 1440}},
        {1920, 1200, {160, 0, 1600, 1200}},
        {1280, 1024, {0, 32, 1280, 960}},     // tall: bars above and below
        {1000, 1000, {0, 125, 1000, 750}},
        {1366, 768, {171, 0, 1024, 768}},     // an odd margin leaves the extra pixel on the right
        {1001, 750, {0, 0, 1000, 750}},       // truncated, never past the output
        {1, 1, {0, 0, 1, 0}},
        {0, 480, {0, 0, 0, 0}},
        {640, -1, {0, 0, 0, 0}},
    };
    for (const AreaCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.outputWidth << "x" << c.outputHeight);
        const ScreenArea area = LetterboxArea(c.outputWidth, c.outputHeight);
        EXPECT_EQ(area.x, c.area.x);
        EXPECT_EQ(area.y, c.area.y);
        EXPECT_EQ(area.width, c.area.width);
        EXPECT_EQ(area.height, c.area.height);
    }
}

}  // namespace
