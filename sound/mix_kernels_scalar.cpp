#include <algorithm>
#include <cmath>

#include "sound/mix_kernels.h"

namespace {

float Interpolate(const int16_t* data, uint64_t position) {
    const uint32_t i = static_cast<uint32_t>(position >> 32);
    const float t = static_cast<float>(static_cast<uint32_t>(position) >> 1) * kHalfFracToUnit;
    const float a = data[i];
    return a + t * (static_cast<float>(data[i + 1]) - a);
}

// No bounds checks, no division, no branch on loop state: the caller has cut the stretch at the
// loop and ramp ends.
uint64_t RenderSteadyScalar(float* out, const int16_t* data, uint64_t position, uint64_t delta,
                            int32_t frames, float gainLeft, float gainRight) {
    int32_t k = 0;
    for (; k + 1 < frames; k += 2) {
        const float a = Interpolate(data, position);
        position = (position & ~kPositionLowestBit) + delta;
        const float b = Interpolate(data, position);
        position = (position & ~kPositionLowestBit) + delta;
        out[2 * k] += a * gainLeft;
        out[2 * k + 1] += a * gainRight;
        out[2 * k + 2] += b * gainLeft;
        out[2 * k + 3] += b * gainRight;
    }
    if (k < frames) {
        const float a = Interpolate(data, position);
        position = (position & ~kPositionLowestBit) + delta;
        out[2 * k] += a * gainLeft;
        out[2 * k + 1] += a * gainRight;
    }
    return position;
}

uint64_t RenderRampScalar(float* out, const int16_t* data, uint64_t position, uint64_t delta,
                          int32_t frames, float& gainLeft, float& gainRight, float stepLeft,
                          float stepRight) {
    float left = gainLeft;
    float right = gainRight;
    for (int32_t k = 0; k < frames; ++k) {
        const float value = Interpolate(data, position);
        position = (position & ~kPositionLowestBit) + delta;
        out[2 * k] += value * left;
        out[2 * k + 1] += value * right;
        left += stepLeft;
        right += stepRight;
    }
    gainLeft = left;
    gainRight = right;
    return position;
}

void ToPcm16Scalar(int16_t* destination, const float* source, int32_t frames) {
    for (int32_t k = 0; k < 2 * frames; ++k) {
        // Clamp first, then round to nearest with ties to even (the default rounding mode).
        const float clamped = std::clamp(source[k], -32768.0f, 32767.0f);
        destination[k] = static_cast<int16_t>(std::lrint(clamped));
    }
}

constexpr MixKernels kScalarKernels{"scalar", RenderSteadyScalar, RenderRampScalar, ToPcm16Scalar};

}  // namespace

const MixKernels& ScalarMixKernels() { return kScalarKernels; }
