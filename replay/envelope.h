// Volume and panning envelopes, stepped once per tick.
#pragma once

#include <cstdint>

struct Channel;
struct EnvelopePoint;
struct Instrument;

// One envelope's running state inside a Channel.
struct EnvelopeState {
    int32_t* tick;
    int32_t* point;   // index of the next point to reach
    int32_t* valueQ16;  // 16.16
    int32_t* output;  // 0..64
    int32_t* stepQ16;   // 16.16 per tick
    uint8_t* done;
};

struct EnvelopeShape {
    const EnvelopePoint* points;
    int32_t pointCount;
    int32_t sustain;
    int32_t loopStart;
    int32_t loopEnd;
    uint8_t type;  // bit 0 on, bit 1 sustain, bit 2 loop
};

EnvelopeState VolumeEnvelopeState(Channel* channel);
EnvelopeState PanningEnvelopeState(Channel* channel);
EnvelopeShape VolumeEnvelopeShape(const Instrument* instrument);
EnvelopeShape PanningEnvelopeShape(const Instrument* instrument);

// One tick of one envelope; sets `updateBit` in the Channel's updateFlags.
void StepEnvelope(Channel* channel, const EnvelopeState& state, const EnvelopeShape& shape,
                  uint8_t updateBit);
// Moves the volume envelope to tick `position` (effect L); only while the envelope is on.
void RepositionVolumeEnvelope(Channel* channel, const Instrument* instrument, int32_t position);
