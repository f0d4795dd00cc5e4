#include "effects/shared_tables.h"

#include <cmath>
#include <numbers>

namespace {

std::array<uint8_t, 256> BuildSineBytes() {
    std::array<uint8_t, 256> table{};
    for (int32_t i = 0; i < 256; ++i) {
        // Nearest with ties to even, the rounding every table of the show uses; no entry is a tie.
        const double angle = 2.0 * std::numbers::pi * i / 256.0;
        table[i] = static_cast<uint8_t>(std::nearbyint(127.0 + 127.0 * std::sin(angle)));
    }
    return table;
}

}  // namespace

// Computed once when the program loads: nothing reads it before main.
const std::array<uint8_t, 256> sineBytes = BuildSineBytes();
uint16_t wavePhase = 0;
