// The entry function on the headless platform: start-up in its order, the show, shutdown in its
// order, and the failure path of a display that cannot start.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "director/entry.h"
#include "platform/display.h"
#include "platform/headless.h"
#include "platform/keyboard.h"
#include "show/mesh_motion.h"
#include "show/song_clock.h"
#include "sound/audio_output.h"
#include "sound/file_hooks.h"
#include "sound/module.h"

namespace {

// What the sound engine and the director had set up when a platform call was made.
struct CallState {
    PlatformCall call;
    bool hooksSet;
    int32_t outputRateHz;      // 0 = closed
    int32_t outputBlocks;      // 2 x buffer length / 20 ms
    bool songLoaded;
    bool songStarted;
    bool motionTablesBuilt;

    bool operator==(const CallState&) const = default;
};

std::vector<CallState> states;

bool SongIsStarted() {
    for (ListNode* node = PlayingSongs()->next; node != PlayingSongs(); node = node->next) {
        if (node == showSong) return true;
    }
    return false;
}

void RecordState(PlatformCall call) {
    states.push_back({call, FileHooksSet(), OutputRateHz(), OutputBlockCount(), showSong != nullptr,
                      showSong != nullptr && SongIsStarted(), motionSin[256] == 1.0f});
}

void ForgetMotionTables() {
    for (float& entry : motionSin) entry = 0.0f;
}

TEST(Entry, StartsUpRunsTheShowAndShutsDownInOrder) {
    ForgetMotionTables();
    states.clear();
    const KeyStep held[] = {{0, false, {DIK_ESCAPE}}};
    HeadlessSetup setup;
    setup.callHook = RecordState;
    setup.keySchedule = held;
    setup.keyStepCount = 1;
    SetUpHeadless(setup);

    EXPECT_EQ(RunDemo(), 0);

    using C = PlatformCall;
    // Sound first (open, loaded, silent), then tables, window, input and display; the song starts
    // with the show; the display goes before the song and the output, the window last.
    const CallState ready{C::OpenWindow, true, 44100, 10, true, false, true};
    auto at = [&](PlatformCall call, bool started = true) {
        CallState state = ready;
        state.call = call;
        state.songStarted = started;
        return state;
    };
    std::vector<CallState> expected = {
        at(C::OpenWindow, false),    at(C::InitInput, false),         at(C::InitDirectDraw, false),
        at(C::SetVideoMode, false),  at(C::CreateFrameBuffer, false),
    };
    // Escape held: the press ends scene 1, scene 2 runs to the hold's 35th frame, and every later
    // scene shows one frame, with 3 and 5 flash frames.
    std::string frames = "pf" "fff";
    for (int i = 0; i < 31; ++i) frames += "pf";
    frames += "pfpfpf" "fffff" "pfpfpf";
    for (const char f : frames) expected.push_back(at(f == 'p' ? C::PollKeyboard : C::PresentFrame));
    expected.push_back(at(C::FreeFrameBuffer));
    expected.push_back(at(C::ReleaseDirectDraw));
    expected.push_back({C::RequestWindowClose, true, 0, 0, false, false, true});
    ASSERT_EQ(states.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(states[i], expected[i]) << "call " << i << " (" << static_cast<int>(states[i].call) << ")";
    }
    EXPECT_EQ(HeadlessPresentedFrames(), 46u);
    EXPECT_EQ(FrameBuffer, nullptr);
    EXPECT_EQ(showSong, nullptr);
}

uint64_t frameHash = 0;

void HashFrame(const uint8_t* screen, int32_t pitchBytes, uint64_t /*frameNumber*/) {
    for (int32_t y = 0; y < 200; ++y) {
        for (int32_t x = 0; x < 640; ++x) {
            frameHash = (frameHash ^ screen[y * pitchBytes + x]) * 0x100000001B3u;
        }
    }
}

// A page that starts the show again, or a tool that runs it twice, must see the same frames: the
// grain, the wave and the mesh's running words start afresh with every run.
TEST(Entry, ASecondRunInTheSameProcessPresentsTheSameFrames) {
    const KeyStep keys[] = {{0, false, {0}}, {150, false, {DIK_ESCAPE}}};
    uint64_t hashes[2];
    for (uint64_t& hash : hashes) {
        frameHash = 0xCBF29CE484222325u;
        HeadlessSetup setup;
        setup.sink = HashFrame;
        setup.keySchedule = keys;
        setup.keyStepCount = 2;
        SetUpHeadless(setup);
        ASSERT_EQ(RunDemo(), 0);
        hash = frameHash;
    }
    EXPECT_EQ(hashes[0], hashes[1]);
}

struct FailureCase {
    DisplayFailure failure;
    const char* text;
};

TEST(EntryDeathTest, ADisplayThatCannotStartEndsTheProcessWithItsMessageAndStatus1) {
    const FailureCase cases[] = {
        {DisplayFailure::InitDirectDraw, "Sorry, I can't init DirectDraw"},
        {DisplayFailure::CooperativeLevel, "Sorry, I can't set the CooperativeLevel"},
        {DisplayFailure::VideoMode, "Sorry, I can't set this video mode"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.text);
        HeadlessSetup setup;
        setup.failure = c.failure;
        SetUpHeadless(setup);
        EXPECT_EXIT(RunDemo(), testing::ExitedWithCode(1), std::string("^") + c.text + "\n$");
    }
}

}  // namespace
