#include <cstring>

#include "effect_frame.h"
#include "effects/captions.h"
#include "show/song_clock.h"
#include "sound/module.h"

namespace {

class Captions : public EffectFrame {
protected:
    void SetUp() override {
        EffectFrame::SetUp();
        ListMakeSelfLinked(&fake);
        showSong = &fake;
    }
    void TearDown() override {
        showSong = nullptr;
        EffectFrame::TearDown();
    }
    void At(uint32_t position) {
        fake.order.store(static_cast<int32_t>(position >> 8));
        fake.row.store(static_cast<int32_t>(position & 0xFF));
        UpdateCaptions();
    }
    // Which captions the slots hold, by their number in the table; -1 for an empty slot.
    static std::vector<int> Slots(int count) {
        std::vector<int> numbers;
        for (int s = 0; s < count; ++s) {
            int number = -1;
            for (int c = 0; c < kCaptionCount; ++c) {
                const char* text = activeCaptions[s].text;
                if (text && text == captionTable[c].text) number = c;
            }
            numbers.push_back(number);
        }
        return numbers;
    }
    Song fake{};
};

TEST_F(Captions, ShowOnTheirExactStartInArrivalOrderAndRetireAfterTheirEnd) {
    At(0x0003);
    EXPECT_EQ(Slots(2), (std::vector<int>{40, -1}));
    EXPECT_EQ(captionTable[40].start, kCaptionShown);
    At(0x0100);
    At(0x0101);
    EXPECT_EQ(Slots(4), (std::vector<int>{40, 0, 1, -1}));
    EXPECT_EQ(activeCaptionEnd, 3);
    At(0x0121);  // past caption 0's end, still on caption 1's
    EXPECT_EQ(Slots(3), (std::vector<int>{40, 1, -1}));
    EXPECT_EQ(activeCaptionEnd, 2);
    At(0x0100);  // the song comes back: a shown caption does not
    EXPECT_EQ(Slots(3), (std::vector<int>{40, 1, -1}));
}

// Every caption's text as long as the script's slot for it: the words were timed and placed for
// these lengths, spaces included.
TEST_F(Captions, EveryTextHasItsSlotsLength) {
    const size_t chars[kCaptionCount] = {4, 7, 4, 4,  3, 1, 5,  3, 2,  6, 5,  8,  3, 12,
                                         10, 10, 3, 4, 7, 6, 8,  8, 6,  7, 7,  6,  9, 3,
                                         6, 3, 3, 10, 3, 9, 14, 6, 20, 15, 12, 15, 7};
    for (int c = 0; c < kCaptionCount; ++c) {
        EXPECT_EQ(std::strlen(captionTable[c].text), chars[c]) << "caption " << c;
    }
}

TEST_F(Captions, AJumpOverAStartNeverShowsIt) {
    At(0x00FF);
    At(0x0102);
    At(0x0105);
    EXPECT_EQ(Slots(2), (std::vector<int>{2, -1})) << "captions 0 and 1 skipped, 2 shown";
}

TEST_F(Captions, AdvancesSpacesAndTheLinearWrap) {
    EXPECT_EQ(CaptionAdvance('M') + CaptionAdvance('I') + CaptionAdvance('L'), 43);
    EXPECT_EQ(CaptionAdvance('W'), 24);
    EXPECT_EQ(CaptionAdvance(' '), 16);
    EXPECT_EQ(CaptionAdvance('A'), 16);

    // "A B" is an A and a B 32 pixels to its right.
    Fill(0);
    DrawCaptionText("A B", 50 * 320 + 40);
    const std::vector<uint16_t> text = Frame();
    Fill(0);
    DrawGlyph('A', 50 * 320 + 40);
    DrawGlyph('B', 50 * 320 + 72);
    EXPECT_EQ(Frame(), text);
    EXPECT_NE(text, std::vector<uint16_t>(text.size(), 0));

    // At x = 310 the glyph goes on at the left edge of the following rows: the same pixels as at
    // x = 0, 310 further along the linear buffer.
    Fill(0);
    DrawGlyph('W', 10 * 320);
    const std::vector<uint16_t> left = Frame();
    Fill(0);
    DrawGlyph('W', 10 * 320 + 310);
    const std::vector<uint16_t> wrapped = Frame();
    EXPECT_TRUE(std::equal(left.begin(), left.end() - 310, wrapped.begin() + 310));
}

TEST_F(Captions, NothingIsWrittenOutsideTheFrameOrForCodesWithoutACell) {
    Fill(0);
    DrawGlyph(31, 1000);
    DrawGlyph(94, 2000);
    DrawGlyph(200, 3000);
    EXPECT_EQ(Frame(), std::vector<uint16_t>(kFrameWidth * kFrameHeight, 0));
    // Near the end and before the start: only the pixels inside are drawn (the sanitizer builds
    // catch any other).
    DrawGlyph('W', 63990);
    DrawGlyph('W', -10 * 320 - 5);
    EXPECT_NE(Frame(), std::vector<uint16_t>(kFrameWidth * kFrameHeight, 0));
}

}  // namespace
