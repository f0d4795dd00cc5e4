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
        {1000, 700, {33, 0, 933, 700}},
        {1279, 719, {160, 0, 958, 719}},      // odd both ways
        {799, 599, {0, 0, 798, 599}},         // a hair wider than 4:3
        {5, 3, {0, 0, 4, 3}},                 // very small
        {3, 3, {0, 0, 3, 2}},
        {2, 1, {0, 0, 1, 1}},
        {1, 2, {0, 1, 1, 0}},
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

struct WindowCase {
    ScreenArea usable;
    ScreenArea window;
};

TEST(Letterbox, TheWindowIsTheLargestWholeMultipleOf320By240UpTo3CentredInTheUsableArea) {
    const WindowCase cases[] = {
        {{0, 0, 1280, 800}, {160, 40, 960, 720}},
        {{0, 0, 1024, 768}, {32, 24, 960, 720}},
        {{0, 0, 3840, 2160}, {1440, 720, 960, 720}},       // never larger than 3x
        {{0, 0, 1000, 700}, {180, 110, 640, 480}},         // 720 rows do not fit
        {{0, 0, 639, 479}, {159, 119, 320, 240}},
        {{0, 27, 1920, 1053}, {480, 193, 960, 720}},       // below a panel
        {{1920, 0, 1920, 1080}, {2400, 180, 960, 720}},    // on a second monitor
        {{0, 0, 300, 200}, {17, 0, 266, 200}},             // below 320 x 240: its 4:3 area
        {{0, 0, 0, 0}, {0, 0, 1, 1}},
    };
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.usable.width << "x" << c.usable.height << " at "
                                        << c.usable.x << "," << c.usable.y);
        const ScreenArea window = WindowedArea(c.usable);
        EXPECT_EQ(window.x, c.window.x);
        EXPECT_EQ(window.y, c.window.y);
        EXPECT_EQ(window.width, c.window.width);
        EXPECT_EQ(window.height, c.window.height);
    }
}

}  // namespace
