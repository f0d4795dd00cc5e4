#include "tools/play/status_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr double kFullScale = 32767.0;
constexpr size_t kFieldCount = 9;
constexpr const char* kGap = "  ";

void DrawMeter(int32_t peak, char* cells) {
    const int32_t lit = MeterCells(peak);
    for (int32_t i = 0; i < kMeterCells; ++i) cells[i] = i < lit ? '#' : '-';
    cells[kMeterCells] = '\0';
}

std::string Time(int64_t ms, bool tenths) {
    const int64_t t = ms / 100;
    char text[32];
    if (tenths) {
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(t / 600),
                      static_cast<long long>(t / 10 % 60), static_cast<long long>(t % 10));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(t / 600),
                      static_cast<long long>(t / 10 % 60));
    }
    return text;
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

size_t FormatStatusLine(const PlayerStatus& status, const char* title, int32_t file,
                        int32_t files, int32_t columns, char* text, size_t size) {
    char buffer[96];
    char left[kMeterCells + 1];
    char right[kMeterCells + 1];
    DrawMeter(status.peak.left, left);
    DrawMeter(status.peak.right, right);
    // In the order shown; `rank` 0 is the last to go.
    struct Field {
        std::string text;
        int rank;
    };
    Field fields[kFieldCount];
    std::snprintf(buffer, sizeof buffer, "[%d/%d]", file, files);
    fields[0] = {files > 1 ? buffer : "", 6};
    fields[1] = {title, 2};
    std::snprintf(buffer, sizeof buffer, "order %3d/%-3d row %3d/%d", status.order,
                  status.orderCount, status.row, status.rowCount);
    fields[2] = {buffer, 3};
    std::snprintf(buffer, sizeof buffer, "pattern %3d", status.pattern);
    fields[3] = {buffer, 8};
    std::snprintf(buffer, sizeof buffer, "speed %2d  %3d BPM", status.speed, status.bpm);
    fields[4] = {buffer, 7};
    fields[5] = {Time(status.elapsedMs, true) + " / " + Time(status.totalMs, false), 0};
    std::snprintf(buffer, sizeof buffer, "%+d dB", status.volumeDb);
    fields[6] = {buffer, 4};
    std::snprintf(buffer, sizeof buffer, "L %s R %s", left, right);
    fields[7] = {buffer, 5};
    fields[8] = {status.paused ? "paused" : "", 1};

    // Fields join in rank order until one does not fit: the line stays short of the last column.
    const size_t room = static_cast<size_t>(std::max(columns - 1, 0));
    bool shown[kFieldCount] = {};
    size_t used = 0;
    bool full = false;
    for (int rank = 0; rank < static_cast<int>(kFieldCount) && !full; ++rank) {
        for (size_t i = 0; i < kFieldCount; ++i) {
            if (fields[i].rank != rank || fields[i].text.empty()) continue;
            const size_t cost = fields[i].text.size() + (used ? std::strlen(kGap) : 0);
            full = used + cost > room;
            if (!full) {
                shown[i] = true;
                used += cost;
            }
        }
    }
    std::string line;
    for (size_t i = 0; i < kFieldCount; ++i) {
        if (!shown[i]) continue;
        if (!line.empty()) line += kGap;
        line += fields[i].text;
    }
    // Narrower than any field: what fits of the time.
    if (line.empty()) line = fields[5].text.substr(0, room);
    const size_t length = std::min(line.size(), size - 1);
    std::memcpy(text, line.data(), length);
    text[length] = '\0';
    return length;
}
