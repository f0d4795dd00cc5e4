#include "replay/sequencer.h"

#include <algorithm>

#include "replay/channel.h"
#include "replay/effect_commands.h"
#include "replay/envelope.h"
#include "replay/pitch.h"
#include "replay/voice_update.h"
#include "sound/module.h"

const Instrument emptyInstrument{};

namespace {

constexpr int32_t kFullFadeout = 65536;
constexpr int32_t kEnvelopeFull = 64;
constexpr int32_t kPanningEnvelopeCentre = 32;

// What a position without a Pattern plays: empty cells for every channel the Song can have.
const NoteCell kEmptyRow[kMaxChannels] = {};

bool IsNote(uint8_t noteByte) { return noteByte >= kNoteC0 && noteByte < kNoteC0 + kNoteCount; }

const Pattern* PatternAt(const Song* song, int32_t order) {
    const int32_t p = song->orderTable[order & (kOrderTableSize - 1)];
    if (!song->patterns || p >= song->patternSlots) return nullptr;
    return &song->patterns[p];
}

int32_t RowsAt(const Song* song, int32_t order) {
    const Pattern* pattern = PatternAt(song, order);
    return pattern ? pattern->rows : 64;
}

// The cells of the row being played, channelCount of them.
const NoteCell* CurrentRow(const Song* song) {
    const int32_t order = song->order.load(std::memory_order_relaxed);
    const int32_t row = song->row.load(std::memory_order_relaxed);
    const Pattern* pattern = PatternAt(song, order);
    if (!pattern || row < 0 || row >= pattern->rows) return kEmptyRow;
    return pattern->cells + static_cast<size_t>(row) * song->channelCount;
}

struct Selection {
    const Instrument* instrument;
    Sample* sample;
};

// The Instrument and Sample the Channel's instrument number and note select.
Selection Select(const Song* song, const Channel* ch) {
    if (ch->instrument >= song->instrumentCount) return {&emptyInstrument, &emptySample};
    const Instrument* instrument = &song->instruments[ch->instrument];
    const uint8_t k = instrument->sampleForNote[ch->note];
    return {instrument, k < kMaxSamplesPerInstrument ? instrument->samples[k] : &emptySample};
}

void StepEnvelopes(Channel* ch, const Instrument* instrument) {
    if ((instrument->volumeType & kEnvelopeOn) && !ch->volEnvDone) {
        StepEnvelope(ch, VolumeEnvelopeState(ch), VolumeEnvelopeShape(instrument), kUpdateVolume);
    }
    if ((instrument->panningType & kEnvelopeOn) && !ch->panEnvDone) {
        StepEnvelope(ch, PanningEnvelopeState(ch), PanningEnvelopeShape(instrument),
                     kUpdatePanning);
    }
}

void StepFadeout(Channel* ch, const Instrument* instrument) {
    ch->fadeoutVolumeQ16 = std::max(ch->fadeoutVolumeQ16 - instrument->fadeout, 0);
    ch->updateFlags |= kUpdateVolume;
}

void ProcessRowChannel(Song* song, Channel* ch, const NoteCell& cell, RowJumps* jumps) {
    // A tone portamento in the volume column slides like one in the effect column: the playing
    // note keeps its Sample and pitch and the new note only becomes the target. Beside a note
    // delay it cannot: the delayed note restarts its Sample, which must then be its own.
    const bool delayedNote = cell.effect == kEffectExtended &&
                             (cell.parameter >> 4) == kExtendedNoteDelay &&
                             (cell.parameter & 0x0F) != 0;
    const bool tonePortaRow = cell.effect == kEffectTonePorta ||
                              cell.effect == kEffectTonePortaVolumeSlide ||
                              ((cell.volume >> 4) == kVolumeTonePorta && !delayedNote);
    // Note bytes 97..254 name no note the instruments map; they are ignored.
    const bool hasNote = IsNote(cell.note);
    if (cell.instrument != 0 && !tonePortaRow) ch->instrument = cell.instrument - 1;
    if (hasNote && !tonePortaRow) ch->note = cell.note - kNoteC0;
    const Selection selected = Select(song, ch);

    EffectContext context{song, ch, &cell, selected.instrument, selected.sample, jumps,
                          ch->volume, ch->period, ch->panning};
    ch->volumeOffset = 0;
    ch->updateFlags = 0;
    if (hasNote) {
        ch->realNote = static_cast<uint8_t>(cell.note - kNoteC0 + selected.sample->relativeNote);
        ch->notePeriod = NotePeriod(song, ch->realNote, selected.sample->finetune);
        if (!tonePortaRow) ch->period = ch->notePeriod;
        ch->updateFlags = kUpdateTrigger;
    }
    ch->pitchOffset = 0;
    ch->updateFlags |= kUpdateFrequency | kUpdateVolume;
    if (cell.instrument != 0) ResetInstrumentState(ch, selected.sample);
    if (cell.volume != 0) ApplyVolumeColumn(ch, cell.volume);
    if (cell.note == kNoteKeyOff || cell.effect == kEffectKeyOff) ch->keyOff = 1;

    const Instrument* instrument = selected.instrument;
    StepEnvelopes(ch, instrument);
    // Without a volume envelope there is nothing to release into: key-off silences at once.
    if (!(instrument->volumeType & kEnvelopeOn) && ch->keyOff) ch->volEnvOutput = 0;
    if (ch->keyOff) StepFadeout(ch, instrument);

    EffectFirstTick(context);
    ApplyAutoVibrato(ch, instrument);
    UpdateVoice(ch, selected.sample, song);
}

void ProcessTickChannel(Song* song, Channel* ch, const NoteCell& cell) {
    const Selection selected = Select(song, ch);
    ch->volumeOffset = 0;
    ch->pitchOffset = 0;
    ch->updateFlags = 0;
    StepEnvelopes(ch, selected.instrument);
    if (ch->keyOff) StepFadeout(ch, selected.instrument);
    EffectContext context{song, ch, &cell, selected.instrument, selected.sample, nullptr,
                          ch->volume, ch->period, ch->panning};
    VolumeColumnOtherTick(context);
    EffectOtherTick(context);
    ApplyAutoVibrato(ch, selected.instrument);
    UpdateVoice(ch, selected.sample, song);
}

}  // namespace

void ResetInstrumentState(Channel* ch, const Sample* sample) {
    ch->volume = sample->volume;
    ch->panning = sample->panning;
    ch->volEnvOutput = kEnvelopeFull;
    ch->volEnvPoint = 0;
    ch->volEnvTick = 0;
    ch->volEnvStepQ16 = 0;
    ch->volEnvDone = 0;
    ch->panEnvOutput = kPanningEnvelopeCentre;
    ch->panEnvPoint = 0;
    ch->panEnvTick = 0;
    ch->panEnvStepQ16 = 0;
    ch->panEnvDone = 0;
    ch->keyOff = 0;
    ch->fadeoutVolumeQ16 = kFullFadeout;
    ch->autoVibratoSweepCount = 0;
    ch->autoVibratoPosition = 0;
    // A waveform of 4 or more asks for the vibrato phase to run on across notes.
    if ((ch->waveControl & 0x0F) < 4) ch->vibratoPosition = 0;
    ch->tremorCount = 0;
    ch->updateFlags |= kUpdateVolume | kUpdatePanning;
}

void ProcessRow(Song* song) {
    song->nextOrder = -1;
    song->nextRow = -1;
    RowJumps jumps{false, -1};
    if (song->channelCount <= 0 || !song->channels) return;
    const NoteCell* cells = CurrentRow(song);
    for (int32_t c = 0; c < song->channelCount; ++c) {
        ProcessRowChannel(song, &song->channels[c], cells[c], &jumps);
    }
    // A pattern loop goes back within the same Pattern, unless a jump or break on the row
    // already chose where to go.
    if (jumps.loopTarget >= 0 && song->nextRow == -1) song->nextRow = jumps.loopTarget;
}

void ProcessTickEffects(Song* song) {
    if (song->channelCount <= 0 || !song->channels) return;
    const NoteCell* cells = CurrentRow(song);
    for (int32_t c = 0; c < song->channelCount; ++c) {
        ProcessTickChannel(song, &song->channels[c], cells[c]);
    }
}

void ReplayTick(Song* song) {
    if (song->tick != 0) {
        ProcessTickEffects(song);
    } else {
        int32_t order = song->order.load(std::memory_order_relaxed);
        int32_t row = song->row.load(std::memory_order_relaxed);
        if (song->nextOrder >= 0) order = song->nextOrder;
        if (song->nextRow >= 0) row = song->nextRow;
        // A break into a shorter Pattern, or a loop start left over from another Pattern, may
        // name a row that does not exist: the Pattern then starts from its top.
        if (row >= RowsAt(song, order)) row = 0;
        song->order.store(order, std::memory_order_relaxed);
        song->row.store(row, std::memory_order_relaxed);

        ProcessRow(song);

        if (song->nextRow == -1) {
            song->nextRow = row + 1;
            if (song->nextRow >= RowsAt(song, order)) {
                song->nextOrder = order + 1;
                if (song->nextOrder >= song->songLength) {
                    // A restart position outside the order list starts the song over.
                    song->nextOrder =
                        song->restartPosition < song->songLength ? song->restartPosition : 0;
                }
                song->nextRow = 0;
            }
        }
    }
    song->tick += 1;
    if (song->tick >= song->speed + song->patternDelay) {
        song->patternDelay = 0;
        song->tick = 0;
    }
}
