// The display on the headless platform: the frame buffer's layout, which rows reach the screen,
// the virtual clock, the call order and the failure path.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/display.h"
#include "platform/audio_device.h"
#include "platform/headless.h"
#include "platform/virtual_audio_device.h"
#include "sound/audio_output.h"
#include "sound/memory_files.h"

namespace {

struct FrameBufferCase {
    uint32_t width;
    uint32_t height;
    uint32_t bitsPerPixel;
    uint32_t bytesPerPixel;
};

TEST(HeadlessFrameBuffer, SizeAndRowOffsetsFollowTheDepth) {
    const FrameBufferCase cases[] = {
        {320, 200, 16, 2}, {320, 200, 15, 2}, {320, 200, 24, 3}, {320, 200, 32, 4},
        {320, 200, 8, 1},  {100, 7, 1, 1},    {320, 200, 0x110, 2},  // only the low 8 bits count
        {64, 3, 0x118, 3},
    };
    for (const FrameBufferCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bitsPerPixel);
        rowOffset[c.height] = 0xDEADBEEF;
        CreateFrameBuffer(c.width, c.height, c.bitsPerPixel);
        ASSERT_NE(FrameBuffer, nullptr);
        EXPECT_EQ(FrameBufferBytes(), c.width * c.height * c.bytesPerPixel);
        for (uint32_t i = 0; i < c.height; ++i) {
            ASSERT_EQ(rowOffset[i], i * c.width * c.bytesPerPixel) << "row " << i;
        }
        EXPECT_EQ(rowOffset[c.height], 0xDEADBEEFu) << "rows past the height are not touched";
        // The whole block is writable (the sanitizer build checks the bounds).
        std::memset(FrameBuffer, 0x5A, FrameBufferBytes());
        FreeFrameBuffer();
        EXPECT_EQ(FrameBuffer, nullptr);
    }
}

TEST(HeadlessFrameBuffer, TheShowsModeIs128000BytesWithRowsOf640) {
    CreateFrameBuffer(320, 200, 16);
    EXPECT_EQ(FrameBufferBytes(), 128000u);
    EXPECT_EQ(rowOffset[0], 0u);
    EXPECT_EQ(rowOffset[1], 640u);
    EXPECT_EQ(rowOffset[2], 1280u);
    EXPECT_EQ(rowOffset[199], 127360u);
    FreeFrameBuffer();
    FreeFrameBuffer();  // a second free does nothing
}

TEST(HeadlessFrameBuffer, MoreRowsThanTheTableHoldsStopAtItsEnd) {
    CreateFrameBuffer(4, 2100, 8);
    EXPECT_EQ(FrameBufferBytes(), 8400u);
    EXPECT_EQ(rowOffset[kRowOffsetCapacity - 1], (kRowOffsetCapacity - 1) * 4);
    FreeFrameBuffer();
}

// What the sink saw, copied out.
std::vector<std::vector<uint8_t>> screens;
std::vector<uint64_t> sinkFrameNumbers;

void KeepScreen(const uint8_t* screen, int32_t pitchBytes, uint64_t frameNumber) {
    screens.emplace_back(screen, screen + static_cast<size_t>(pitchBytes) * kFrameHeight);
    sinkFrameNumbers.push_back(frameNumber);
}

void OpenHeadlessDisplay(const HeadlessSetup& setup) {
    screens.clear();
    sinkFrameNumbers.clear();
    SetUpHeadless(setup);
    OpenWindow();
    InitDirectDraw();
    SetVideoMode(320, 200, 16);
    CreateFrameBuffer(320, 200, 16);
}

void CloseHeadlessDisplay() {
    FreeFrameBuffer();
    ReleaseDirectDraw();
    RequestWindowClose();
}

uint16_t PatternPixel(uint32_t x, uint32_t y) { return static_cast<uint16_t>(y * 331 + x * 7 + 1); }

void DrawPattern() {
    for (uint32_t y = 0; y < kFrameHeight; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(FrameBuffer) + rowOffset[y]);
        for (uint32_t x = 0; x < kFrameWidth; ++x) row[x] = PatternPixel(x, y);
    }
}

TEST(HeadlessPresent, OnlyRows2To197ReachTheScreenEachAtItsPitch) {
    for (const int32_t pitch : {640, 644, 1000, 2048}) {
        SCOPED_TRACE(testing::Message() << "pitch " << pitch);
        HeadlessSetup setup;
        setup.screenPitchBytes = pitch;
        setup.screenFillByte = 0xA5;
        setup.sink = KeepScreen;
        OpenHeadlessDisplay(setup);
        DrawPattern();
        PresentFrame();
        ASSERT_EQ(screens.size(), 1u);
        const std::vector<uint8_t>& screen = screens[0];
        for (uint32_t y = 0; y < kFrameHeight; ++y) {
            const uint8_t* row = screen.data() + static_cast<size_t>(y) * pitch;
            const bool presented = y >= 2 && y <= 197;
            for (uint32_t x = 0; x < kFrameWidth; ++x) {
                uint16_t pixel;
                std::memcpy(&pixel, row + 2 * x, 2);
                const uint16_t expected = presented ? PatternPixel(x, y) : 0xA5A5;
                ASSERT_EQ(pixel, expected) << "x " << x << " y " << y;
            }
            for (int32_t b = kFramePitchBytes; b < pitch; ++b) {
                ASSERT_EQ(row[b], 0xA5) << "padding byte " << b << " of row " << y;
            }
        }
        CloseHeadlessDisplay();
    }
}

TEST(HeadlessPresent, PicturesDifferingOnlyInTheEdgeRowsLookTheSame) {
    HeadlessSetup setup;
    setup.sink = KeepScreen;
    OpenHeadlessDisplay(setup);
    DrawPattern();
    PresentFrame();
    for (const uint32_t y : {0u, 1u, 198u, 199u}) {
        auto* row = reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(FrameBuffer) + rowOffset[y]);
        for (uint32_t x = 0; x < kFrameWidth; ++x) row[x] = 0xFFFF;
    }
    PresentFrame();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0], screens[1]);
    EXPECT_EQ(sinkFrameNumbers, (std::vector<uint64_t>{0, 1}));
    CloseHeadlessDisplay();
}

struct ClockCase {
    int32_t framesPerSecond;
    uint32_t presents;
    uint64_t audioFrames;  // floor(presents x 44100 / fps)
};

TEST(HeadlessPresent, EachFrameMovesTheAudioClockByOneFrameOfTime) {
    const ClockCase cases[] = {
        {70, 1, 630}, {70, 7, 4410}, {70, 70, 44100}, {60, 3, 2205}, {50, 2, 1764},
        {80, 1, 551}, {80, 2, 1102}, {80, 3, 1653},  {80, 4, 2205}, {75, 75, 44100},
    };
    UseMemoryFileHooks();
    for (const ClockCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.framesPerSecond << " fps, " << c.presents);
        SetBufferLength(100);
        ASSERT_TRUE(OpenAudioOutput(44100));
        HeadlessSetup setup;
        setup.framesPerSecond = c.framesPerSecond;
        OpenHeadlessDisplay(setup);
        for (uint32_t i = 0; i < c.presents; ++i) PresentFrame();
        EXPECT_EQ(HeadlessAudioFramesPlayed(), c.audioFrames);
        EXPECT_EQ(HeadlessPresentedFrames(), c.presents);
        // The device's own count: the clock really reached the audio output.
        EXPECT_EQ(AudioDevicePlayedBytes(), c.audioFrames * 4);
        CloseHeadlessDisplay();
        CloseAudioOutput();
    }
}

TEST(HeadlessPresent, WithoutAnOpenOutputNoAudioIsPlayed) {
    OpenHeadlessDisplay(HeadlessSetup{});
    PresentFrame();
    PresentFrame();
    EXPECT_EQ(HeadlessAudioFramesPlayed(), 0u);
    EXPECT_EQ(HeadlessPresentedFrames(), 2u);
    CloseHeadlessDisplay();
}

std::vector<PlatformCall> calls;
void KeepCall(PlatformCall call) { calls.push_back(call); }

TEST(HeadlessDisplay, ReportsEveryCallInOrder) {
    calls.clear();
    HeadlessSetup setup;
    setup.callHook = KeepCall;
    OpenHeadlessDisplay(setup);
    PresentFrame();
    CloseHeadlessDisplay();
    ShowMessage("hello");
    const std::vector<PlatformCall> expected = {
        PlatformCall::OpenWindow,        PlatformCall::InitDirectDraw,
        PlatformCall::SetVideoMode,      PlatformCall::CreateFrameBuffer,
        PlatformCall::PresentFrame,      PlatformCall::FreeFrameBuffer,
        PlatformCall::ReleaseDirectDraw, PlatformCall::RequestWindowClose,
        PlatformCall::ShowMessage,
    };
    EXPECT_EQ(calls, expected);
}

struct FailureCase {
    DisplayFailure failure;
    const char* text;
};

TEST(HeadlessDisplayDeathTest, AFailingDisplayEndsTheProcessWithItsMessageAndStatus1) {
    const FailureCase cases[] = {
        {DisplayFailure::InitDirectDraw, "Sorry, I can't init DirectDraw"},
        {DisplayFailure::CooperativeLevel, "Sorry, I can't set the CooperativeLevel"},
        {DisplayFailure::VideoMode, "Sorry, I can't set this video mode"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.text);
        HeadlessSetup setup;
        setup.failure = c.failure;
        EXPECT_EXIT(OpenHeadlessDisplay(setup), testing::ExitedWithCode(1),
                    std::string("^") + c.text + "\n$");
    }
}

}  // namespace
