// The audio output: the device playing a looping ring of 20 ms blocks, and the mixing loop that
// refills each block right after the device has played it, advancing every started Song tick by
// tick on the way.
#pragma once

#include <cstdint>
#include <mutex>

#include "sound/module.h"

// The buffer length in milliseconds, rounded down to a multiple of 20 and at least 20; used by the
// next OpenAudioOutput, whose ring holds twice that (SetBufferLength(100) gives a 200 ms ring).
bool SetBufferLength(int32_t ms);
int32_t BufferLengthMs();
// The rates the output opens at; the lowest keeps a voice's step below 256 values per frame.
inline constexpr int32_t kMinOutputRateHz = 8000;
inline constexpr int32_t kMaxOutputRateHz = 192000;
// Opens the device at rateHz (kMinOutputRateHz..kMaxOutputRateHz), creates the voice pool and
// starts mixing. False without a complete FileHooks set, for a rate outside that range, or when
// the device fails.
bool OpenAudioOutput(int32_t rateHz);
// Scales everything mixed from the next block on (1 = as mixed; OpenAudioOutput sets 1): a live
// player's volume.
void SetOutputGain(float gain);
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

// Adds a block mixed elsewhere (MixedBlockRecord, sound/heard_position.h) to the record as the
// next one, its marks standing for the Song started here (none while none is); for an output
// whose device never calls for mixing, whose heard position then answers from these blocks as
// from its own. The page carries them from its sound worklet, whose copy of the engine mixes.
struct MixedBlockRecord;
void RecordMixedBlock(const MixedBlockRecord& block);

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
