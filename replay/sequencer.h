// The per-tick replay of a Song: on a row's first tick the row's cells are read and applied, on
// the other ticks the running effects go on; both then step envelopes and drive the Voices.
#pragma once

#include <cstdint>

struct Channel;
struct Instrument;
struct Sample;
struct Song;

// Shared all-zero Instrument for Channels whose instrument number the Song does not have.
extern const Instrument emptyInstrument;

// The Song's tick routine, run by the mixing loop once per tick.
void ReplayTick(Song* song);
void ProcessRow(Song* song);
void ProcessTickEffects(Song* song);
// Back to the Sample's volume and panning, envelopes and fadeout from the start, vibratos reset.
void ResetInstrumentState(Channel* channel, const Sample* sample);
