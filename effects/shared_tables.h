// Tables and state that more than one effect reads: the byte sine and the wave phase.
#pragma once

#include <array>
#include <cstdint>

// sineBytes[i] = 127 + 127 sin(2 pi i / 256), rounded: 127 at 0, 254 at 64, 0 at 192.
extern const std::array<uint8_t, 256> sineBytes;

// Two 8-bit phases in one word (low byte PL, high byte PH): the wave plane lowers it by 0x0505 a
// frame and the tunnels move it too. Wraps modulo 65536; 0 at start-up.
extern uint16_t wavePhase;
