// 32-bit counters and pixel addresses that the show lets run on for ever wrap around, as the
// machine's registers did: the addition is done on the unsigned bits and read back as signed, so
// it is defined for every value, with no overflow.
#pragma once

#include <cstdint>

constexpr int32_t WrappingAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
