// The numbers of the XM file format, in one place for the loader, the replay, the writer, the
// composer and the tests: notes, effect commands, volume-column commands and flag bits.
#pragma once

#include <cstddef>
#include <cstdint>

// Every XM file begins with this text, without its terminator.
inline constexpr char kXmId[] = "Extended Module: ";
inline constexpr size_t kXmIdBytes = 17;
static_assert(sizeof(kXmId) == kXmIdBytes + 1);

// Notes are numbered as a cell stores them: 1 is C-0, 13 C-1, ..., 49 C-4, 96 B-7; 0 is no note
// and 97 key off. The sound engine turns a note byte n into the 0-based index n - 1 only where it
// indexes a table (an instrument's sample map, the period tables).
inline constexpr uint8_t kNoteNone = 0;
inline constexpr int kNoteCount = 96;                 // C-0 .. B-7
inline constexpr uint8_t kNoteC0 = 1;
inline constexpr uint8_t kNoteC4 = kNoteC0 + 4 * 12;  // 49: middle C, where a Sample plays at its own rate
inline constexpr uint8_t kFileNoteKeyOff = 97;        // key off as the file writes it
inline constexpr uint8_t kNoteKeyOff = 255;           // key off once loaded: every later stage sees this
static_assert(kNoteC4 == 49 && kFileNoteKeyOff == kNoteC0 + kNoteCount);

// Effect commands (a cell's effect byte). 0 to F are 0x00 to 0x0F; the letters G to X follow from
// 0x10 on, so letter L is 0x10 + (L - 'G').
inline constexpr uint8_t kEffectArpeggio = 0x00;
inline constexpr uint8_t kEffectPortaUp = 0x01;
inline constexpr uint8_t kEffectPortaDown = 0x02;
inline constexpr uint8_t kEffectTonePorta = 0x03;
inline constexpr uint8_t kEffectVibrato = 0x04;
inline constexpr uint8_t kEffectTonePortaVolumeSlide = 0x05;
inline constexpr uint8_t kEffectVibratoVolumeSlide = 0x06;
inline constexpr uint8_t kEffectTremolo = 0x07;
inline constexpr uint8_t kEffectSetPanning = 0x08;
inline constexpr uint8_t kEffectSampleOffset = 0x09;
inline constexpr uint8_t kEffectVolumeSlide = 0x0A;
inline constexpr uint8_t kEffectPositionJump = 0x0B;
inline constexpr uint8_t kEffectSetVolume = 0x0C;
inline constexpr uint8_t kEffectPatternBreak = 0x0D;
inline constexpr uint8_t kEffectExtended = 0x0E;      // the parameter's high nibble picks the command
inline constexpr uint8_t kEffectSpeed = 0x0F;         // the speed, or the BPM (kSpeedFirstBpm)
inline constexpr uint8_t kEffectGlobalVolume = 0x10;  // G
inline constexpr uint8_t kEffectGlobalVolumeSlide = 0x11;  // H
inline constexpr uint8_t kEffectKeyOff = 0x14;        // K
inline constexpr uint8_t kEffectEnvelopePosition = 0x15;  // L
inline constexpr uint8_t kEffectPanningSlide = 0x19;  // P
inline constexpr uint8_t kEffectMultiRetrigger = 0x1B;  // R
inline constexpr uint8_t kEffectTremor = 0x1D;        // T
inline constexpr uint8_t kEffectExtraFinePorta = 0x21;  // X: the parameter's high nibble, 1 up, 2 down
inline constexpr int kEffectNumbers = kEffectExtraFinePorta + 1;
static_assert(kEffectKeyOff == 0x10 + ('K' - 'G') && kEffectExtraFinePorta == 0x10 + ('X' - 'G'));
// An F effect's parameter below this sets the speed (ticks per row), from it on the BPM.
inline constexpr uint8_t kSpeedFirstBpm = 32;

// Extended commands: the high nibble of an E effect's parameter (E1y is kExtendedFinePortaUp).
inline constexpr uint8_t kExtendedFilter = 0x0;
inline constexpr uint8_t kExtendedFinePortaUp = 0x1;
inline constexpr uint8_t kExtendedFinePortaDown = 0x2;
inline constexpr uint8_t kExtendedGlissando = 0x3;
inline constexpr uint8_t kExtendedVibratoWaveform = 0x4;
inline constexpr uint8_t kExtendedFinetune = 0x5;
inline constexpr uint8_t kExtendedPatternLoop = 0x6;
inline constexpr uint8_t kExtendedTremoloWaveform = 0x7;
inline constexpr uint8_t kExtendedPanning = 0x8;
inline constexpr uint8_t kExtendedRetrigger = 0x9;
inline constexpr uint8_t kExtendedFineVolumeUp = 0xA;
inline constexpr uint8_t kExtendedFineVolumeDown = 0xB;
inline constexpr uint8_t kExtendedNoteCut = 0xC;
inline constexpr uint8_t kExtendedNoteDelay = 0xD;
inline constexpr uint8_t kExtendedPatternDelay = 0xE;

// Extra fine portamento: the high nibble of an X effect's parameter.
inline constexpr uint8_t kExtraFinePortaUp = 0x1;
inline constexpr uint8_t kExtraFinePortaDown = 0x2;

// The parameter of an E or X effect: the sub-command in the high nibble, its value in the low.
// SubCommand(kExtendedNoteDelay, 2) is 0xD2, the ED2 of a score.
constexpr uint8_t SubCommand(uint8_t command, uint8_t value) {
    return static_cast<uint8_t>(command << 4 | (value & 0x0F));
}

// Volume-column commands: the byte's high nibble, the low nibble its value. 0x10 to 0x50 set the
// volume to byte - 0x10.
inline constexpr uint8_t kVolumeSetFirst = 0x10;
inline constexpr uint8_t kVolumeSetLast = 0x50;
inline constexpr uint8_t kVolumeSlideDown = 0x6;
inline constexpr uint8_t kVolumeSlideUp = 0x7;
inline constexpr uint8_t kVolumeFineDown = 0x8;
inline constexpr uint8_t kVolumeFineUp = 0x9;
inline constexpr uint8_t kVolumeVibratoSpeed = 0xA;
inline constexpr uint8_t kVolumeVibratoDepth = 0xB;
inline constexpr uint8_t kVolumeSetPanning = 0xC;
inline constexpr uint8_t kVolumePanningLeft = 0xD;
inline constexpr uint8_t kVolumePanningRight = 0xE;
inline constexpr uint8_t kVolumeTonePorta = 0xF;
// The volume-column byte of a command and its value: VolumeColumn(kVolumeSlideUp, 2) is 0x72.
constexpr uint8_t VolumeColumn(uint8_t command, uint8_t value) {
    return static_cast<uint8_t>(command << 4 | (value & 0x0F));
}

// Header flags: bit 0 picks the linear frequency table over the Amiga periods.
inline constexpr uint16_t kLinearFrequencyFlag = 1;
// The rate the linear table plays C-4 at, for a sample with relative note 0 and finetune 0.
inline constexpr double kLinearC4Hz = 8363.0;

// Envelope type bits, as the file stores them and the loaded Instrument keeps them.
inline constexpr uint8_t kEnvelopeOn = 1;
inline constexpr uint8_t kEnvelopeSustain = 2;
inline constexpr uint8_t kEnvelopeLoop = 4;

// An instrument's auto-vibrato waveform.
inline constexpr uint8_t kAutoVibratoSine = 0;
inline constexpr uint8_t kAutoVibratoSquare = 1;
inline constexpr uint8_t kAutoVibratoRampDown = 2;
inline constexpr uint8_t kAutoVibratoRampUp = 3;

// A sample header's type byte.
inline constexpr uint8_t kSampleTypeForward = 0x01;
inline constexpr uint8_t kSampleTypePingPong = 0x02;
inline constexpr uint8_t kSampleTypeLoopBits = 0x03;
inline constexpr uint8_t kSampleType16Bit = 0x10;
