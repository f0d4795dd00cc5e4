// Hands what changed in a Channel this tick to its Voice.
#pragma once

#include <cstdint>

struct Channel;
struct Sample;
struct Song;

// (volume + volumeOffset) x envelope x fadeout x global volume, scaled to the Voice's 0..127.
int32_t FinalVolume(const Channel* channel, const Song* song);
// The panning with the panning envelope's shift, quantised to its reach at that panning.
int32_t FinalPanning(const Channel* channel);
// Performs the Channel's update bits on its Voice: trigger, volume, panning, frequency, stop.
void UpdateVoice(Channel* channel, const Sample* sample, const Song* song);
