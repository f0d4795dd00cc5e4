#include <algorithm>
#include <vector>

#include "platform/audio_device.h"
#include "platform/display.h"
#include "platform/frame_buffer_store.h"
#include "platform/headless.h"
#include "platform/headless_calls.h"
#include "platform/present_rows.h"
#include "platform/virtual_audio_device.h"

namespace {

struct HeadlessDisplay {
    HeadlessSetup setup;
    std::vector<uint8_t> screen;
    uint32_t modeHeight = 0;
    uint64_t presentedFrames = 0;
    uint64_t audioFramesPlayed = 0;
    // Audio frames owed but not yet whole: rate / fps is rarely an integer, and carrying the
    // remainder keeps the audio clock exactly on frames x rate / fps, truncated, with no drift.
    int64_t audioRemainder = 0;
};

HeadlessDisplay display;

// The mixer's block is 20 ms, rounded up to whole frames: rate / 50, rounded down, never passes it.
constexpr int32_t kAudioStepsPerSecond = 50;

// The frames [played, played + count) as the ring holds them now, at most one ring's worth.
void HandPlayedAudio(PlayedAudioSink sink, uint32_t count) {
    const int16_t* ring = VirtualAudioRing();
    const uint32_t ringFrames = VirtualAudioRingBytes() / kBytesPerStereoFrame;
    if (!ring || ringFrames == 0) return;
    uint32_t at =
        static_cast<uint32_t>(AudioDevicePlayedBytes() / kBytesPerStereoFrame % ringFrames);
    while (count > 0) {
        const uint32_t run = std::min(count, ringFrames - at);
        sink(ring + static_cast<size_t>(at) * 2, run);
        count -= run;
        at = 0;
    }
}

}  // namespace

void NoteHeadlessCall(PlatformCall call) {
    if (display.setup.callHook) display.setup.callHook(call);
}

const HeadlessSetup& CurrentHeadlessSetup() { return display.setup; }

void SetUpHeadless(const HeadlessSetup& setup) {
    display = HeadlessDisplay{};
    display.setup = setup;
    if (display.setup.framesPerSecond <= 0) display.setup.framesPerSecond = kShowFramesPerSecond;
    if (display.setup.screenPitchBytes < static_cast<int32_t>(kFramePitchBytes)) {
        display.setup.screenPitchBytes = kFramePitchBytes;
    }
}

uint64_t HeadlessPresentedFrames() { return display.presentedFrames; }
uint64_t HeadlessAudioFramesPlayed() { return display.audioFramesPlayed; }
const uint8_t* HeadlessScreen() { return display.screen.empty() ? nullptr : display.screen.data(); }

void OpenWindow() { NoteHeadlessCall(PlatformCall::OpenWindow); }

void InitDirectDraw() {
    NoteHeadlessCall(PlatformCall::InitDirectDraw);
    if (display.setup.failure == DisplayFailure::InitDirectDraw) FatalError(kInitDirectDrawFailed);
}

void SetVideoMode(uint32_t /*width*/, uint32_t height, uint32_t /*bitsPerPixel*/) {
    NoteHeadlessCall(PlatformCall::SetVideoMode);
    if (display.setup.failure == DisplayFailure::CooperativeLevel) {
        FatalError(kCooperativeLevelFailed);
    }
    if (display.setup.failure == DisplayFailure::VideoMode) FatalError(kVideoModeFailed);
    display.modeHeight = height;
    display.screen.assign(static_cast<size_t>(display.setup.screenPitchBytes) * height,
                          display.setup.screenFillByte);
}

void CreateFrameBuffer(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
    NoteHeadlessCall(PlatformCall::CreateFrameBuffer);
    AllocateFrameBuffer(width, height, bitsPerPixel);
}

void FreeFrameBuffer() {
    NoteHeadlessCall(PlatformCall::FreeFrameBuffer);
    ReleaseFrameBuffer();
}

void PresentFrame() {
    NoteHeadlessCall(PlatformCall::PresentFrame);
    const int32_t pitch = display.setup.screenPitchBytes;
    if (display.modeHeight > kLastPresentedRow && FrameBuffer) {
        CopyPresentedRows(display.screen.data() + static_cast<size_t>(pitch) * kFirstPresentedRow,
                          pitch);
    }
    if (display.setup.sink) {
        display.setup.sink(HeadlessScreen(), pitch, display.presentedFrames);
    }
    ++display.presentedFrames;

    // The vertical blank: one frame of time passes, and the sound plays along.
    const int32_t rateHz = VirtualAudioRateHz();
    display.audioRemainder += rateHz;
    const int64_t frames = display.audioRemainder / display.setup.framesPerSecond;
    display.audioRemainder -= frames * display.setup.framesPerSecond;
    // A real device plays on evenly and the mixer refills each block soon after it has played.
    // The mixer follows a device that moves by at most one block between two of its calls, so a
    // frame longer than a block (below 50 fps) is played in steps of at most a block, 20 ms.
    const int64_t stepFrames = std::max(rateHz / kAudioStepsPerSecond, 1);
    for (int64_t left = frames; left > 0;) {
        const auto step = static_cast<uint32_t>(std::min(left, stepFrames));
        if (display.setup.audioSink) HandPlayedAudio(display.setup.audioSink, step);
        display.audioFramesPlayed += step;
        AdvanceVirtualAudio(step);
        left -= step;
    }
}

void ReleaseDirectDraw() {
    NoteHeadlessCall(PlatformCall::ReleaseDirectDraw);
    display.modeHeight = 0;
}

void RequestWindowClose() { NoteHeadlessCall(PlatformCall::RequestWindowClose); }

void ShowMessage(const char* /*text*/) { NoteHeadlessCall(PlatformCall::ShowMessage); }
