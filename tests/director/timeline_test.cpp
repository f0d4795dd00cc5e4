// The timeline on the headless platform, read back as a trace of frames: 'k' a scene frame
// (polled), 'w' a flash frame (not polled, white), anything else '?'.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "director/timeline.h"
#include "effects/additive_mesh.h"
#include "effects/captions.h"
#include "effects/colour_table.h"
#include "effects/flare_sprite.h"
#include "effects/grain.h"
#include "effects/shared_tables.h"
#include "effects/wave_plane.h"
#include "platform/display.h"
#include "platform/headless.h"
#include "platform/keyboard.h"
#include "replay/song_control.h"
#include "show/mesh_motion.h"
#include "show/song_clock.h"
#include "sound/audio_output.h"
#include "sound/memory_files.h"

namespace {

struct Recording {
    std::string frames;
    bool polledSinceLastPresent = false;
    int32_t polledScene = 0;
    // For each presented frame, the scene that polled it, or 0 for a flash.
    std::vector<int32_t> sceneOfFrame;
    // Song position at the start of every poll and present, and once more at the end.
    std::vector<uint32_t> positionAtCall;
    std::vector<PlatformCall> calls;
    // For each presented frame, the index in `calls` of its present.
    std::vector<size_t> presentCall;
    size_t timelineCalls = 0;  // calls made by the timeline, before the shutdown's
};

Recording recording;

void RecordCall(PlatformCall call) {
    recording.calls.push_back(call);
    recording.positionAtCall.push_back(GetSongPosition());
    if (call == PlatformCall::PollKeyboard) {
        recording.polledSinceLastPresent = true;
        recording.polledScene = CurrentScene();
    }
    if (call == PlatformCall::PresentFrame) recording.presentCall.push_back(recording.calls.size() - 1);
}

void RecordFrame(const uint8_t* screen, int32_t pitchBytes, uint64_t /*frameNumber*/) {
    // A flash is white in every row: the middle row stands for the frame.
    const auto* row = reinterpret_cast<const uint16_t*>(screen + pitchBytes * 100);
    const bool white = row[0] == 0xFFFF && row[319] == 0xFFFF;
    const bool polled = recording.polledSinceLastPresent;
    recording.frames += polled ? 'k' : white ? 'w' : '?';
    recording.sceneOfFrame.push_back(polled ? recording.polledScene : 0);
    recording.polledSinceLastPresent = false;
}

// Runs the timeline on a fresh headless display with the given keys.
std::string RunRecorded(const KeyStep* steps, size_t stepCount) {
    recording = Recording{};
    HeadlessSetup setup;
    setup.sink = RecordFrame;
    setup.callHook = RecordCall;
    setup.keySchedule = steps;
    setup.keyStepCount = stepCount;
    SetUpHeadless(setup);
    OpenWindow();
    InitInput();
    InitDirectDraw();
    SetVideoMode(320, 200, 16);
    CreateFrameBuffer(320, 200, 16);
    InitOverlayColours();
    PrepareFlare();
    InitWavePlane();
    recording.calls.clear();
    recording.positionAtCall.clear();
    RunTimeline();
    recording.positionAtCall.push_back(GetSongPosition());
    recording.timelineCalls = recording.calls.size();
    FreeFrameBuffer();
    ReleaseDirectDraw();
    RequestWindowClose();
    return recording.frames;
}

// The trace of scenes showing the given frame counts.
std::string SceneTrace(const std::vector<int>& framesPerScene) {
    std::string trace;
    for (size_t s = 0; s < framesPerScene.size(); ++s) {
        trace += std::string(framesPerScene[s], 'k');
        trace += std::string(showScenes[s].flashFramesAfter, 'w');
    }
    return trace;
}

// Every running word a show moves, as a run leaves it, and its start value: ResetEffects puts each
// back, so a second run in one process starts where the first did.
TEST(Timeline, ResetEffectsPutsEveryRunningWordBack) {
    struct Word {
        const char* name;
        int64_t (*read)();
        void (*move)();
        int64_t start;
    };
    const Word words[] = {
        {"grainOffset", [] { return int64_t{grainOffset}; }, [] { grainOffset = 768; }, 0},
        {"wavePhase", [] { return int64_t{wavePhase}; }, [] { wavePhase = 0xFAFB; }, 0},
        {"meshColour", [] { return int64_t{meshColour}; }, [] { meshColour = 4299; }, 0},
        {"meshTurn1", [] { return int64_t{meshTurn1}; }, [] { meshTurn1 = 80; }, 0},
        {"meshDistance", [] { return int64_t{meshDistance}; }, [] { meshDistance = 300; }, 0},
        {"meshSwing", [] { return int64_t{meshSwing}; }, [] { meshSwing = 12; }, 0},
        {"activeCaptionEnd", [] { return int64_t{activeCaptionEnd}; },
         [] { activeCaptionEnd = 2; }, 0},
        {"activeCaptions[0]", [] { return int64_t{activeCaptions[0].text != nullptr}; },
         [] { activeCaptions[0] = {"X", 1, 2}; }, 0},
    };
    for (const Word& word : words) word.move();
    ResetEffects();
    for (const Word& word : words) EXPECT_EQ(word.read(), word.start) << word.name;
}

// Held from the start: the first poll sees the press, which ends scene 1; the hold counts from
// that frame, flashes included, and on its 35th frame (frame 34, in scene 2) every remaining scene
// shows one frame.
TEST(Timeline, EscapeHeldFromTheStartEndsScene1ThenHoldsAfterHalfASecond) {
    showSong = nullptr;
    const KeyStep held[] = {{0, false, {DIK_ESCAPE}}};
    EXPECT_EQ(RunRecorded(held, 1), SceneTrace({1, 31, 1, 1, 1, 1, 1, 1}));
}

TEST(Timeline, FlashesAreNotPolledAndAllWhite) {
    showSong = nullptr;
    const KeyStep held[] = {{0, false, {DIK_ESCAPE}}};
    RunRecorded(held, 1);
    std::string calls;
    for (size_t i = 0; i < recording.timelineCalls; ++i) {
        const PlatformCall call = recording.calls[i];
        calls += call == PlatformCall::PollKeyboard ? 'p' : call == PlatformCall::PresentFrame ? 'f' : '?';
    }
    std::string scene2;
    for (int i = 0; i < 31; ++i) scene2 += "pf";
    EXPECT_EQ(calls, "pf" "fff" + scene2 + "pfpfpf" "fffff" "pfpfpf");
}

constexpr int32_t kShowEnded = -1;

// The scene that polled the given frame: 0 for a flash, kShowEnded past the show's last frame.
int32_t ScenePolledAt(uint64_t frame) {
    return frame < recording.sceneOfFrame.size() ? recording.sceneOfFrame[frame] : kShowEnded;
}

// A press as long as a person makes it, from frame 30 of scene 1: up to 34 frames it ends scene 1
// only, and scene 2 runs on with the key up again; from 35 frames (half a second) it is a hold,
// and the show has ended well before frame 120. The show is ended later by a hold from 130.
TEST(Timeline, APressEndsOneSceneAndAHoldOfHalfASecondEndsTheShow) {
    showSong = nullptr;
    struct Case {
        uint64_t pressFrames;
        int32_t sceneAtFrame120;
    };
    const Case cases[] = {{1, 2}, {3, 2}, {6, 2}, {10, 2}, {20, 2}, {34, 2}, {35, kShowEnded}, {80, kShowEnded}};
    for (const Case& c : cases) {
        const KeyStep steps[] = {
            {30, false, {DIK_ESCAPE}}, {30 + c.pressFrames, false, {}}, {130, false, {DIK_ESCAPE}}};
        RunRecorded(steps, std::size(steps));
        EXPECT_EQ(ScenePolledAt(30), 1) << c.pressFrames << " frames";
        EXPECT_EQ(ScenePolledAt(120), c.sceneAtFrame120) << c.pressFrames << " frames";
    }
}

// Escape pressed for one poll at the last frame of each scene; with no Song that is the only way
// a scene ends. Each tap is a new press only where the poll before it saw the key up, so every
// scene after the first runs at least two frames.
std::vector<KeyStep> TapsEnding(const std::vector<int>& framesPerScene) {
    std::vector<KeyStep> steps;
    uint64_t frame = 0;
    for (size_t s = 0; s < framesPerScene.size(); ++s) {
        frame += framesPerScene[s];
        steps.push_back({frame - 1, false, {DIK_ESCAPE}});
        steps.push_back({frame, false, {}});
        frame += showScenes[s].flashFramesAfter;
    }
    return steps;
}

TEST(Timeline, WithoutASongEverySceneRunsUntilEscape) {
    showSong = nullptr;
    const std::vector<std::vector<int>> runs = {
        {3, 2, 2, 4, 2, 2, 4, 5},
        {1, 7, 3, 2, 2, 9, 2, 40},
        {25, 2, 2, 2, 2, 2, 2, 2},
    };
    for (const std::vector<int>& framesPerScene : runs) {
        const std::vector<KeyStep> steps = TapsEnding(framesPerScene);
        EXPECT_EQ(RunRecorded(steps.data(), steps.size()), SceneTrace(framesPerScene));
    }
}

TEST(Timeline, AShortPressDuringAFlashIsNotSeen) {
    showSong = nullptr;
    // Escape ends scene 1 at frame 2 and is down again only during the flash frames 3 to 5: scene 2
    // polls first at frame 6, sees it up, and runs until the next press at frame 9; scene 3 sees a
    // new press on its second frame, 11, and Escape stays down from there: scene 4 runs until the
    // hold's 35th frame, 45, and every later scene shows one frame.
    const KeyStep steps[] = {
        {2, false, {DIK_ESCAPE}}, {3, false, {}},   {4, false, {DIK_ESCAPE}}, {6, false, {}},
        {9, false, {DIK_ESCAPE}}, {10, false, {}},  {11, false, {DIK_ESCAPE}},  // held to the end
    };
    EXPECT_EQ(RunRecorded(steps, std::size(steps)), SceneTrace({3, 4, 2, 34, 1, 1, 1, 1}));
}

// A Song whose position moves one row per tick and 64 rows per order, standing in for the replay.
void StepOneRow(Song* s) {
    const int32_t row = s->row.load() + 1;
    if (row == 64) {
        s->row.store(0);
        s->order.store(s->order.load() + 1);
    } else {
        s->row.store(row);
    }
}

// What the timeline must show given the position each end test sees: scene s ends on the first
// frame after which the position is no longer below its end, or Escape is down.
std::string ExpectedFrames(const std::vector<uint32_t>& positionAfterFrame, uint64_t escapeFrame) {
    std::string trace;
    uint64_t frame = 0;
    for (int scene = 1; scene <= kSceneCount; ++scene) {
        const uint32_t end = showScenes[scene - 1].endPosition;
        do {
            trace += 'k';
            ++frame;
        } while (frame - 1 < escapeFrame && positionAfterFrame.at(frame - 1) < end);
        const int flashes = showScenes[scene - 1].flashFramesAfter;
        trace += std::string(flashes, 'w');
        frame += flashes;
    }
    return trace;
}

TEST(Timeline, ScenesChangeWhenTheSongReachesTheirEndPositions) {
    UseMemoryFileHooks();
    SetBufferLength(100);
    ASSERT_TRUE(OpenAudioOutput(44100));
    auto* fake = new Song{};
    ListMakeSelfLinked(fake);
    fake->channelCount = 1;
    fake->defaultBpm = 125;  // 882 frames a tick: 1.4 video frames a row
    fake->defaultSpeed = 1;
    fake->tickCallback = StepOneRow;
    ASSERT_TRUE(StartSong(fake));
    showSong = fake;

    const uint64_t escapeFrame = 1800;  // about 190 frames into scene 8
    const KeyStep steps[] = {{escapeFrame, false, {DIK_ESCAPE}}};
    const std::string frames = RunRecorded(steps, 1);

    // The position each frame's end test saw: the one at the next call, as nothing moves the
    // clock in between.
    std::vector<uint32_t> positionAfterFrame;
    for (const size_t call : recording.presentCall) {
        positionAfterFrame.push_back(recording.positionAtCall.at(call + 1));
    }
    ASSERT_GE(positionAfterFrame.back(), 0x1200u) << "the showSong reached the last scene";
    EXPECT_EQ(frames, ExpectedFrames(positionAfterFrame, escapeFrame));
    // Scene 1 covers orders 0 to 4, 320 rows; the first tick already moves to row 1, so order 5
    // begins with tick 319, 319 x 882 audio frames into the song. The device plays the song's
    // first block after one pass over the silent ring, so that row sounds a ring later, and the
    // end test after frame k, with the clock at (k + 1) x 630 audio frames (44100 Hz at the show's
    // frame rate), is the first to hear it once that clock has reached it.
    const int64_t audioFramesPerVideoFrame = 44100 / kShowFramesPerSecond;
    const int64_t heardAt = 319 * 882 + OutputRingFrames();
    const size_t scene1 = frames.find('w');
    EXPECT_EQ(static_cast<int64_t>(scene1),
              (heardAt + audioFramesPerVideoFrame - 1) / audioFramesPerVideoFrame);

    showSong = nullptr;
    FreeSong(fake);
    CloseAudioOutput();
}

}  // namespace
