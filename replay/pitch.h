// Periods, frequencies and the two vibratos.
#pragma once

#include <cstdint>

struct Channel;
struct Instrument;
struct Song;

// Periods are kept inside this bound whatever the slides do: no real note comes near it, and the
// frequency formulas stay free of overflow.
constexpr int32_t kPeriodLimit = 1 << 24;

// 7680 - 64 n - finetune / 2: 64 units per semitone, note 48 (C-4) at 4608.
int32_t LinearPeriodForNote(int32_t note, int32_t finetune);
// The Amiga table's period for a 0-based note, with finetune in 128ths of a semitone step.
int32_t AmigaPeriodForNote(int32_t note, int32_t finetune);
// The period of a note in the Song's table.
int32_t NotePeriod(const Song* song, int32_t note, int32_t finetune);
// The playback rate in Hz for a period and a pitch offset whose sum is not 0. A positive offset
// raises the pitch in the linear table and lowers it in the Amiga table.
int32_t FrequencyForPeriod(const Song* song, int32_t period, int32_t pitchOffset);
// Adds to the Channel's period, saturating at kPeriodLimit.
void AddToPeriod(Channel* channel, int64_t delta);

// Replaces pitchOffset with the vibrato at the Channel's phase; sets the frequency bit.
void ApplyVibrato(Channel* channel);
// Moves the vibrato phase on by its speed, within -32..31.
void AdvanceVibratoPhase(Channel* channel);
// Adds the Instrument's auto-vibrato to pitchOffset and moves its phase and sweep on.
void ApplyAutoVibrato(Channel* channel, const Instrument* instrument);
