// A small tracker notation for writing the score as text, one token per row:
//
//   "A-4"      note A-4 (with the line's instrument); "C#5" a sharp
//   "."        nothing on this row
//   "=="       key off
//   "A-4:40"   a note with volume 40 (0..64) in the volume column
//   ".,A04"    an effect on its own: one effect character (0-9, A-Z as XM numbers them) and two
//              hex digits; "A-4:40,406" has all three
//   "|"        a bar line, for the reader only
//
// Drum grids use one character per row, each naming a sound of a kit table; '.' is none.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "sound/xm_writer.h"

namespace composer {

constexpr int kChannels = 12;
constexpr int kRows = 64;

// A 64-row pattern of kChannels empty cells.
XmPatternDesc EmptyPattern();
NoteCell& CellAt(XmPatternDesc& pattern, int row, int channel);

// The file's note byte for a name such as "A-4" or "C#5" (kNoteC0 for C-0); kNoteNone for
// anything else.
uint8_t NoteByte(std::string_view name);
// The volume-column byte that sets volume 0..64.
uint8_t VolumeByte(int volume);

// Writes tokens from `firstRow` down the channel; returns the row after the last token. Throws
// std::invalid_argument for a token it cannot read or a row past the pattern's end.
int Line(XmPatternDesc& pattern, int channel, int firstRow, uint8_t instrument,
         std::string_view tokens);
// What one character of a drum grid plays.
struct DrumSound {
    char step;
    uint8_t instrument;
    uint8_t note;  // file note byte
    int volume;    // 0..64
};
// Writes a drum grid from `firstRow`, one character per row ('.' none; spaces and '|' skipped);
// returns the row after the last step. Throws std::invalid_argument for a character not in `kit`.
int Drums(XmPatternDesc& pattern, int channel, int firstRow, std::string_view grid,
          std::span<const DrumSound> kit);
// Sets the effect column of one cell, leaving its note, instrument and volume.
void Fx(XmPatternDesc& pattern, int row, int channel, uint8_t effect, uint8_t parameter);
// Sets the volume-column byte of one cell.
void VolumeColumn(XmPatternDesc& pattern, int row, int channel, uint8_t volumeByte);
// The format's VolumeColumn(command, value) that makes such a byte, found beside the one above.
using ::VolumeColumn;

}  // namespace composer
