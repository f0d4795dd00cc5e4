#include "platform/web_audio_device.h"

#include <emscripten/emscripten.h>

#include <algorithm>

#include "platform/audio_device.h"

namespace {

constexpr uint32_t kBytesPerFrame = 4;
// How far ahead of the context's clock the ring's sound is handed over: more than the longest gap
// between two frames of a busy page, and less than the ring (200 ms) less the block the mixer
// has not yet rewritten, which is as far as mixed sound reaches.
constexpr int32_t kLeadMs = 120;
// Sound handed over later than this ahead of the clock would start late; after a stall (a hidden
// page) the schedule resumes here and the gap is silence.
constexpr int32_t kGuardMs = 10;

struct WebAudio {
    bool open = false;
    const int16_t* ring = nullptr;
    uint32_t ringFrames = 0;
    int32_t rateHz = 0;
    uint64_t playedFrames = 0;
    uint64_t scheduledFrames = 0;  // every frame before this one has been handed over
    uint32_t heldBytes = 0;
    MixDueBlocksFunction mixDue = nullptr;
};

WebAudio audio;

// Truncated to whole frames; a frame more or less of lead or guard changes nothing heard.
int32_t FramesIn(int32_t rateHz, int32_t ms) { return rateHz * ms / 1000; }

}  // namespace

// The page-side halves are JavaScript, which the C++ formatter would break.
// clang-format off
// The page makes the AudioContext in the click that starts the show (browsers allow sound only
// after a gesture); without one the show runs silent. Every source goes through one gain node,
// which closing disconnects, silencing what was scheduled ahead. The buffers and the copies are
// made here, once: a source node per hand-over is all that is made afterwards (Web Audio's sources
// play once). The buffers rotate through a pool long enough that none is rewritten while it may
// still play: 32 hand-overs, at one per frame, take far longer than the lead.
EM_JS(int32_t, StartWebAudio, (int32_t rateHz, int32_t leadFrames), {
    const context = Module.audioContext;
    if (!context) return 0;
    const pool = [];
    for (let i = 0; i < 32; ++i) pool.push(context.createBuffer(2, leadFrames, rateHz));
    const output = context.createGain();
    output.connect(context.destination);
    Module.novalineAudio = {
        context: context,
        rate: rateHz,
        origin: context.currentTime,
        output: output,
        pool: pool,
        next: 0,
        left: new Float32Array(leadFrames),
        right: new Float32Array(leadFrames),
        scheduledFrames: 0,
        peak: 0
    };
    return 1;
});

// Frames the context has played since the open; its clock stands still while it is suspended.
EM_JS(double, WebAudioPlayedFrames, (), {
    const audio = Module.novalineAudio;
    return Math.max(0, Math.floor((audio.context.currentTime - audio.origin) * audio.rate));
});

// What lies between the context's clock and the loudspeaker.
EM_JS(double, WebAudioLatencySeconds, (), {
    const context = Module.novalineAudio.context;
    return (context.baseLatency || 0) + (context.outputLatency || 0);
});

// Device frames [from, to) are ring frames from % ringFrames on, wrapping; they play at the
// origin plus their index over the rate, so consecutive buffers join sample to sample. The whole
// copy goes into the buffer, of which only the first `count` frames play.
EM_JS(void, ScheduleWebAudio,
      (const int16_t* ring, uint32_t ringFrames, double fromFrame, double toFrame), {
    const audio = Module.novalineAudio;
    const count = toFrame - fromFrame;
    let frame = fromFrame % ringFrames;
    let peak = audio.peak;
    for (let i = 0; i < count; ++i) {
        const sample = (ring >> 1) + 2 * frame;
        const l = HEAP16[sample];
        const r = HEAP16[sample + 1];
        audio.left[i] = l / 32768;
        audio.right[i] = r / 32768;
        peak = Math.max(peak, Math.abs(l), Math.abs(r));
        if (++frame === ringFrames) frame = 0;
    }
    audio.peak = peak;
    const buffer = audio.pool[audio.next];
    audio.next = (audio.next + 1) % audio.pool.length;
    buffer.copyToChannel(audio.left, 0);
    buffer.copyToChannel(audio.right, 1);
    const source = audio.context.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.output);
    source.start(audio.origin + fromFrame / audio.rate, 0, count / audio.rate);
    audio.scheduledFrames = toFrame;
});

EM_JS(void, StopWebAudio, (), {
    const audio = Module.novalineAudio;
    if (!audio) return;
    audio.output.disconnect();
    Module.novalineAudio = null;
});
// clang-format on

bool AudioDeviceOpen(int32_t rateHz, const int16_t* ring, uint32_t ringBytes) {
    AudioDeviceClose();
    // A partial frame in the ring would swap left and right on every other loop.
    if (rateHz <= 0 || !ring || ringBytes < kBytesPerFrame || ringBytes % kBytesPerFrame != 0) {
        return false;
    }
    if (!StartWebAudio(rateHz, FramesIn(rateHz, kLeadMs))) return false;
    audio = WebAudio{};
    audio.open = true;
    audio.ring = ring;
    audio.ringFrames = ringBytes / kBytesPerFrame;
    audio.rateHz = rateHz;
    // Truncated to whole frames: the clock may read a fraction of a frame late, never early.
    audio.heldBytes = static_cast<uint32_t>(WebAudioLatencySeconds() * rateHz) * kBytesPerFrame;
    return true;
}

uint64_t AudioDevicePlayedBytes() { return audio.playedFrames * kBytesPerFrame; }
uint32_t AudioDeviceHeldBytes() { return audio.heldBytes; }
AudioDeviceGaps AudioDeviceDrySpells() { return {0, 0}; }

void AudioDeviceClose() {
    if (!audio.open) return;
    StopWebAudio();
    audio = WebAudio{};
}

bool AudioDeviceDrivesMixing(MixDueBlocksFunction mixDue) {
    audio.mixDue = mixDue;
    return true;
}

void PumpWebAudio() {
    if (!audio.open) return;
    // The context's clock only moves on; a reading never takes back what was counted.
    audio.playedFrames =
        std::max(audio.playedFrames, static_cast<uint64_t>(WebAudioPlayedFrames()));
    if (audio.mixDue) audio.mixDue();
    const uint64_t from =
        std::max(audio.scheduledFrames, audio.playedFrames + FramesIn(audio.rateHz, kGuardMs));
    const uint64_t to = audio.playedFrames + FramesIn(audio.rateHz, kLeadMs);
    if (to <= from) return;
    ScheduleWebAudio(audio.ring, audio.ringFrames, static_cast<double>(from),
                     static_cast<double>(to));
    audio.scheduledFrames = to;
}
