// The audio output: the device playing a looping ring of 20 ms blocks, and the mixing loop that
// refills each block right after the device has played it, advancing every started Song tick by
// tick on the way.
#pragma once

#include <cstdint>
#include <mutex>

#include "sound/module.h"

// Milliseconds of ring, a multiple of 20 and at least 20; used by the next OpenAudioOutput.
bool SetBufferLength(int32_t ms);
int32_t BufferLengthMs();
// Opens the device at rateHz (8000..192000), creates the voice pool and starts mixing. False
// without a complete FileHooks set, for a rate outside that range, or when the device fails.
bool OpenAudioOutput(int32_t rateHz);
// Stops mixing and releases the device, the voice pool and the buffers; safe when nothing is open.
void CloseAudioOutput();
// The mixing thread's routine: polls the device every 2 ms until the output closes.
int MixingThread();
// Mixes every block that the device has finished playing; the loop body of the mixing thread and
// the virtual device's callback.
void MixDueBlocks();

// Output geometry while open; 0 while closed.
int32_t OutputRateHz();
int32_t OutputBlockFrames();
int32_t OutputBlockCount();
int32_t OutputRingFrames();
// Index of the next ring block to mix.
int32_t OutputNextBlock();

// The sound reaching the loudspeaker now, in device frames: the device's play count less what it
// still holds on the way there; never below 0.
uint64_t OutputHeardFrames();
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

// What the sound missed since the open: blocks mixed too late for the device (it began to play
// one before it was whole, or played a whole lap of the ring before the next was mixed), and the
// spells in which the device itself ran dry (silence, with the song going on late), with their
// length. Kept after the close until the next open, so that a program can report them at its end.
struct MissedSound {
    uint64_t lateBlocks;
    uint32_t deviceDrySpells;
    uint64_t deviceDryFrames;
    int32_t rateHz;  // of those frames
};
MissedSound OutputMissedSound();

// The started Songs, in start order.
ListNode* PlayingSongs();

// Held by the mixing loop for the whole of each block, and by every main-thread operation that
// frees or relinks what the loop reads (songs, samples, voices, the output itself).
std::mutex& MixMutex();
