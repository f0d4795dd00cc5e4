#include "tools/play/status_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kFullScale = 32767.0;

void DrawMeter(int32_t peak, char* cells) {
    const int32_t lit = MeterCells(peak);
    for (int32_t i = 0; i < kMeterCells; ++i) cells[i] = i < lit ? '#' : '-';
    cells[kMeterCells] = '\0';
}

}  // namespace

int32_t MeterCells(int32_t peak) {
    if (peak <= 0) return 0;
    const double decibels = 20.0 * std::log10(peak / kFullScale);
    // Truncated: a cell lights only once the peak has reached its level.
    const auto cells =
        static_cast<int32_t>(std::floor(decibels / kMeterDecibelsPerCell)) + kMeterCells;
    return std::clamp(cells, 0, kMeterCells);
}

size_t FormatStatusLine(const PlayerStatus& status, char* text, size_t size) {
    char left[kMeterCells + 1];
    char right[kMeterCells + 1];
    DrawMeter(status.peak.left, left);
    DrawMeter(status.peak.right, right);
    const int64_t tenths = status.elapsedMs / 100;
    const int written = std::snprintf(
        text, size,
        "order %3d/%-3d row %3d/%-3d pattern %3d  speed %2d  %3d BPM  %lld:%02lld.%lld  "
        "L %s R %s%s",
        status.order, status.orderCount, status.row, status.rowCount, status.pattern, status.speed,
        status.bpm, static_cast<long long>(tenths / 600), static_cast<long long>(tenths / 10 % 60),
        static_cast<long long>(tenths % 10), left, right, status.paused ? "  paused" : "");
    return written < 0 ? 0 : std::min(static_cast<size_t>(written), size - 1);
}
