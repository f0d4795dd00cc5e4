#include <SDL.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <cstring>

#include "platform/audio_device.h"
#include "platform/supply_watch.h"

namespace {

// SDL asks PulseAudio for one buffer of latency: with 512 frames (11.6 ms) the server held about
// 6 ms, and two or three busy processes on two cores made the callback miss it, a gap of silence
// with the song going on late. 2048 frames (46 ms) is still well inside the ring's lead (the
// mixing thread keeps 180 ms ahead) and adds a latency the heard position accounts for.
constexpr int32_t kBufferMilliseconds = 40;
// Callbacks before the lag of the frames behind the clock is trusted.
constexpr int64_t kWarmUpBuffers = 4;

// Written only while no device is open (or the callback is paused/closed), read by the callback.
const uint8_t* ringData = nullptr;
uint32_t ringSize = 0;
SDL_AudioDeviceID device = 0;

// The callback is the only writer while a device is open; the mixer thread reads it to decide
// which blocks of the ring are free to overwrite, so the store publishes the copy before it.
std::atomic<uint64_t> playedBytes{0};
// One device buffer of the obtained spec. Between the callback and the loudspeaker SDL keeps the
// buffer the callback has just filled, which plays after what the device already has; the driver's
// own queue beyond it is not reported by SDL, so this is the least the sound trails the count by.
std::atomic<uint32_t> heldBytes{0};

// The callback's own: the clock of its first call and the watch over the supply.
using Clock = std::chrono::steady_clock;
Clock::time_point firstCallback;
SupplyWatch supply;
int32_t deviceRateHz = 0;
// What it found, for any thread.
std::atomic<uint32_t> drySpells{0};
std::atomic<uint64_t> dryFrames{0};

// The smallest power of two covering kBufferMilliseconds: SDL and most backends want power-of-two
// periods, and rounding up keeps the callback rate low enough not to starve at small rates.
Uint16 BufferFrames(int32_t rateHz) {
    const int32_t wanted = rateHz * kBufferMilliseconds / 1000;
    int32_t frames = 64;
    while (frames < wanted && frames < 32768) frames *= 2;
    return static_cast<Uint16>(frames);
}

// SDL gives its audio thread the highest ordinary priority at most, which two or three busy
// processes on two cores still keep from the callback long enough for the sound server to run
// dry. Where the system grants it (root, or a real-time limit), the thread runs real-time, one
// step below the mixing thread that feeds it; the callback only copies, so it can never hog a
// core. A refusal leaves it as SDL set it.
void RaiseCallbackThread() {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO) - 1;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

// Runs on SDL's audio thread. It takes no lock of ours so the mixer can never stall playback;
// the mixer only rewrites blocks the count shows as already copied here.
void SDLCALL FillFromRing(void*, Uint8* stream, int len) {
    const uint64_t played = playedBytes.load(std::memory_order_relaxed);
    const Clock::time_point now = Clock::now();
    if (played == 0) {
        firstCallback = now;
        RaiseCallbackThread();
    }
    const int64_t elapsedFrames = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                      now - firstCallback)
                                      .count() *
                                  deviceRateHz / 1000000000;
    if (NoteSupply(&supply, elapsedFrames, static_cast<int64_t>(played / kBytesPerStereoFrame))) {
        drySpells.store(supply.drySpells, std::memory_order_relaxed);
        dryFrames.store(static_cast<uint64_t>(supply.dryFrames), std::memory_order_relaxed);
    }
    uint32_t cursor = static_cast<uint32_t>(played % ringSize);
    uint32_t left = static_cast<uint32_t>(len);
    while (left > 0) {
        const uint32_t chunk = left < ringSize - cursor ? left : ringSize - cursor;
        std::memcpy(stream, ringData + cursor, chunk);
        stream += chunk;
        left -= chunk;
        cursor = 0;
    }
    playedBytes.store(played + static_cast<uint32_t>(len), std::memory_order_release);
}

}  // namespace

bool AudioDeviceOpen(int32_t rateHz, const int16_t* ring, uint32_t ringBytes) {
    AudioDeviceClose();
    // A partial frame in the ring would swap left and right on every other loop.
    if (rateHz <= 0 || !ring || ringBytes < kBytesPerStereoFrame ||
        ringBytes % kBytesPerStereoFrame != 0) {
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;

    ringData = reinterpret_cast<const uint8_t*>(ring);
    ringSize = ringBytes;
    playedBytes.store(0, std::memory_order_relaxed);

    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = rateHz;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = BufferFrames(rateHz);
    want.callback = FillFromRing;
    // No allowed changes: the callback's byte count then always means our frame layout, and SDL
    // converts to whatever the hardware takes.
    SDL_AudioSpec have;
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        ringData = nullptr;
        ringSize = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    heldBytes.store(static_cast<uint32_t>(have.samples) * kBytesPerStereoFrame,
                    std::memory_order_relaxed);
    // Set before the device starts, read only by the callback from then on.
    deviceRateHz = have.freq;
    supply = SupplyWatch{};
    supply.thresholdFrames = have.samples;
    supply.warmUpFrames = kWarmUpBuffers * have.samples;
    drySpells.store(0, std::memory_order_relaxed);
    dryFrames.store(0, std::memory_order_relaxed);
    SDL_PauseAudioDevice(device, 0);
    return true;
}

uint64_t AudioDevicePlayedBytes() { return playedBytes.load(std::memory_order_acquire); }
uint32_t AudioDeviceHeldBytes() { return heldBytes.load(std::memory_order_relaxed); }
AudioDeviceGaps AudioDeviceDrySpells() {
    return {drySpells.load(std::memory_order_relaxed), dryFrames.load(std::memory_order_relaxed)};
}

void AudioDeviceClose() {
    if (device == 0) return;
    // Returns only once the callback has finished for good, so the ring may be dropped after it.
    SDL_CloseAudioDevice(device);
    device = 0;
    ringData = nullptr;
    ringSize = 0;
    playedBytes.store(0, std::memory_order_release);
    heldBytes.store(0, std::memory_order_relaxed);
    drySpells.store(0, std::memory_order_relaxed);
    dryFrames.store(0, std::memory_order_relaxed);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool AudioDeviceDrivesMixing(MixDueBlocksFunction) { return false; }
