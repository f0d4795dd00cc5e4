// The keyboard on the headless platform: what keyDown holds after each poll of a key schedule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/headless.h"
#include "platform/keyboard.h"
#include "platform/keyboard_state.h"

namespace {

// The keys down in keyDown, as a list of scan codes.
std::vector<int> KeysDown() {
    std::vector<int> down;
    for (int i = 0; i < kKeyCodeCount; ++i) {
        if (keyDown[i] != 0) down.push_back(i);
        EXPECT_TRUE(keyDown[i] == 0 || keyDown[i] == 1) << "flag " << i << " is " << keyDown[i];
    }
    return down;
}

// Polls once per frame for `frames` frames and lists what each poll left in keyDown.
std::vector<std::vector<int>> PollTrace(const KeyStep* steps, size_t stepCount, int frames,
                                        bool keyboardMissing = false) {
    HeadlessSetup setup;
    setup.keySchedule = steps;
    setup.keyStepCount = stepCount;
    setup.keyboardMissing = keyboardMissing;
    SetUpHeadless(setup);
    InitInput();
    std::vector<std::vector<int>> trace;
    for (int frame = 0; frame < frames; ++frame) {
        PollKeyboard();
        trace.push_back(KeysDown());
        PresentFrame();
    }
    return trace;
}

using Trace = std::vector<std::vector<int>>;

TEST(HeadlessKeyboard, EscapeIsSetWhileDownAndClearedOnTheNextPollAfterRelease) {
    const KeyStep steps[] = {
        {2, false, {DIK_ESCAPE}},
        {3, false, {}},
        {5, false, {DIK_ESCAPE}},
    };
    const Trace expected = {{}, {}, {1}, {}, {}, {1}, {1}};
    EXPECT_EQ(PollTrace(steps, 3, 7), expected);
}

TEST(HeadlessKeyboard, SeveralKeysAreAllReportedAndKeysThatAreUpAreCleared) {
    const KeyStep steps[] = {
        {0, false, {DIK_A, DIK_ESCAPE, DIK_UP}},
        {1, false, {DIK_A, DIK_SPACE}},
        {2, false, {DIK_F1, DIK_1, DIK_RETURN, 0xFF}},
        {3, false, {}},
    };
    const Trace expected = {
        {DIK_ESCAPE, DIK_A, DIK_UP},
        {DIK_A, DIK_SPACE},
        {DIK_1, DIK_RETURN, DIK_F1, 0xFF},
        {},
    };
    EXPECT_EQ(PollTrace(steps, 4, 4), expected);
}

TEST(HeadlessKeyboard, AFailedPollKeepsEveryFlagAsItWas) {
    const KeyStep steps[] = {
        {0, false, {DIK_ESCAPE, DIK_A}},
        {1, true, {}},           // input lost: the keys read as they were
        {3, false, {DIK_SPACE}},
        {4, true, {DIK_A}},      // a failing poll reads nothing, whatever is held
        {5, false, {}},
    };
    const Trace expected = {
        {DIK_ESCAPE, DIK_A}, {DIK_ESCAPE, DIK_A}, {DIK_ESCAPE, DIK_A}, {DIK_SPACE}, {DIK_SPACE}, {},
    };
    EXPECT_EQ(PollTrace(steps, 5, 6), expected);
}

TEST(HeadlessKeyboard, WithoutAKeyboardNothingIsEverDown) {
    const KeyStep steps[] = {{0, false, {DIK_ESCAPE}}};
    const Trace expected = {{}, {}, {}};
    EXPECT_EQ(PollTrace(steps, 1, 3, /*keyboardMissing=*/true), expected);
}

TEST(HeadlessKeyboard, InitInputClearsEveryFlag) {
    for (int i = 0; i < kKeyCodeCount; ++i) keyDown[i] = 1;
    SetUpHeadless(HeadlessSetup{});
    EXPECT_TRUE(InitInput());
    EXPECT_EQ(KeysDown(), std::vector<int>{});
}

TEST(KeyboardState, OnlyBit7OfAStateByteMeansDown) {
    uint8_t state[kKeyCodeCount] = {};
    state[1] = 0x80;
    state[2] = 0x7F;
    state[3] = 0xFF;
    state[4] = 0x01;
    state[255] = 0x81;
    keyDown[5] = 1;  // left from an earlier poll
    StoreKeyboardState(state);
    EXPECT_EQ(KeysDown(), (std::vector<int>{1, 3, 255}));
}

}  // namespace
