#include "sound/audio_output.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "platform/audio_device.h"
#include "replay/channel.h"
#include "sound/file_hooks.h"
#include "sound/song_control.h"
#include "sound/voice.h"

namespace {

constexpr int32_t kBlockMs = 20;
constexpr int32_t kDefaultBufferLengthMs = 200;
constexpr int32_t kMinRateHz = 8000;     // keeps a voice's step below 256 values per frame
constexpr int32_t kMaxRateHz = 192000;
constexpr uint32_t kBytesPerFrame = 4;  // 16-bit stereo
constexpr int32_t kFloatsPerFrame = 2;
constexpr size_t kMixBufferAlignBytes = 16;
constexpr size_t kMixBufferSlackBytes = 256;
constexpr auto kPollInterval = std::chrono::milliseconds(2);
// A block holds at most three tick boundaries at any tempo a score can set (255 BPM and below), so
// eight marks leave room for a start mark and a second started Song.
constexpr int32_t kMarksPerBlock = 8;
// A reader overtaken by the writer this often in one call gives up rather than wait on it.
constexpr int kHeardReadAttempts = 3;

// Where each started Song stood, frame by frame, in one mixed block, and the device frame at which
// that block begins to play. A seqlock in atomics: one writer (the mixing loop, under the mix
// lock) and readers that take no lock.
struct HeardBlock {
    // 2n + 1 while block n of the output is written, 2n + 2 once it is whole; a reader that finds
    // any other value, before or after its copy, met a block rewritten under it.
    std::atomic<uint64_t> stamp;
    std::atomic<uint64_t> firstFrame;
    std::atomic<uint32_t> markCount;
    // The loudest value of each side in the block, 0..32768: left << 16 | right.
    std::atomic<uint32_t> peak;
    // (startSerial << 32) | (frame offset in the block << 16) | (order << 8) | row, in frame order
    // per Song; a block is at most 3840 frames (20 ms at 192 kHz).
    std::atomic<uint64_t> marks[kMarksPerBlock];
};

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
    // The record of what each mixed block holds, one entry per block of the ring and a few more
    // for those the device still holds or that play while the next is written.
    HeardBlock* heard = nullptr;
    int32_t heardEntries = 0;
    uint64_t blocksMixed = 0;  // since the open; the block being written is entry blocksMixed
    int32_t marksInBlock = 0;
    // The device frame at which the last mixed block plays: the next plays right after it, unless
    // the device went round the ring once more first.
    uint64_t lastFirstFrame = 0;
};

Output output;
int32_t bufferLengthMs = kDefaultBufferLengthMs;
std::atomic<bool> stopRequested{false};
std::mutex mixMutex;
ListNode playingSongs{&playingSongs, &playingSongs};
// Blocks whole in the record since the open: what readers may look at.
std::atomic<uint64_t> blocksRecorded{0};
// The device frame at which the sound mixed so far ends: the end of the newest whole block.
std::atomic<uint64_t> mixedEndFrame{0};
// Blocks the device met before they were mixed, since the open.
std::atomic<uint64_t> lateBlocks{0};
// What the device reported at the last close, for a report after it.
AudioDeviceGaps gapsAtClose{0, 0};
int32_t rateAtClose = 0;

uint32_t PackedPosition(const Song* song) {
    return (static_cast<uint32_t>(song->order.load(std::memory_order_relaxed)) & 0xFF) << 8 |
           (static_cast<uint32_t>(song->row.load(std::memory_order_relaxed)) & 0xFF);
}

// Points every started Song's Channels at the current pool, or at nothing while none exists, so
// that no Channel keeps the address of a released Voice.
void RebindStartedSongs() {
    Voice* pool = VoicePool();
    for (ListNode* node = playingSongs.next; node != &playingSongs; node = node->next) {
        Song* song = static_cast<Song*>(node);
        SetSongBpm(song, song->bpm);
        // The device starts over or stops: the sound of this start that was still in flight is
        // gone, and the Song goes on from where the mixing left it.
        song->quietPosition.store(PackedPosition(song), std::memory_order_release);
        if (!song->channels) continue;
        for (int32_t i = 0; i < song->channelCount; ++i) {
            song->channels[i].voice = pool ? &pool[i] : nullptr;
            song->channels[i].voiceIndex = i;
        }
    }
}

void ReleaseBuffers() {
    delete[] output.ring;
    output.ring = nullptr;
    ::operator delete[](output.mixBuffer, std::align_val_t(kMixBufferAlignBytes));
    output.mixBuffer = nullptr;
    delete[] output.heard;
    output.heard = nullptr;
}

HeardBlock& BlockBeingMixed() { return output.heard[output.blocksMixed % output.heardEntries]; }

void BeginHeardBlock(uint64_t firstFrame) {
    HeardBlock& block = BlockBeingMixed();
    block.stamp.store(2 * output.blocksMixed + 1, std::memory_order_relaxed);
    // Every field is stored with release so that none is seen ahead of the odd stamp.
    block.firstFrame.store(firstFrame, std::memory_order_release);
    output.marksInBlock = 0;
}

// The Song's position from `offset` on in the block being mixed.
void MarkHeard(const Song* song, int32_t offset) {
    HeardBlock& block = BlockBeingMixed();
    const uint64_t serial = song->startSerial.load(std::memory_order_relaxed);
    int32_t slot = output.marksInBlock;
    if (slot == kMarksPerBlock) {
        // Only at tempos no score sets: the Song's latest position wins over its previous mark.
        --slot;
        if (block.marks[slot].load(std::memory_order_relaxed) >> 32 != serial) return;
    } else {
        ++output.marksInBlock;
    }
    const uint64_t mark = serial << 32 | static_cast<uint64_t>(offset) << 16 | PackedPosition(song);
    block.marks[slot].store(mark, std::memory_order_release);
}

// |-32768| is 32768, which still fits the 16 bits a side has in the packed peak.
uint32_t PeakOfBlock(const int16_t* pcm, int32_t frames) {
    int32_t left = 0;
    int32_t right = 0;
    for (int32_t i = 0; i < frames; ++i) {
        left = std::max(left, std::abs(static_cast<int32_t>(pcm[2 * i])));
        right = std::max(right, std::abs(static_cast<int32_t>(pcm[2 * i + 1])));
    }
    return static_cast<uint32_t>(left) << 16 | static_cast<uint32_t>(right);
}

void EndHeardBlock(int32_t w) {
    HeardBlock& block = BlockBeingMixed();
    const int16_t* pcm = output.ring + static_cast<size_t>(w) * output.blockFrames * 2;
    block.peak.store(PeakOfBlock(pcm, output.blockFrames), std::memory_order_release);
    block.markCount.store(static_cast<uint32_t>(output.marksInBlock), std::memory_order_release);
    block.stamp.store(2 * output.blocksMixed + 2, std::memory_order_release);
    ++output.blocksMixed;
    mixedEndFrame.store(block.firstFrame.load(std::memory_order_relaxed) + output.blockFrames,
                        std::memory_order_release);
    blocksRecorded.store(output.blocksMixed, std::memory_order_release);
}

// The device plays ring frame w x B next at the first count past `played` that lands on it; it
// cannot be on block w itself, which is not mixed while it plays.
uint64_t FirstFrameOfBlock(uint64_t played, int32_t w) {
    const uint64_t ringFrames = static_cast<uint64_t>(output.ringFrames);
    const uint64_t start = static_cast<uint64_t>(w) * output.blockFrames;
    const uint64_t intoRing = played % ringFrames;
    return played - intoRing + start + (start < intoRing ? ringFrames : 0);
}

enum class HeardSearch : uint8_t { Found, NotHeard, Overtaken };

// One block of the record as read in one consistent pass.
struct HeardCopy {
    uint64_t firstFrame;
    uint32_t peak;
    uint32_t markCount;
    uint64_t marks[kMarksPerBlock];
};

// Copies the newest whole block that has begun to play by `heardFrame`: Found, NotHeard when none
// has, Overtaken when the writer rewrote a block under the read.
HeardSearch CopyHeardBlock(uint64_t heardFrame, HeardCopy* copy) {
    const uint64_t entries = static_cast<uint64_t>(output.heardEntries);
    const uint64_t whole = blocksRecorded.load(std::memory_order_acquire);
    // The oldest slot is the one the writer fills next, with a block far from being heard.
    const uint64_t oldest = whole >= entries ? whole - entries + 1 : 0;
    for (uint64_t n = whole; n-- > oldest;) {
        const HeardBlock& block = output.heard[n % entries];
        const uint64_t stamp = 2 * n + 2;
        if (block.stamp.load(std::memory_order_acquire) != stamp) return HeardSearch::Overtaken;
        copy->firstFrame = block.firstFrame.load(std::memory_order_acquire);
        copy->peak = block.peak.load(std::memory_order_acquire);
        copy->markCount =
            std::min<uint32_t>(block.markCount.load(std::memory_order_acquire), kMarksPerBlock);
        for (uint32_t i = 0; i < copy->markCount; ++i) {
            copy->marks[i] = block.marks[i].load(std::memory_order_acquire);
        }
        if (block.stamp.load(std::memory_order_relaxed) != stamp) return HeardSearch::Overtaken;
        if (copy->firstFrame <= heardFrame) return HeardSearch::Found;
    }
    return HeardSearch::NotHeard;
}

HeardSearch SearchHeard(uint32_t startSerial, uint64_t heardFrame, int32_t* order, int32_t* row) {
    HeardCopy copy;
    const HeardSearch found = CopyHeardBlock(heardFrame, &copy);
    if (found != HeardSearch::Found) return found;
    // The Song stands at its last mark at or before the frame heard, or is not in the block at
    // all.
    HeardSearch result = HeardSearch::NotHeard;
    for (uint32_t i = 0; i < copy.markCount; ++i) {
        const uint64_t mark = copy.marks[i];
        if (mark >> 32 != startSerial) continue;
        if (((mark >> 16) & 0xFFFF) > heardFrame - copy.firstFrame) break;
        *order = static_cast<int32_t>((mark >> 8) & 0xFF);
        *row = static_cast<int32_t>(mark & 0xFF);
        result = HeardSearch::Found;
    }
    return result;
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
    const uint64_t frames = AudioDevicePlayedBytes() / kBytesPerFrame;
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
    EndHeardBlock(w);
    // The device began on this block while it was being written.
    if (AudioDevicePlayedBytes() / kBytesPerFrame > firstFrame) ++late;
    if (late > 0) lateBlocks.fetch_add(late, std::memory_order_relaxed);
    output.nextBlock = w + 1 == output.blockCount ? 0 : w + 1;
    return true;
}

void RaiseToTimeCritical() {
    // Real-time scheduling needs a privilege most desktop sessions lack; a refusal leaves the
    // thread at normal priority, which the ring's length covers.
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
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
    if (rateHz < kMinRateHz || rateHz > kMaxRateHz) return false;

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
                         static_cast<uint32_t>(output.ringFrames) * kBytesPerFrame)) {
        ReleaseVoicePool();
        ReleaseBuffers();
        output = Output{};
        return false;
    }
    // The block heard trails the newest mixed by up to the ring and what the device holds; one
    // entry more for the block being written, one for a reader that began a block earlier.
    const int32_t heldFrames = static_cast<int32_t>(AudioDeviceHeldBytes() / kBytesPerFrame);
    output.heardEntries =
        output.blockCount + 2 + (heldFrames + output.blockFrames - 1) / output.blockFrames;
    output.heard = new HeardBlock[output.heardEntries]();
    blocksRecorded.store(0, std::memory_order_release);
    mixedEndFrame.store(0, std::memory_order_release);
    lateBlocks.store(0, std::memory_order_relaxed);
    gapsAtClose = AudioDeviceGaps{0, 0};
    output.open = true;
    RebindStartedSongs();
    stopRequested = false;
    if (!AudioDeviceDrivesMixing(MixDueBlocks)) output.thread = std::thread(MixingThread);
    return true;
}

int MixingThread() {
    RaiseToTimeCritical();
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
    RebindStartedSongs();
}

uint64_t OutputHeardFrames() {
    const uint64_t played = AudioDevicePlayedBytes() / kBytesPerFrame;
    const uint64_t held = AudioDeviceHeldBytes() / kBytesPerFrame;
    return played > held ? played - held : 0;
}

bool FindHeardPosition(uint32_t startSerial, int32_t* order, int32_t* row) {
    if (!output.heard) return false;
    for (int attempt = 0; attempt < kHeardReadAttempts; ++attempt) {
        const HeardSearch result = SearchHeard(startSerial, OutputHeardFrames(), order, row);
        if (result != HeardSearch::Overtaken) return result == HeardSearch::Found;
    }
    return false;
}

HeardPeak FindHeardPeak() {
    if (!output.heard) return {0, 0};
    HeardCopy copy;
    for (int attempt = 0; attempt < kHeardReadAttempts; ++attempt) {
        const HeardSearch result = CopyHeardBlock(OutputHeardFrames(), &copy);
        if (result == HeardSearch::NotHeard) break;
        if (result == HeardSearch::Found) {
            return {static_cast<int32_t>(copy.peak >> 16),
                    static_cast<int32_t>(copy.peak & 0xFFFF)};
        }
    }
    return {0, 0};
}

uint64_t OutputMixedEndFrame() { return mixedEndFrame.load(std::memory_order_acquire); }

MissedSound OutputMissedSound() {
    std::lock_guard<std::mutex> lock(mixMutex);
    const AudioDeviceGaps gaps = output.open ? AudioDeviceDrySpells() : gapsAtClose;
    return {lateBlocks.load(std::memory_order_relaxed), gaps.spells, gaps.frames,
            output.open ? output.rateHz : rateAtClose};
}

int32_t OutputRateHz() { return output.rateHz; }
int32_t OutputBlockFrames() { return output.blockFrames; }
int32_t OutputBlockCount() { return output.blockCount; }
int32_t OutputRingFrames() { return output.ringFrames; }
int32_t OutputNextBlock() { return output.nextBlock; }
