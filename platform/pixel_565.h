// The FrameBuffer's pixel: 16 bits of 5-6-5, red in bits 11-15, green in 5-10, blue in 0-4. Every
// effect that splits or packs fields, the displays that widen them and the capture use these.
#pragma once

#include <cstdint>

inline constexpr int32_t kRedShift = 11;
inline constexpr int32_t kGreenShift = 5;
inline constexpr uint16_t kRedMax = 31;
inline constexpr uint16_t kGreenMax = 63;
inline constexpr uint16_t kBlueMax = 31;
static_assert((kRedMax << kRedShift | kGreenMax << kGreenShift | kBlueMax) == 0xFFFF);
static_assert((kBlueMax & (kGreenMax << kGreenShift)) == 0 &&
              ((kGreenMax << kGreenShift) & (kRedMax << kRedShift)) == 0);

// The fields must already lie within their maxima: a larger one spills into its neighbour.
constexpr uint16_t Pack565(uint32_t red, uint32_t green, uint32_t blue) {
    return static_cast<uint16_t>(red << kRedShift | green << kGreenShift | blue);
}
constexpr uint32_t RedOf565(uint32_t pixel) { return pixel >> kRedShift & kRedMax; }
constexpr uint32_t GreenOf565(uint32_t pixel) { return pixel >> kGreenShift & kGreenMax; }
constexpr uint32_t BlueOf565(uint32_t pixel) { return pixel & kBlueMax; }

// A 5- or 6-bit field widened to 8 bits by repeating its top bits: 0 stays 0 and full intensity
// becomes 255, where a plain shift would leave white at 248.
constexpr uint32_t Widen5To8(uint32_t field) { return field << 3 | field >> 2; }
constexpr uint32_t Widen6To8(uint32_t field) { return field << 2 | field >> 4; }
