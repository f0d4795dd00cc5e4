// The virtual audio device: its clock moves only when its caller says so, and every block that
// has become due is mixed, in the caller's thread, before AdvanceVirtualAudio returns. Two runs
// with the same calls produce the same bytes.
#pragma once

#include <cstdint>

// Counts `frames` more frames as played and mixes what became due. Nothing while closed.
void AdvanceVirtualAudio(uint32_t frames);
// The ring handed to the device at open and its size, for reading what was mixed; null and 0
// while closed.
const int16_t* VirtualAudioRing();
uint32_t VirtualAudioRingBytes();
int32_t VirtualAudioRateHz();
