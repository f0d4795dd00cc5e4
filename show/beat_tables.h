// The song rows the pictures follow, as song positions (order << 8 | row). They are laid out for
// the embedded song; its composer puts a drum hit on every one of them.
#pragma once

#include <cstdint>
#include <iterator>

// Scene 1: the mesh flashes up while the song stands on one of these rows of order 4.
inline constexpr uint32_t meshBeatPositions[] = {
    0x0404, 0x0414, 0x0424, 0x042C, 0x0434, 0x0437, 0x0439, 0x043C, 0x043E, 0x043F,
};
static_assert(std::size(meshBeatPositions) == 10);

// Scenes 2 and 3: the mesh swells to three times its size on rows 0, 29 and 32 of orders 5 to 7.
inline constexpr uint32_t pulsePositions[] = {
    0x0500, 0x051D, 0x0520, 0x0600, 0x061D, 0x0620, 0x0700, 0x071D, 0x0720,
};
static_assert(std::size(pulsePositions) == 9);

// Scene 7: the two pictures change places on these rows of orders 14 to 17. Row 60 is listed
// twice in each order, so there the pictures change twice a frame and stay as they were; order 17
// has no row 63.
inline constexpr uint32_t swapPositions[] = {
    0x0E04, 0x0E09, 0x0E0C, 0x0E14, 0x0E19, 0x0E1C, 0x0E24, 0x0E27, 0x0E29, 0x0E2C, 0x0E3C, 0x0E39, 0x0E3C, 0x0E3E, 0x0E3F,
    0x0F04, 0x0F09, 0x0F0C, 0x0F14, 0x0F19, 0x0F1C, 0x0F24, 0x0F27, 0x0F29, 0x0F2C, 0x0F3C, 0x0F39, 0x0F3C, 0x0F3E, 0x0F3F,
    0x1004, 0x1009, 0x100C, 0x1014, 0x1019, 0x101C, 0x1024, 0x1027, 0x1029, 0x102C, 0x103C, 0x1039, 0x103C, 0x103E, 0x103F,
    0x1104, 0x1109, 0x110C, 0x1114, 0x1119, 0x111C, 0x1124, 0x1127, 0x1129, 0x112C, 0x113C, 0x1139, 0x113C, 0x113E,
};
static_assert(std::size(swapPositions) == 59);
