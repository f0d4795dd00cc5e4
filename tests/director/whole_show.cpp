#include "whole_show.h"

#include <algorithm>

#include "director/entry.h"
#include "director/timeline.h"
#include "platform/keyboard.h"

namespace {

constexpr size_t kMaxRecorders = 4;
constexpr uint64_t kNever = UINT64_MAX;
// Scene 8 runs until Escape, held from the poll that makes its run ten seconds long.
constexpr uint64_t kSceneEightFrames = 10 * kShowFramesPerSecond;

WholeShowRecorder recorders[kMaxRecorders];
size_t recorderCount = 0;
KeyStep schedule[1] = {{kNever, false, {DIK_ESCAPE}}};
bool ran = false;
int exitStatus = -1;

void OnFrame(const uint8_t* screen, int32_t pitchBytes, uint64_t frame) {
    for (size_t i = 0; i < recorderCount; ++i) {
        if (recorders[i].frame) recorders[i].frame(screen, pitchBytes, frame);
    }
}

void OnSound(const int16_t* frames, uint32_t count) {
    for (size_t i = 0; i < recorderCount; ++i) {
        if (recorders[i].sound) recorders[i].sound(frames, count);
    }
}

// The end is armed on scene 8's first poll, before that poll reads the keys.
void OnCall(PlatformCall call) {
    if (call == PlatformCall::PollKeyboard && schedule[0].fromFrame == kNever &&
        CurrentScene() == kSceneCount) {
        schedule[0].fromFrame = HeadlessPresentedFrames() + kSceneEightFrames - 1;
    }
    for (size_t i = 0; i < recorderCount; ++i) {
        if (recorders[i].call) recorders[i].call(call);
    }
}

}  // namespace

bool AddWholeShowRecorder(const WholeShowRecorder& recorder) {
    if (recorderCount == kMaxRecorders) return false;
    recorders[recorderCount++] = recorder;
    return true;
}

int RunWholeShowOnce() {
    if (ran) return exitStatus;
    ran = true;
    HeadlessSetup setup;
    setup.framesPerSecond = kShowFramesPerSecond;
    setup.sink = OnFrame;
    setup.audioSink = OnSound;
    setup.callHook = OnCall;
    setup.keySchedule = schedule;
    setup.keyStepCount = 1;
    SetUpHeadless(setup);
    exitStatus = RunDemo();
    return exitStatus;
}

uint64_t WholeShowEndFrame() { return schedule[0].fromFrame; }
