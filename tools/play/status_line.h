// The player's one status line: the module's title, position, tempo, elapsed and total time,
// volume, a level meter per side and where in the playlist it is, fitted to the terminal's width.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/play/player_session.h"

constexpr int32_t kMeterCells = 12;
constexpr int32_t kMeterDecibelsPerCell = 3;  // the meter spans the top 36 dB

// Cells lit for a peak of 0..32768.
int32_t MeterCells(int32_t peak);
// Writes the line, without a line end, into `text` (NUL-terminated, cut to `size` - 1
// characters) and returns its length. The line takes fewer than `columns` characters (a line
// reaching the last column would wrap on some terminals): fields that do not fit are left out,
// the least useful first. `file` and `files` place the module in the playlist (shown with more
// than one).
size_t FormatStatusLine(const PlayerStatus& status, const char* title, int32_t file,
                        int32_t files, int32_t columns, char* text, size_t size);
