#include "sound/heard_position.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "sound/audio_output.h"
#include "sound/song_timing.h"

namespace {

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
    // (startSerial << 32) | (frame offset in the block << 16) | song position, in frame order per
    // Song; a block is at most 3840 frames (20 ms at 192 kHz).
    std::atomic<uint64_t> marks[kMarksPerBlock];
};

struct HeardRecord {
    // One entry per block of the ring and a few more for those the device still holds or that
    // play while the next is written.
    HeardBlock* blocks = nullptr;
    int32_t entries = 0;
    uint64_t blocksMixed = 0;  // since the open; the block being written is entry blocksMixed
    int32_t marksInBlock = 0;
};

HeardRecord record;
// Blocks whole in the record since the open: what readers may look at.
std::atomic<uint64_t> blocksRecorded{0};
// The device frame at which the sound mixed so far ends: the end of the newest whole block.
std::atomic<uint64_t> mixedEndFrame{0};

static_assert(sizeof(MixedBlockRecord::marks) / sizeof(uint32_t) == kMarksPerBlock);

HeardBlock& BlockBeingMixed() { return record.blocks[record.blocksMixed % record.entries]; }

// The block being mixed is whole: its readers may take it from here.
void CloseBlockBeingMixed(uint32_t peak, int32_t frames) {
    HeardBlock& block = BlockBeingMixed();
    block.peak.store(peak, std::memory_order_release);
    block.markCount.store(static_cast<uint32_t>(record.marksInBlock), std::memory_order_release);
    block.stamp.store(2 * record.blocksMixed + 2, std::memory_order_release);
    ++record.blocksMixed;
    mixedEndFrame.store(block.firstFrame.load(std::memory_order_relaxed) + frames,
                        std::memory_order_release);
    blocksRecorded.store(record.blocksMixed, std::memory_order_release);
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
    const uint64_t entries = static_cast<uint64_t>(record.entries);
    const uint64_t whole = blocksRecorded.load(std::memory_order_acquire);
    // The oldest slot is the one the writer fills next, with a block far from being heard.
    const uint64_t oldest = whole >= entries ? whole - entries + 1 : 0;
    for (uint64_t n = whole; n-- > oldest;) {
        const HeardBlock& block = record.blocks[n % entries];
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

}  // namespace

void OpenHeardRecord(int32_t entries) {
    CloseHeardRecord();
    record.entries = entries;
    record.blocks = new HeardBlock[entries]();
    blocksRecorded.store(0, std::memory_order_release);
    mixedEndFrame.store(0, std::memory_order_release);
}

void CloseHeardRecord() {
    delete[] record.blocks;
    record = HeardRecord{};
}

void BeginHeardBlock(uint64_t firstFrame) {
    HeardBlock& block = BlockBeingMixed();
    block.stamp.store(2 * record.blocksMixed + 1, std::memory_order_relaxed);
    // Every field is stored with release so that none is seen ahead of the odd stamp.
    block.firstFrame.store(firstFrame, std::memory_order_release);
    record.marksInBlock = 0;
}

void MarkHeard(const Song* song, int32_t offset) {
    HeardBlock& block = BlockBeingMixed();
    const uint64_t serial = song->startSerial.load(std::memory_order_relaxed);
    int32_t slot = record.marksInBlock;
    if (slot == kMarksPerBlock) {
        // Only at tempos no score sets: the Song's latest position wins over its previous mark.
        --slot;
        if (block.marks[slot].load(std::memory_order_relaxed) >> 32 != serial) return;
    } else {
        ++record.marksInBlock;
    }
    const uint64_t mark =
        serial << 32 | static_cast<uint64_t>(offset) << 16 | MixedSongPosition(song);
    block.marks[slot].store(mark, std::memory_order_release);
}

void EndHeardBlock(const int16_t* pcm, int32_t frames) {
    CloseBlockBeingMixed(PeakOfBlock(pcm, frames), frames);
}

void AddMixedBlock(const MixedBlockRecord& mixed, const Song* started, int32_t frames) {
    BeginHeardBlock(mixed.firstFrame);
    HeardBlock& block = BlockBeingMixed();
    const uint32_t count = started ? std::min<uint32_t>(mixed.markCount, kMarksPerBlock) : 0;
    const uint64_t serial = started ? started->startSerial.load(std::memory_order_relaxed) : 0;
    for (uint32_t i = 0; i < count; ++i) {
        block.marks[i].store(serial << 32 | mixed.marks[i], std::memory_order_release);
    }
    record.marksInBlock = static_cast<int32_t>(count);
    CloseBlockBeingMixed(mixed.peak, frames);
}

uint64_t OutputBlocksRecorded() { return blocksRecorded.load(std::memory_order_acquire); }

bool CopyMixedBlock(uint64_t n, MixedBlockRecord* copy) {
    if (!record.blocks) return false;
    const uint64_t entries = static_cast<uint64_t>(record.entries);
    const uint64_t whole = blocksRecorded.load(std::memory_order_acquire);
    // The slot after the newest is the one the writer may be filling.
    if (n >= whole || n + entries <= whole) return false;
    const HeardBlock& block = record.blocks[n % entries];
    const uint64_t stamp = 2 * n + 2;
    if (block.stamp.load(std::memory_order_acquire) != stamp) return false;
    copy->firstFrame = block.firstFrame.load(std::memory_order_acquire);
    copy->peak = block.peak.load(std::memory_order_acquire);
    copy->markCount =
        std::min<uint32_t>(block.markCount.load(std::memory_order_acquire), kMarksPerBlock);
    // The serial stays behind: the copy stands for whichever start the reader's own output has.
    for (uint32_t i = 0; i < copy->markCount; ++i) {
        copy->marks[i] = static_cast<uint32_t>(block.marks[i].load(std::memory_order_acquire));
    }
    return block.stamp.load(std::memory_order_relaxed) == stamp;
}

bool FindHeardPosition(uint32_t startSerial, int32_t* order, int32_t* row) {
    if (!record.blocks) return false;
    for (int attempt = 0; attempt < kHeardReadAttempts; ++attempt) {
        const HeardSearch result = SearchHeard(startSerial, OutputHeardFrames(), order, row);
        if (result != HeardSearch::Overtaken) return result == HeardSearch::Found;
    }
    return false;
}

HeardPeak FindHeardPeak() {
    if (!record.blocks) return {0, 0};
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

HeardPosition GetHeardSongPosition(const Song* song) {
    if (!song) return {0, 0};
    const uint32_t serial = song->startSerial.load(std::memory_order_acquire);
    if (serial == 0) return {GetSongOrder(song), GetSongRow(song)};
    HeardPosition heard{};
    if (FindHeardPosition(serial, &heard.order, &heard.row)) return heard;
    const uint32_t quiet = song->quietPosition.load(std::memory_order_acquire);
    return {static_cast<int32_t>(quiet >> 8), static_cast<int32_t>(quiet & 0xFF)};
}
