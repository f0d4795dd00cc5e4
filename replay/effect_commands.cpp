#include "replay/effect_commands.h"

#include <algorithm>
#include <cstddef>

#include "replay/channel.h"
#include "replay/envelope.h"
#include "replay/pitch.h"
#include "replay/sequencer.h"
#include "replay/song_control.h"
#include "sound/module.h"
#include "sound/voice.h"

namespace {

constexpr int32_t kMaxVolume = 64;
constexpr int32_t kMaxPanning = 255;
constexpr int32_t kMinPortaUpPeriod = 56;

int32_t ClampVolume(int32_t v) { return std::clamp(v, 0, kMaxVolume); }
int32_t ClampPanning(int32_t p) { return std::clamp(p, 0, kMaxPanning); }

uint8_t Parameter(const EffectContext& c) { return c.cell->parameter; }
int32_t HighNibble(const EffectContext& c) { return c.cell->parameter >> 4; }
int32_t LowNibble(const EffectContext& c) { return c.cell->parameter & 0x0F; }
int32_t Tick(const EffectContext& c) { return c.song->tick; }

void ChangeVolume(Channel* ch, int32_t delta) {
    ch->volume = ClampVolume(ch->volume + delta);
    ch->updateFlags |= kUpdateVolume;
}

void ChangePanning(Channel* ch, int32_t delta) {
    ch->panning = ClampPanning(ch->panning + delta);
    ch->updateFlags |= kUpdatePanning;
}

// Effects A, 5 and 6 share one memory; a parameter with both nibbles set slides up.
void VolumeSlide(Channel* ch) {
    const int32_t m = ch->volumeSlideMemory;
    if (m >> 4) {
        ch->volume = std::min(ch->volume + (m >> 4), kMaxVolume);
    } else if (m & 0x0F) {
        ch->volume = std::max(ch->volume - (m & 0x0F), 0);
    }
    ch->updateFlags |= kUpdateVolume;
}

void Nothing(EffectContext&) {}

// ---- effect column, first tick -------------------------------------------------------------

void PortaUpFirst(EffectContext& c) {
    if (Parameter(c)) c.channel->portaUpMemory = Parameter(c);
}

void PortaDownFirst(EffectContext& c) {
    if (Parameter(c)) c.channel->portaDownMemory = Parameter(c);
}

void TonePortaFirst(EffectContext& c) {
    Channel* ch = c.channel;
    if (Parameter(c)) ch->portaSpeed = Parameter(c);
    ch->portaTarget = ch->notePeriod;
    ch->updateFlags &= static_cast<uint8_t>(~(kUpdateFrequency | kUpdateTrigger));
}

void VibratoFirst(EffectContext& c) {
    if (HighNibble(c)) c.channel->vibratoSpeed = static_cast<uint8_t>(HighNibble(c));
    if (LowNibble(c)) c.channel->vibratoDepth = static_cast<uint8_t>(LowNibble(c));
    ApplyVibrato(c.channel);
}

void TonePortaVolumeSlideFirst(EffectContext& c) {
    Channel* ch = c.channel;
    ch->portaTarget = ch->notePeriod;
    if (Parameter(c)) ch->volumeSlideMemory = Parameter(c);
    ch->updateFlags &= static_cast<uint8_t>(~(kUpdateFrequency | kUpdateTrigger));
}

void VibratoVolumeSlideFirst(EffectContext& c) {
    if (Parameter(c)) c.channel->volumeSlideMemory = Parameter(c);
    ApplyVibrato(c.channel);
}

void SetPanningFirst(EffectContext& c) {
    c.channel->panning = Parameter(c);
    c.channel->updateFlags |= kUpdatePanning;
}

void SampleOffsetFirst(EffectContext& c) {
    Channel* ch = c.channel;
    if (Parameter(c)) ch->sampleOffsetMemory = Parameter(c);
    const uint32_t offset = 256u * static_cast<uint32_t>(ch->sampleOffsetMemory);
    const uint64_t loopEnd = static_cast<uint64_t>(c.sample->loopStart) + c.sample->loopLength;
    if (offset < loopEnd) {
        SetVoiceStartOffset(ch->voiceIndex, static_cast<int32_t>(offset));
    } else {
        // Past the end there is nothing to play: the note stops instead of restarting.
        ch->updateFlags &= static_cast<uint8_t>(~kUpdateTrigger);
        ch->updateFlags |= kUpdateStop;
    }
}

void VolumeSlideFirst(EffectContext& c) {
    if (Parameter(c)) c.channel->volumeSlideMemory = Parameter(c);
}

void PositionJumpFirst(EffectContext& c) {
    Song* song = c.song;
    song->nextRow = 0;
    song->nextOrder = Parameter(c) < song->songLength ? Parameter(c) : 0;
    c.jumps->jumped = true;
}

void SetVolumeFirst(EffectContext& c) {
    c.channel->volume = std::min<int32_t>(Parameter(c), kMaxVolume);
    c.channel->updateFlags |= kUpdateVolume;
}

void PatternBreakFirst(EffectContext& c) {
    Song* song = c.song;
    const int32_t row = 10 * HighNibble(c) + LowNibble(c);  // the parameter read as decimal
    song->nextRow = row > 63 ? 0 : row;
    if (!c.jumps->jumped) song->nextOrder = song->order.load(std::memory_order_relaxed) + 1;
    // A break off the end of the order list starts the song over, not at the restart position.
    if (song->nextOrder >= song->songLength) song->nextOrder = 0;
}

void SpeedFirst(EffectContext& c) {
    if (Parameter(c) < kSpeedFirstBpm) {
        c.song->speed = Parameter(c);
    } else {
        SetSongBpm(c.song, Parameter(c));
    }
}

void GlobalVolumeFirst(EffectContext& c) {
    c.song->globalVolume = std::min<int32_t>(Parameter(c), kMaxVolume);
    c.channel->updateFlags |= kUpdateVolume;
}

void GlobalVolumeSlideFirst(EffectContext& c) {
    if (Parameter(c)) c.song->globalVolumeSlideMemory = Parameter(c);
}

void EnvelopePositionFirst(EffectContext& c) {
    RepositionVolumeEnvelope(c.channel, c.instrument, Parameter(c));
}

void PanningSlideFirst(EffectContext& c) {
    if (Parameter(c)) {
        c.channel->panningSlideMemory = Parameter(c);
        c.channel->updateFlags |= kUpdatePanning;
    }
}

void MultiRetriggerFirst(EffectContext& c) {
    if (Parameter(c)) {
        c.channel->retrigVolumeChange = static_cast<uint8_t>(HighNibble(c));
        c.channel->retrigInterval = static_cast<uint8_t>(LowNibble(c));
    }
}

void TremorFirst(EffectContext& c) {
    if (Parameter(c)) {
        c.channel->tremorOn = static_cast<uint8_t>(HighNibble(c) + 1);
        c.channel->tremorOff = static_cast<uint8_t>(LowNibble(c) + 1);
    }
    StepTremor(c.channel);
}

void ExtraFinePortaFirst(EffectContext& c) {
    Channel* ch = c.channel;
    const uint8_t y = static_cast<uint8_t>(LowNibble(c));
    if (HighNibble(c) == kExtraFinePortaUp) {
        if (y) ch->extraFineUpMemory = y;
        AddToPeriod(ch, -ch->extraFineUpMemory);
    } else if (HighNibble(c) == kExtraFinePortaDown) {
        if (y) ch->extraFineDownMemory = y;
        AddToPeriod(ch, ch->extraFineDownMemory);
    }
}

// ---- effect column, other ticks ------------------------------------------------------------

void ArpeggioOther(EffectContext& c) {
    if (!Parameter(c)) return;
    Channel* ch = c.channel;
    const int32_t phase = Tick(c) % 3;
    const int32_t semitones = phase == 1 ? HighNibble(c) : phase == 2 ? LowNibble(c) : 0;
    if (semitones != 0) {
        if (c.song->flags & kLinearFrequencyFlag) {
            ch->pitchOffset = 64 * semitones;
        } else {
            // The Amiga table is not linear in notes: the offset is the difference of periods.
            ch->pitchOffset = AmigaPeriodForNote(ch->realNote + semitones, c.sample->finetune) -
                              AmigaPeriodForNote(ch->realNote, c.sample->finetune);
        }
    }
    ch->updateFlags |= kUpdateFrequency;
}

void PortaUpOther(EffectContext& c) {
    Channel* ch = c.channel;
    AddToPeriod(ch, -4 * ch->portaUpMemory);
    ch->period = std::max(ch->period, kMinPortaUpPeriod);
    ch->updateFlags |= kUpdateFrequency;
}

void PortaDownOther(EffectContext& c) {
    AddToPeriod(c.channel, 4 * c.channel->portaDownMemory);
    c.channel->updateFlags |= kUpdateFrequency;
}

void TonePortaOther(EffectContext& c) { TonePortamentoStep(c.channel); }

void VibratoOther(EffectContext& c) {
    ApplyVibrato(c.channel);
    AdvanceVibratoPhase(c.channel);
}

void TonePortaVolumeSlideOther(EffectContext& c) {
    TonePortamentoStep(c.channel);
    VolumeSlide(c.channel);
}

void VibratoVolumeSlideOther(EffectContext& c) {
    ApplyVibrato(c.channel);
    AdvanceVibratoPhase(c.channel);
    VolumeSlide(c.channel);
}

void VolumeSlideOther(EffectContext& c) { VolumeSlide(c.channel); }

void GlobalVolumeSlideOther(EffectContext& c) {
    Song* song = c.song;
    const int32_t m = song->globalVolumeSlideMemory;
    // No update bit: Voices hear the new global volume the next time their volume is sent.
    if (m >> 4) {
        song->globalVolume = std::min(song->globalVolume + (m >> 4), kMaxVolume);
    } else if (m & 0x0F) {
        song->globalVolume = std::max(song->globalVolume - (m & 0x0F), 0);
    }
}

void PanningSlideOther(EffectContext& c) {
    const int32_t m = c.channel->panningSlideMemory;
    if (m >> 4) {
        c.channel->panning = std::min(c.channel->panning + (m >> 4), kMaxPanning);
    } else if (m & 0x0F) {
        c.channel->panning = std::max(c.channel->panning - (m & 0x0F), 0);
    }
    c.channel->updateFlags |= kUpdatePanning;
}

// New volume for each retrigger volume code.
int32_t RetriggerVolume(int32_t code, int32_t volume) {
    switch (code) {
        case 1: return volume - 1;
        case 2: return volume - 2;
        case 3: return volume - 4;
        case 4: return volume - 8;
        case 5: return volume - 16;
        case 6: return volume * 2 / 3;
        case 7: return volume / 2;
        case 9: return volume + 1;
        case 10: return volume + 2;
        case 11: return volume + 4;
        case 12: return volume + 8;
        case 13: return volume + 16;
        case 14: return volume * 3 / 2;
        case 15: return volume * 2;
        default: return volume;  // 8 (and 0, which does not get here)
    }
}

void MultiRetriggerOther(EffectContext& c) {
    Channel* ch = c.channel;
    if (ch->retrigInterval == 0 || Tick(c) % ch->retrigInterval != 0) return;
    if (ch->retrigVolumeChange != 0) {
        ch->volume = ClampVolume(RetriggerVolume(ch->retrigVolumeChange, ch->volume));
        ch->updateFlags |= kUpdateVolume;
    }
    ch->updateFlags |= kUpdateTrigger;
}

void TremorOther(EffectContext& c) { StepTremor(c.channel); }

// ---- extended effects (E, sub-command x, value y) ------------------------------------------

void FinePortaUpFirst(EffectContext& c) { AddToPeriod(c.channel, -4 * LowNibble(c)); }
void FinePortaDownFirst(EffectContext& c) { AddToPeriod(c.channel, 4 * LowNibble(c)); }

void VibratoWaveformFirst(EffectContext& c) {
    c.channel->waveControl = static_cast<uint8_t>((c.channel->waveControl & 0xF0) | LowNibble(c));
}

void SetFinetuneFirst(EffectContext& c) {
    // The shared empty Sample stands for "nothing here" in every Song and must stay all zero.
    if (c.sample != &emptySample) c.sample->finetune = static_cast<int8_t>(LowNibble(c));
}

void PatternLoopFirst(EffectContext& c) {
    Channel* ch = c.channel;
    const int32_t y = LowNibble(c);
    if (y == 0) {
        ch->loopStartRow = c.song->row.load(std::memory_order_relaxed);
        return;
    }
    ch->loopCount = ch->loopCount == 0 ? y : ch->loopCount - 1;
    if (ch->loopCount != 0) c.jumps->loopTarget = ch->loopStartRow;
}

void SetPanningCoarseFirst(EffectContext& c) {
    c.channel->panning = 16 * LowNibble(c);
    c.channel->updateFlags |= kUpdatePanning;
}

void FineVolumeUpFirst(EffectContext& c) {
    if (LowNibble(c)) c.channel->fineVolumeSlideMemory = static_cast<uint8_t>(LowNibble(c));
    ChangeVolume(c.channel, c.channel->fineVolumeSlideMemory);
}

void FineVolumeDownFirst(EffectContext& c) {
    if (LowNibble(c)) c.channel->fineVolumeSlideMemory = static_cast<uint8_t>(LowNibble(c));
    ChangeVolume(c.channel, -c.channel->fineVolumeSlideMemory);
}

constexpr uint8_t kNoteDelayHeldBits =
    kUpdateFrequency | kUpdateVolume | kUpdatePanning | kUpdateTrigger;

void NoteDelayFirst(EffectContext& c) {
    // The previous note sounds on, at its own volume, pitch and panning, until the delay ends.
    Channel* ch = c.channel;
    ch->volume = c.volumeBeforeRow;
    ch->period = c.periodBeforeRow;
    ch->panning = c.panningBeforeRow;
    ch->updateFlags &= static_cast<uint8_t>(~kNoteDelayHeldBits);
}

void PatternDelayFirst(EffectContext& c) {
    // Replaces any earlier delay on the row, with the speed as it stands in this channel.
    c.song->patternDelay = LowNibble(c) * c.song->speed;
}

void RetriggerOther(EffectContext& c) {
    const int32_t y = LowNibble(c);
    if (y != 0 && Tick(c) % y == 0) {
        c.channel->updateFlags |= kUpdateFrequency | kUpdateVolume | kUpdateTrigger;
    }
}

void NoteCutOther(EffectContext& c) {
    if (Tick(c) == LowNibble(c)) {
        c.channel->volume = 0;
        c.channel->updateFlags |= kUpdateVolume;
    }
}

void NoteDelayOther(EffectContext& c) {
    Channel* ch = c.channel;
    if (Tick(c) != LowNibble(c)) {
        ch->updateFlags &= static_cast<uint8_t>(~kNoteDelayHeldBits);
        return;
    }
    ResetInstrumentState(ch, c.sample);
    ch->period = ch->notePeriod;
    ch->updateFlags |= kUpdateFrequency;
    if (c.cell->volume) ApplyVolumeColumn(ch, c.cell->volume);
    ch->updateFlags |= kUpdateTrigger;
}

using EffectStep = void (*)(EffectContext&);

struct EffectRow {
    EffectStep firstTick;
    EffectStep otherTicks;
};

const EffectRow kExtendedEffects[16] = {
    {Nothing, Nothing},                          // E0y filter: no filter here
    {FinePortaUpFirst, Nothing},                 // E1y fine portamento up
    {FinePortaDownFirst, Nothing},               // E2y fine portamento down
    {Nothing, Nothing},                          // E3y glissando control: ignored
    {VibratoWaveformFirst, Nothing},             // E4y vibrato waveform
    {SetFinetuneFirst, Nothing},                 // E5y set the row Sample's finetune
    {PatternLoopFirst, Nothing},                 // E6y pattern loop
    {Nothing, Nothing},                          // E7y tremolo waveform: ignored
    {SetPanningCoarseFirst, Nothing},            // E8y set panning in 16 steps
    {Nothing, RetriggerOther},                   // E9y retrigger every y ticks
    {FineVolumeUpFirst, Nothing},                // EAy fine volume up
    {FineVolumeDownFirst, Nothing},              // EBy fine volume down
    {Nothing, NoteCutOther},                     // ECy note cut at tick y
    {NoteDelayFirst, NoteDelayOther},            // EDy note delay to tick y
    {PatternDelayFirst, Nothing},                // EEy pattern delay of y rows
    {Nothing, Nothing},                          // EFy: ignored
};

void ExtendedFirst(EffectContext& c) { kExtendedEffects[HighNibble(c)].firstTick(c); }
void ExtendedOther(EffectContext& c) { kExtendedEffects[HighNibble(c)].otherTicks(c); }

// Indexed by the effect number: 0..15 for 0..F, then G = 16 onward.
const EffectRow kEffects[] = {
    {Nothing, ArpeggioOther},                             // 0 arpeggio
    {PortaUpFirst, PortaUpOther},                         // 1 portamento up
    {PortaDownFirst, PortaDownOther},                     // 2 portamento down
    {TonePortaFirst, TonePortaOther},                     // 3 tone portamento
    {VibratoFirst, VibratoOther},                         // 4 vibrato
    {TonePortaVolumeSlideFirst, TonePortaVolumeSlideOther},  // 5 tone portamento + volume slide
    {VibratoVolumeSlideFirst, VibratoVolumeSlideOther},   // 6 vibrato + volume slide
    {Nothing, Nothing},                                   // 7 tremolo: ignored
    {SetPanningFirst, Nothing},                           // 8 set panning
    {SampleOffsetFirst, Nothing},                         // 9 sample offset
    {VolumeSlideFirst, VolumeSlideOther},                 // A volume slide
    {PositionJumpFirst, Nothing},                         // B position jump
    {SetVolumeFirst, Nothing},                            // C set volume
    {PatternBreakFirst, Nothing},                         // D pattern break
    {ExtendedFirst, ExtendedOther},                       // E extended, by sub-command
    {SpeedFirst, Nothing},                                // F speed (below 32) or BPM
    {GlobalVolumeFirst, Nothing},                         // G set global volume
    {GlobalVolumeSlideFirst, GlobalVolumeSlideOther},     // H global volume slide
    {Nothing, Nothing},                                   // I: unused
    {Nothing, Nothing},                                   // J: unused
    {Nothing, Nothing},                                   // K key off: taken by the row pass
    {EnvelopePositionFirst, Nothing},                     // L set volume envelope position
    {Nothing, Nothing},                                   // M: unused
    {Nothing, Nothing},                                   // N: unused
    {Nothing, Nothing},                                   // O: unused
    {PanningSlideFirst, PanningSlideOther},               // P panning slide
    {Nothing, Nothing},                                   // Q: unused
    {MultiRetriggerFirst, MultiRetriggerOther},           // R multi retrigger
    {Nothing, Nothing},                                   // S: unused
    {TremorFirst, TremorOther},                           // T tremor
    {Nothing, Nothing},                                   // U: unused
    {Nothing, Nothing},                                   // V: unused
    {Nothing, Nothing},                                   // W: unused
    {ExtraFinePortaFirst, Nothing},                       // X extra fine portamento
};
constexpr size_t kEffectCount = sizeof(kEffects) / sizeof(kEffects[0]);
static_assert(kEffectCount == kEffectNumbers, "one row per effect number, 0..F and G..X");

}  // namespace

void ApplyVolumeColumn(Channel* ch, uint8_t v) {
    if (v >= kVolumeSetFirst && v <= kVolumeSetLast) {
        ch->volume = v - kVolumeSetFirst;
        ch->updateFlags |= kUpdateVolume;
        return;
    }
    const int32_t y = v & 0x0F;
    switch (v >> 4) {
        case kVolumeSlideDown: case kVolumeFineDown: ChangeVolume(ch, -y); break;
        case kVolumeSlideUp: case kVolumeFineUp: ChangeVolume(ch, y); break;
        case kVolumeVibratoSpeed: ch->vibratoSpeed = static_cast<uint8_t>(y); break;
        case kVolumeVibratoDepth: ch->vibratoDepth = static_cast<uint8_t>(y); break;
        case kVolumeSetPanning:
            ch->panning = 16 * y;
            ch->updateFlags |= kUpdatePanning;
            break;
        case kVolumePanningLeft: ChangePanning(ch, -y); break;
        case kVolumePanningRight: ChangePanning(ch, y); break;
        case kVolumeTonePorta:
            if (y) ch->portaSpeed = static_cast<uint8_t>(16 * y);
            ch->portaTarget = ch->notePeriod;
            ch->updateFlags &= static_cast<uint8_t>(~kUpdateTrigger);
            break;
        default:  // 0x01..0x0F and 0x51..0x5F mean nothing
            break;
    }
}

void VolumeColumnOtherTick(EffectContext& c) {
    Channel* ch = c.channel;
    const uint8_t v = c.cell->volume;
    const int32_t y = v & 0x0F;
    switch (v >> 4) {
        case kVolumeSlideDown: ChangeVolume(ch, -y); break;
        case kVolumeSlideUp: ChangeVolume(ch, y); break;
        case kVolumeVibratoDepth:
            ch->vibratoDepth = static_cast<uint8_t>(y);
            ApplyVibrato(ch);
            AdvanceVibratoPhase(ch);
            break;
        case kVolumePanningLeft: ChangePanning(ch, -y); break;
        case kVolumePanningRight: ChangePanning(ch, y); break;
        case kVolumeTonePorta: TonePortamentoStep(ch); break;
        default: break;
    }
}

void EffectFirstTick(EffectContext& c) {
    if (c.cell->effect < kEffectCount) kEffects[c.cell->effect].firstTick(c);
}

void EffectOtherTick(EffectContext& c) {
    if (c.cell->effect < kEffectCount) kEffects[c.cell->effect].otherTicks(c);
}

void TonePortamentoStep(Channel* ch) {
    const int32_t speed = 4 * ch->portaSpeed;
    if (ch->period < ch->portaTarget) {
        ch->period = std::min(ch->period + speed, ch->portaTarget);
    } else if (ch->period > ch->portaTarget) {
        ch->period = std::max(ch->period - speed, ch->portaTarget);
    }
    ch->updateFlags |= kUpdateFrequency;
}

void StepTremor(Channel* ch) {
    if (ch->tremorCount >= ch->tremorOn) ch->volumeOffset = -ch->volume;
    ch->tremorCount += 1;
    // At or past, not only at: with both phases 0 the count would otherwise run on to wrap.
    if (ch->tremorCount >= ch->tremorOn + ch->tremorOff) ch->tremorCount = 0;
    ch->updateFlags |= kUpdateVolume;
}
