// The volume column and the effect column: what each does on a row's first tick and on the
// row's other ticks.
#pragma once

#include <cstdint>

struct Channel;
struct Instrument;
struct NoteCell;
struct Sample;
struct Song;

// Position changes collected while one row is processed; they live for that pass only.
struct RowJumps {
    bool jumped;         // a position jump (B) came first on this row
    int32_t loopTarget;  // row a pattern loop (E6y) jumps back to, or -1
};

// Everything an effect may touch while one channel of one tick is processed.
struct EffectContext {
    Song* song;
    Channel* channel;
    const NoteCell* cell;
    const Instrument* instrument;
    Sample* sample;  // selected for the row; effect E5y changes its finetune
    RowJumps* jumps; // null on the other ticks
    // The Channel's volume, period and panning before the row's note, instrument and volume
    // column touched them (the note delay goes back to them).
    int32_t volumeBeforeRow;
    int32_t periodBeforeRow;
    int32_t panningBeforeRow;
};

// The first-tick part of a nonzero volume-column byte; also the note delay's, when it fires.
void ApplyVolumeColumn(Channel* channel, uint8_t volumeColumn);
// The continuing part of the volume-column byte on the other ticks.
void VolumeColumnOtherTick(EffectContext& context);
void EffectFirstTick(EffectContext& context);
void EffectOtherTick(EffectContext& context);

void TonePortamentoStep(Channel* channel);
void StepTremor(Channel* channel);
