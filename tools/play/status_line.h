// The player's one status line: position, tempo, elapsed time and a level meter per side.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/play/player_session.h"

constexpr int32_t kMeterCells = 12;
constexpr int32_t kMeterDecibelsPerCell = 3;  // the meter spans the top 36 dB

// Cells lit for a peak of 0..32768.
int32_t MeterCells(int32_t peak);
// Writes the line, without a line end, into `text` (NUL-terminated, cut to `size` - 1
// characters); returns its length.
size_t FormatStatusLine(const PlayerStatus& status, char* text, size_t size);
