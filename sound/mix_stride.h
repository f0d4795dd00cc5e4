// Where every frame of a stretch interpolates, in closed form, for the loops that render several
// frames per pass.
#pragma once

#include <cstdint>

#include "sound/mix_kernels.h"

// A frame reads the position only through its integer part and its fraction shifted right by one,
// that is without the lowest bit. Each step clears that bit and adds delta, so from the second
// frame on the position is start + k x move + (the lowest bit of delta), with start the first
// position without its lowest bit and move delta without its own: frame k interpolates at
// start + k x move, all arithmetic modulo 2^64 as in the stepwise loop.
struct MixStride {
    uint64_t start;
    uint64_t move;
    uint64_t lowestBit;
};

inline MixStride StrideOf(uint64_t position, uint64_t delta) {
    return {position & ~kPositionLowestBit, delta & ~kPositionLowestBit,
            delta & kPositionLowestBit};
}

// The position after `frames` (at least 1) steps.
inline uint64_t EndOf(const MixStride& stride, int32_t frames) {
    return stride.start + static_cast<uint64_t>(frames) * stride.move + stride.lowestBit;
}
