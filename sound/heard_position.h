// The record of what each mixed block holds (where every started Song stood, frame by frame, and
// the block's peak), kept for as long as the output is open, and the questions it answers about
// the sound reaching the loudspeaker now.
#pragma once

#include <cstdint>

#include "sound/module.h"

// Where a Song stands in the sound reaching the loudspeaker now.
struct HeardPosition {
    int32_t order;
    int32_t row;
};

// The position of the sound being heard, which trails the position being mixed (GetSongOrder,
// GetSongRow) by about one ring: 0, 0 from StartSong until its first block is heard; where it
// stopped once the last block mixed before StopSong has played; where it stood while the output
// is closed. A Song never started is heard nowhere and answers its own order and row. Lock-free;
// call it on the thread that opens and closes the output. {0, 0} for null.
HeardPosition GetHeardSongPosition(const Song* song);

// Where the start `startSerial` of a Song stood in the sound reaching the loudspeaker now: true
// with its order and row (each below 256) when a block of that start is being heard, false when
// none is (nothing of it played yet, all of it played, or no output). Lock-free; read it on the
// thread that opens and closes the output, as the record lives from one to the other.
bool FindHeardPosition(uint32_t startSerial, int32_t* order, int32_t* row);

// The loudest value of each side, 0..32768, in the block being heard now; 0, 0 when none is (or
// no output). Lock-free, on the same thread as FindHeardPosition.
struct HeardPeak {
    int32_t left;
    int32_t right;
};
HeardPeak FindHeardPeak();
// The device frame at which the sound mixed so far will have played (the heard frames of
// OutputHeardFrames reach it then); 0 before the first block. Lock-free.
uint64_t OutputMixedEndFrame();

// One whole block of the record as another copy of the engine needs it: the device frame it
// begins at, its peak (left << 16 | right), and where the started Song stood from which frame on,
// (frame offset in the block << 16) | song position, in frame order.
struct MixedBlockRecord {
    uint64_t firstFrame;
    uint32_t peak;
    uint32_t markCount;
    uint32_t marks[8];
};
// Blocks whole in the record since the open. Lock-free.
uint64_t OutputBlocksRecorded();
// Copies block n (counted from the open) of the record: false when it is not whole or no longer
// kept. Lock-free, on the same thread as FindHeardPosition.
bool CopyMixedBlock(uint64_t n, MixedBlockRecord* block);

// The audio output's side, under the mix lock. The record holds `entries` blocks: the ring's,
// what the device still holds, and a few more for a reader that began a block earlier.
void OpenHeardRecord(int32_t entries);
void CloseHeardRecord();
// Block n of the output (counted since the open) begins to be mixed; it will play from device
// frame `firstFrame`.
void BeginHeardBlock(uint64_t firstFrame);
// The Song's position from frame `offset` of the block being mixed on.
void MarkHeard(const Song* song, int32_t offset);
// The block being mixed is whole: `frames` stereo frames of 16-bit PCM at `pcm`.
void EndHeardBlock(const int16_t* pcm, int32_t frames);
// A block mixed by another copy of the engine, `frames` long, added whole as the next one: its
// marks stand for the start of `started`, or are left out while no Song is started.
void AddMixedBlock(const MixedBlockRecord& block, const Song* started, int32_t frames);
