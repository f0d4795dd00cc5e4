// The song as the show loads it: from the embedded block, through the in-memory module file.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "assets/embedded_data.h"
#include "director/module_file.h"
#include "sound/file_hooks.h"
#include "sound/song_control.h"
#include "tools/composer/instruments.h"
#include "tools/composer/score.h"

namespace {

struct Position {
    int order;
    int row;
};

// The rows the pictures follow; each must carry a drum hit.
std::vector<Position> AccentPositions() {
    std::vector<Position> positions;
    for (int order = 1; order <= 4; ++order) {
        for (int row : {0, 1, 5, 7}) positions.push_back({order, row});  // caption words
    }
    for (int row : {4, 20, 36, 44, 52, 55, 57, 60, 62, 63}) positions.push_back({4, row});  // mesh
    for (int order = 5; order <= 7; ++order) {
        for (int row : {0, 29, 32}) positions.push_back({order, row});  // mesh pulses
    }
    for (int order = 14; order <= 17; ++order) {
        for (int row : {4, 9, 12, 20, 25, 28, 36, 39, 41, 44, 57, 60, 62, 63}) {
            positions.push_back({order, row});  // picture swaps
        }
    }
    return positions;
}

class EmbeddedSong : public ::testing::Test {
protected:
    void SetUp() override {
        SetFileHooks(ModuleOpen, ModuleClose, ModuleRead, ModuleSeek, ModuleTell);
        song = CreateSong("quindolo.xm", nullptr);
        ASSERT_NE(song, nullptr);
    }
    void TearDown() override { FreeSong(song); }

    const NoteCell& Cell(int order, int row, int channel) const {
        const Pattern& pattern = song->patterns[song->orderTable[order]];
        return pattern.cells[row * song->channelCount + channel];
    }

    Song* song = nullptr;
};

TEST(EmbeddedBlock, ModuleLiesInsideTheBlockAfterTheGrainLead) {
    const auto lead = embeddedModule - embeddedBlock;
    EXPECT_GE(lead, int64_t{kGrainLeadBytes});
    EXPECT_LE(embeddedModule + embeddedModuleBytes, embeddedBlockEnd);
    EXPECT_EQ(std::memcmp(embeddedModule, "Extended Module: ", 17), 0);
    // The grain filter reads the first 190 KB of the module as noise.
    EXPECT_GE(embeddedModuleBytes, 190u * 1024u);
}

TEST(EmbeddedBlock, ModuleIsTheComposersSongByteForByte) {
    const std::vector<uint8_t> composed = ComposeSongBytes();
    ASSERT_EQ(composed.size(), embeddedModuleBytes);
    EXPECT_EQ(std::memcmp(composed.data(), embeddedModule, composed.size()), 0);
}

TEST_F(EmbeddedSong, LoaderConsumesTheModuleToItsLastByte) {
    EXPECT_EQ(moduleSize, int32_t(embeddedModuleBytes));
    EXPECT_EQ(moduleReadPos, moduleSize);
}

TEST_F(EmbeddedSong, HeaderMatchesTheLayoutTheTimelineUses) {
    EXPECT_EQ(song->songLength, 19);
    EXPECT_EQ(song->restartPosition, 0);
    EXPECT_EQ(song->channelCount, 12);
    EXPECT_EQ(song->patternSlots, 17);
    EXPECT_EQ(song->patternsReferenced, 17);
    EXPECT_EQ(song->instrumentCount, 27);
    EXPECT_EQ(song->flags, kLinearFrequencyFlag);
    EXPECT_EQ(song->defaultSpeed, 6);
    EXPECT_EQ(song->defaultBpm, 118);
    const std::vector<uint8_t>& orders = SongOrders();
    for (int order = 0; order < 19; ++order) EXPECT_EQ(song->orderTable[order], orders[order]);
    for (int slot = 0; slot < song->patternSlots; ++slot) EXPECT_EQ(song->patterns[slot].rows, 64);
    int withoutSamples = 0;
    for (int i = 0; i < song->instrumentCount; ++i) {
        const int count = song->instruments[i].sampleCount;
        EXPECT_LE(count, 3) << "instrument " << i + 1;
        withoutSamples += count == 0 ? 1 : 0;
    }
    EXPECT_GE(withoutSamples, 1);
    EXPECT_LE(withoutSamples, 3);
}

// Only two position effects exist: the break on row 31 of order 0 and the jump of order 18 to
// itself on its last row. Nothing else may move the positions the pictures are tied to.
TEST_F(EmbeddedSong, OnlyTheTwoPlannedPositionEffects) {
    int breaks = 0, jumps = 0;
    for (int order = 0; order < song->songLength; ++order) {
        for (int row = 0; row < 64; ++row) {
            for (int channel = 0; channel < song->channelCount; ++channel) {
                const NoteCell& cell = Cell(order, row, channel);
                const int x = cell.parameter >> 4;
                if (cell.effect == 0xD) {
                    ++breaks;
                    EXPECT_TRUE(order == 0 && row == 31 && cell.parameter == 0) << order << "/" << row;
                }
                if (cell.effect == 0xB) {
                    ++jumps;
                    EXPECT_TRUE(order == 18 && row == 63 && cell.parameter == 18) << order << "/" << row;
                }
                EXPECT_FALSE(cell.effect == 0xE && (x == 6 || x == 0xE)) << order << "/" << row;
                if (cell.effect == 0xF) {
                    EXPECT_TRUE(cell.parameter == 6 || cell.parameter == 118) << order << "/" << row;
                }
            }
        }
    }
    EXPECT_EQ(breaks, 1);
    EXPECT_EQ(jumps, 1);
}

TEST_F(EmbeddedSong, EveryAccentRowStartsADrumNote) {
    for (const Position& p : AccentPositions()) {
        bool drum = false;
        for (int channel = 0; channel < song->channelCount; ++channel) {
            const NoteCell& cell = Cell(p.order, p.row, channel);
            drum |= cell.note >= 1 && cell.note <= 96 && IsDrum(cell.instrument);
        }
        EXPECT_TRUE(drum) << "order " << p.order << " row " << p.row;
    }
}

}  // namespace
