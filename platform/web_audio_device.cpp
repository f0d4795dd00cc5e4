#include "platform/web_audio_device.h"

#include <emscripten/emscripten.h>

#include <algorithm>

#include "platform/audio_device.h"

namespace {

// 16-bit values become floats in -1..1 exactly: every value is a multiple of 1 / 32768.
constexpr float kSampleScale = 1.0f / 32768.0f;

struct WebAudio {
    bool inWorklet = false;
    bool open = false;
    // The worklet's: the ring it plays and where the play position stands.
    const int16_t* ring = nullptr;
    uint32_t ringFrames = 0;
    uint64_t playedFrames = 0;
    MixDueBlocksFunction mixDue = nullptr;
    // The page's.
    uint32_t heldBytes = 0;
};

WebAudio audio;

}  // namespace

// The page-side halves are JavaScript, which the C++ formatter would break. The page's script
// (web/index.html) keeps the context and the worklet's node; the worklet's copy never calls these.
// clang-format off
// False when the page has no context or no worklet (the page made them in the click that started
// the show, as browsers allow sound only after a gesture): the show then runs silent.
EM_JS(int32_t, OpenWebSound, (int32_t rateHz), {
    return Module.novalineSound && Module.novalineSound.open(rateHz) ? 1 : 0;
});

// Frames the context has played since the worklet's first quantum; 0 before it.
EM_JS(double, WebSoundPlayedFrames, (), {
    return Module.novalineSound.playedFrames();
});

// What lies between the context's clock and the loudspeaker.
EM_JS(double, WebSoundLatencySeconds, (), {
    return Module.novalineSound.latencySeconds();
});

// Silences the worklet at once and lets it go.
EM_JS(void, CloseWebSound, (), {
    Module.novalineSound.close();
});
// clang-format on

void UseWorkletAudio() { audio.inWorklet = true; }

bool AudioDeviceOpen(int32_t rateHz, const int16_t* ring, uint32_t ringBytes) {
    AudioDeviceClose();
    // A partial frame in the ring would swap left and right on every other loop.
    if (rateHz <= 0 || !ring || ringBytes < kBytesPerStereoFrame ||
        ringBytes % kBytesPerStereoFrame != 0) {
        return false;
    }
    const bool inWorklet = audio.inWorklet;
    if (!inWorklet && !OpenWebSound(rateHz)) return false;
    audio = WebAudio{};
    audio.inWorklet = inWorklet;
    audio.open = true;
    audio.ring = ring;
    audio.ringFrames = ringBytes / kBytesPerStereoFrame;
    // Truncated to whole frames: the clock may read a fraction of a frame late, never early.
    if (!inWorklet) {
        audio.heldBytes = static_cast<uint32_t>(WebSoundLatencySeconds() * rateHz) * kBytesPerStereoFrame;
    }
    return true;
}

uint64_t AudioDevicePlayedBytes() {
    if (!audio.open) return 0;
    if (!audio.inWorklet) {
        // The context's clock only moves on; a reading never takes back what was counted.
        audio.playedFrames =
            std::max(audio.playedFrames, static_cast<uint64_t>(WebSoundPlayedFrames()));
    }
    return audio.playedFrames * kBytesPerStereoFrame;
}

// The worklet's output is heard as the page's context plays it, whose latency the page counts.
uint32_t AudioDeviceHeldBytes() { return audio.heldBytes; }
AudioDeviceGaps AudioDeviceDrySpells() { return {0, 0}; }

void AudioDeviceClose() {
    if (!audio.open) return;
    if (!audio.inWorklet) CloseWebSound();
    audio = WebAudio{audio.inWorklet};
}

// The worklet calls for mixing with every quantum; on the page, nothing mixes.
bool AudioDeviceDrivesMixing(MixDueBlocksFunction mixDue) {
    if (audio.inWorklet) audio.mixDue = mixDue;
    return true;
}

void RenderWorkletAudio(float* out, uint32_t frames) {
    frames = std::min(frames, kWorkletMaxFrames);
    float* left = out;
    float* right = out + frames;
    if (!audio.open || !audio.inWorklet) {
        std::fill(out, out + 2 * frames, 0.0f);
        return;
    }
    // The device plays these frames first and counts them after, as a sound card does: the
    // blocks they finish become due only then.
    uint32_t frame = static_cast<uint32_t>(audio.playedFrames % audio.ringFrames);
    for (uint32_t i = 0; i < frames; ++i) {
        left[i] = audio.ring[2 * frame] * kSampleScale;
        right[i] = audio.ring[2 * frame + 1] * kSampleScale;
        if (++frame == audio.ringFrames) frame = 0;
    }
    audio.playedFrames += frames;
    if (audio.mixDue) audio.mixDue();
}
