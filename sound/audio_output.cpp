#include "sound/audio_output.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "platform/audio_device.h"
#include "sound/file_hooks.h"
#include "sound/heard_position.h"
#include "sound/song_timing.h"
#include "sound/voice.h"

namespace {

constexpr int32_t kBlockMs = 20;
constexpr int32_t kDefaultBufferLengthMs = 200;
constexpr int32_t kFloatsPerFrame = 2;
constexpr size_t kMixBufferAlignBytes = 16;
constexpr size_t kMixBufferSlackBytes = 256;
constexpr auto kPollInterval = std::chrono::milliseconds(2);

struct Output {
    bool open = false;
    int32_t rateHz = 0;
    int32_t blockFrames = 0;  // B
    int32_t blockCount = 0;   // K
    int32_t ringFrames = 0;   // F = K x B
    int16_t* ring = nullptr;
    float* mixBuffer = nullptr;
    int32_t nextBlock = 0;
    std::thread thread;
    // Since the open: blocks mixed, and the device frame at which the last one plays (the next
    // plays right after it, unless the device went round the ring once more first).
    uint64_t blocksMixed = 0;
    uint64_t lastFirstFrame = 0;
};

Output output;
// Set by the main thread, read by the mixing thread once per block.
std::atomic<float> outputGain{1.0f};
int32_t bufferLengthMs = kDefaultBufferLengthMs;
std::atomic<bool> stopRequested{false};
std::mutex mixMutex;
ListNode playingSongs{&playingSongs, &playingSongs};
// Blocks the device met before they were mixed, since the open.
std::atomic<uint64_t> lateBlocks{0};
// What the device reported at the last close, for a report after it.
AudioDeviceGaps gapsAtClose{0, 0};
int32_t rateAtClose = 0;

// The tick length follows the rate (none while closed), and the device starts over or stops.
void RestartStartedSongs() {
    for (ListNode* node = playingSongs.next; node != &playingSongs; node = node->next) {
        Song* song = static_cast<Song*>(node);
        SetSongBpm(song, song->bpm);
        // The device starts over or stops: the sound of this start that was still in flight is
        // gone, and the Song goes on from where the mixing left it.
        song->quietPosition.store(MixedSongPosition(song), std::memory_order_release);
    }
}

void ReleaseBuffers() {
    delete[] output.ring;
    output.ring = nullptr;
    ::operator delete[](output.mixBuffer, std::align_val_t(kMixBufferAlignBytes));
    output.mixBuffer = nullptr;
    CloseHeardRecord();
}

// The device plays ring frame w x B next at the first count past `played` that lands on it; it
// cannot be on block w itself, which is not mixed while it plays.
uint64_t FirstFrameOfBlock(uint64_t played, int32_t w) {
    const uint64_t ringFrames = static_cast<uint64_t>(output.ringFrames);
    const uint64_t start = static_cast<uint64_t>(w) * output.blockFrames;
    const uint64_t intoRing = played % ringFrames;
    return played - intoRing + start + (start < intoRing ? ringFrames : 0);
}

// Renders ring block w: every started Song advances tick by tick, its tick routine called exactly
// when its frames to the next tick run out, also across block boundaries.
void MixBlock(int32_t w) {
    const int32_t blockFrames = output.blockFrames;
    float* block = output.mixBuffer + static_cast<size_t>(w) * blockFrames * kFloatsPerFrame;
    std::fill(block, block + blockFrames * kFloatsPerFrame, 0.0f);
    for (ListNode* node = playingSongs.next; node != &playingSongs; node = node->next) {
        Song* song = static_cast<Song*>(node);
        if (song->playing != 1) continue;
        int32_t left = song->samplesLeftInTick;
        int32_t done = 0;
        MarkHeard(song, 0);
        while (done < blockFrames) {
            if (left <= 0) {
                song->tickCallback(song);
                MarkHeard(song, done);
                left = song->samplesPerTick;
                // SetSongBpm never gives less than one frame; this only guards a hand-set value
                // from stalling the block for ever.
                if (left <= 0) left = blockFrames - done;
            }
            const int32_t n = std::min(left, blockFrames - done);
            MixVoices(block + static_cast<size_t>(done) * kFloatsPerFrame, VoiceList(), n);
            done += n;
            left -= n;
        }
        song->samplesLeftInTick = left;
    }
    const float gain = outputGain.load(std::memory_order_relaxed);
    if (gain != 1.0f) {
        for (float* at = block; at != block + blockFrames * kFloatsPerFrame; ++at) *at *= gain;
    }
    ConvertToPcm16(output.ring + static_cast<size_t>(w) * blockFrames * kFloatsPerFrame, block,
                   blockFrames);
}

// Mixes block `nextBlock` if the device has played it since it was last mixed. The device is
// playing block p. The mixing follows the device and never passes it (it stops at the block being
// played), so every other block has been played since it was last mixed. (A rule that also asks
// w to lie below p numerically, but for p = 1, stalls the mixing for a lap once it is two blocks
// behind across the ring's end, as a device that takes 2048 frames a callback leaves it, and the
// whole ring then plays a second time.)
bool MixDueBlock() {
    std::lock_guard<std::mutex> lock(mixMutex);
    if (!output.open) return false;
    const uint64_t frames = AudioDevicePlayedBytes() / kBytesPerStereoFrame;
    const int32_t p = static_cast<int32_t>(frames % output.ringFrames) / output.blockFrames;
    const int32_t w = output.nextBlock;
    if (w == p) return false;
    const uint64_t firstFrame = FirstFrameOfBlock(frames, w);
    // Blocks whose turn came while this thread did not run: the device played what the ring
    // held from a lap before.
    uint64_t late = 0;
    if (output.blocksMixed > 0 && firstFrame > output.lastFirstFrame + output.blockFrames) {
        late = (firstFrame - output.lastFirstFrame - output.blockFrames) / output.blockFrames;
    }
    output.lastFirstFrame = firstFrame;
    BeginHeardBlock(firstFrame);
    MixBlock(w);
    EndHeardBlock(output.ring + static_cast<size_t>(w) * output.blockFrames * kFloatsPerFrame,
                  output.blockFrames);
    ++output.blocksMixed;
    // The device began on this block while it was being written.
    if (AudioDevicePlayedBytes() / kBytesPerStereoFrame > firstFrame) ++late;
    if (late > 0) lateBlocks.fetch_add(late, std::memory_order_relaxed);
    output.nextBlock = w + 1 == output.blockCount ? 0 : w + 1;
    return true;
}

}  // namespace

std::mutex& MixMutex() { return mixMutex; }
ListNode* PlayingSongs() { return &playingSongs; }

bool SetBufferLength(int32_t ms) {
    ms = std::max(ms, kBlockMs);
    bufferLengthMs = ms - ms % kBlockMs;
    return true;
}

int32_t BufferLengthMs() { return bufferLengthMs; }

bool OpenAudioOutput(int32_t rateHz) {
    if (!FileHooksSet()) return false;
    CloseAudioOutput();
    // A process that exits without closing the output (a library calling exit() on a lost
    // display, say) must stop the mixing thread first: a running std::thread may not be
    // destroyed. Registered after `output` exists, so it runs before `output` is torn down.
    static const bool closesAtExit = std::atexit(CloseAudioOutput) == 0;
    (void)closesAtExit;
    if (rateHz < kMinOutputRateHz || rateHz > kMaxOutputRateHz) return false;
    outputGain.store(1.0f, std::memory_order_relaxed);

    std::lock_guard<std::mutex> lock(mixMutex);
    output.rateHz = rateHz;
    // 20 ms rounded up to a multiple of 4 frames: 884 at 44100 Hz.
    output.blockFrames = (rateHz * kBlockMs / 1000 + 3) / 4 * 4;
    output.blockCount = 2 * (bufferLengthMs / kBlockMs);
    output.ringFrames = output.blockCount * output.blockFrames;
    // The device restarts from the ring's start, so mixing restarts from block 0 whatever the
    // block count was before.
    output.nextBlock = 0;
    const size_t mixFloats = static_cast<size_t>(output.ringFrames) * kFloatsPerFrame +
                             kMixBufferSlackBytes / sizeof(float);
    output.mixBuffer = new (std::align_val_t(kMixBufferAlignBytes)) float[mixFloats]();
    output.ring = new int16_t[static_cast<size_t>(output.ringFrames) * kFloatsPerFrame]();
    CreateVoicePool(rateHz);

    if (!AudioDeviceOpen(rateHz, output.ring,
                         static_cast<uint32_t>(output.ringFrames) * kBytesPerStereoFrame)) {
        ReleaseVoicePool();
        ReleaseBuffers();
        output = Output{};
        return false;
    }
    // The block heard trails the newest mixed by up to the ring and what the device holds; one
    // entry more for the block being written, one for a reader that began a block earlier.
    const int32_t heldFrames = static_cast<int32_t>(AudioDeviceHeldBytes() / kBytesPerStereoFrame);
    OpenHeardRecord(output.blockCount + 2 +
                    (heldFrames + output.blockFrames - 1) / output.blockFrames);
    lateBlocks.store(0, std::memory_order_relaxed);
    gapsAtClose = AudioDeviceGaps{0, 0};
    output.open = true;
    RestartStartedSongs();
    stopRequested = false;
    if (!AudioDeviceDrivesMixing(MixDueBlocks)) output.thread = std::thread(MixingThread);
    return true;
}

int MixingThread() {
    RaiseThreadToTimeCritical();
    while (!stopRequested.load()) {
        MixDueBlock();
        std::this_thread::sleep_for(kPollInterval);
    }
    return 0;
}

void MixDueBlocks() {
    while (MixDueBlock()) {
    }
}

void CloseAudioOutput() {
    stopRequested = true;
    // Joined before the lock is taken: the thread takes the same lock for each block.
    if (output.thread.joinable()) output.thread.join();
    std::lock_guard<std::mutex> lock(mixMutex);
    if (output.open) {
        gapsAtClose = AudioDeviceDrySpells();
        rateAtClose = output.rateHz;
        AudioDeviceClose();
    }
    ReleaseVoicePool();
    ReleaseBuffers();
    output = Output{};
    RestartStartedSongs();
}

uint64_t OutputHeardFrames() {
    const uint64_t played = AudioDevicePlayedBytes() / kBytesPerStereoFrame;
    const uint64_t held = AudioDeviceHeldBytes() / kBytesPerStereoFrame;
    return played > held ? played - held : 0;
}

void RecordMixedBlock(const MixedBlockRecord& block) {
    std::lock_guard<std::mutex> lock(mixMutex);
    if (!output.open) return;
    const Song* started = nullptr;
    for (ListNode* node = playingSongs.next; node != &playingSongs && !started; node = node->next) {
        if (static_cast<Song*>(node)->playing == 1) started = static_cast<Song*>(node);
    }
    AddMixedBlock(block, started, output.blockFrames);
}

MissedSound OutputMissedSound() {
    std::lock_guard<std::mutex> lock(mixMutex);
    const AudioDeviceGaps gaps = output.open ? AudioDeviceDrySpells() : gapsAtClose;
    return {lateBlocks.load(std::memory_order_relaxed), gaps.spells, gaps.frames,
            output.open ? output.rateHz : rateAtClose};
}

int32_t OutputRateHz() { return output.rateHz; }

void SetOutputGain(float gain) { outputGain.store(gain, std::memory_order_relaxed); }
int32_t OutputBlockFrames() { return output.blockFrames; }
int32_t OutputBlockCount() { return output.blockCount; }
int32_t OutputRingFrames() { return output.ringFrames; }
int32_t OutputNextBlock() { return output.nextBlock; }
