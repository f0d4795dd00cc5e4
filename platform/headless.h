// Set-up of the headless platform (library `platform_headless`): the display and keyboard of
// display.h and keyboard.h without a screen, for tests and offline tools. Frames go to a sink the
// caller supplies; each PresentFrame moves a virtual clock by one frame and plays the matching
// audio frames on the virtual audio device, so a run is the same every time; keys come from a
// schedule.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/display.h"

// Every platform operation, as the call hook reports it.
enum class PlatformCall : uint8_t {
    OpenWindow,
    InitInput,
    InitDirectDraw,
    SetVideoMode,
    CreateFrameBuffer,
    PollKeyboard,
    PresentFrame,
    FreeFrameBuffer,
    ReleaseDirectDraw,
    RequestWindowClose,
    ShowMessage,
};

// Which start-up step of the display fails, to exercise the failure path.
enum class DisplayFailure : uint8_t { None, InitDirectDraw, CooperativeLevel, VideoMode };

// Called by PresentFrame with the screen once the rows are on it, before the clock moves.
// frameNumber counts presented frames from 0.
using FrameSink = void (*)(const uint8_t* screen, int32_t pitchBytes, uint64_t frameNumber);
// Called by PresentFrame with the audio frames the device is about to play for that frame (16-bit
// stereo, left first), read before the mixer may refill their place in the ring; where they wrap
// around the ring's end it is called twice, in order.
using PlayedAudioSink = void (*)(const int16_t* frames, uint32_t frameCount);
// Called at the start of every platform operation.
using PlatformCallHook = void (*)(PlatformCall call);

// From the poll made after `fromFrame` presented frames on, until a later step takes over: the
// keys held down (scan codes, 0 ends the list), or a poll that fails.
struct KeyStep {
    uint64_t fromFrame;
    bool pollFails;
    uint8_t down[8];
};

struct HeadlessSetup {
    int32_t framesPerSecond = kShowFramesPerSecond;
    int32_t screenPitchBytes = 640;   // at least 640
    uint8_t screenFillByte = 0;       // what the screen holds where nothing was presented
    FrameSink sink = nullptr;
    PlayedAudioSink audioSink = nullptr;
    PlatformCallHook callHook = nullptr;
    const KeyStep* keySchedule = nullptr;  // sorted by fromFrame; no steps = no key ever down
    size_t keyStepCount = 0;
    bool keyboardMissing = false;     // as a keyboard that could not be opened: polls do nothing
    DisplayFailure failure = DisplayFailure::None;
};

// Takes the set-up and starts the frame count and the clock afresh.
void SetUpHeadless(const HeadlessSetup& setup);
uint64_t HeadlessPresentedFrames();
// Audio frames played on the virtual device by the presents so far.
uint64_t HeadlessAudioFramesPlayed();
// The screen PresentFrame writes into, allocated by SetVideoMode; null before.
const uint8_t* HeadlessScreen();
