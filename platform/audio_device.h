// The audio device as the sound engine relies on it: one ring of 16-bit stereo PCM played from its
// start in an endless loop, and a count of the bytes played so far. The implementation is chosen
// at link time: SDL2 for the demo (platform), a virtual device for tests and tools
// (platform_headless), the page's AudioContext (platform_web).
#pragma once

#include <cstdint>

// One frame of the ring: a 16-bit left value, then a 16-bit right one.
constexpr uint32_t kBytesPerStereoFrame = 4;

using MixDueBlocksFunction = void (*)();

// Starts playing `ring` (ringBytes bytes, 4 per frame, left first) at rateHz over and over. False
// when the device does not open; nothing is then open.
bool AudioDeviceOpen(int32_t rateHz, const int16_t* ring, uint32_t ringBytes);
// Bytes played since the open, counting on across loops of the ring.
uint64_t AudioDevicePlayedBytes();
// Of the bytes counted as played, how many the device still holds on their way to the
// loudspeaker, as closely as it can tell; 0 while closed.
uint32_t AudioDeviceHeldBytes();
// Spells since the open in which the device ran out of sound and played silence instead (the
// sound going on late by as much), and their frames, as closely as it can tell; 0 for a device
// that cannot run dry (the virtual one) or while closed.
struct AudioDeviceGaps {
    uint32_t spells;
    uint64_t frames;
};
AudioDeviceGaps AudioDeviceDrySpells();
// Stops playback and releases the device; nothing happens when none is open.
void AudioDeviceClose();
// Who runs the mixing loop: true when the device calls `mixDue` itself whenever its clock moves
// (the virtual device, in the thread that moves it); false when the output must start its own
// mixing thread (a real device).
bool AudioDeviceDrivesMixing(MixDueBlocksFunction mixDue);
// Asks that the calling thread (the mixing thread) run at real-time priority. Desktop sessions
// mostly lack the privilege; a refusal leaves the thread at normal priority, which the ring's
// length covers. Nothing on a platform without threads.
void RaiseThreadToTimeCritical();
