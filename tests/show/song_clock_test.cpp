// The song position as one number: order in the high byte, row in the low byte.
#include <gtest/gtest.h>

#include "show/song_clock.h"
#include "sound/module.h"
#include "sound/song_timing.h"

namespace {

struct PositionCase {
    int32_t order;
    int32_t row;
    uint32_t position;
};

TEST(SongClock, PacksTheLowBytesOfOrderAndRow) {
    const PositionCase cases[] = {
        {0, 0, 0x0000},     {4, 63, 0x043F},    {5, 0, 0x0500},    {18, 63, 0x123F},
        {255, 255, 0xFFFF}, {0x105, 2, 0x0502}, {1, 0x1FF, 0x01FF}, {-1, 0, 0xFF00},
        {0, -2, 0x00FE},
    };
    Song fake{};
    showSong = &fake;
    for (const PositionCase& c : cases) {
        fake.order.store(c.order);
        fake.row.store(c.row);
        EXPECT_EQ(GetSongPosition(), c.position) << "order " << c.order << " row " << c.row;
        EXPECT_EQ(SongPosition(c.order, c.row), c.position) << "order " << c.order;
    }
    showSong = nullptr;
}

TEST(SongClock, WithoutASongThePositionIsZero) {
    showSong = nullptr;
    EXPECT_EQ(GetSongPosition(), 0u);
}

TEST(SongClock, EachCallReadsTheSongAfresh) {
    Song fake{};
    showSong = &fake;
    fake.order.store(4);
    fake.row.store(63);
    const uint32_t before = GetSongPosition();
    fake.order.store(5);
    fake.row.store(0);
    EXPECT_EQ(before, 0x043Fu);
    EXPECT_EQ(GetSongPosition(), 0x0500u);
    showSong = nullptr;
}

}  // namespace
