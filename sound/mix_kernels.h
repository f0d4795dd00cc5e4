// The mixer's inner loops: one stretch of one voice, with no loop end or ramp end inside it, added
// into the stereo float buffer; and the block's conversion to 16 bits. Every set gives the same
// bits: the scalar loops are the rule, the vector ones render several frames per pass with the same
// operations in the same order.
#pragma once

#include <cstdint>

// The interpolation fraction is the position's fraction shifted right by one, times 2^-31: a
// float in [0, 1) that every set computes the same way.
constexpr float kHalfFracToUnit = 1.0f / 2147483648.0f;
constexpr uint64_t kPositionLowestBit = 1;

// Positions and steps are 32.32 fixed point in sample values. `delta` is the step, negated (two's
// complement) when moving backward. Each frame interpolates at the position, then clears the
// position's lowest fraction bit and adds `delta`; the position after the last frame is returned.
using RenderSteadyFn = uint64_t (*)(float* out, const int16_t* data, uint64_t position,
                                    uint64_t delta, int32_t frames, float gainLeft,
                                    float gainRight);
// The same under a gain ramp: each frame uses the gains before they grow by their steps; the
// gains reached are handed back.
using RenderRampFn = uint64_t (*)(float* out, const int16_t* data, uint64_t position,
                                  uint64_t delta, int32_t frames, float& gainLeft, float& gainRight,
                                  float stepLeft, float stepRight);

// Each of 2 x frames floats rounded to the nearest integer (ties to even), clamped to 16 bits.
using ToPcm16Fn = void (*)(int16_t* destination, const float* source, int32_t frames);

struct MixKernels {
    const char* name;
    RenderSteadyFn steady;
    RenderRampFn ramp;
    ToPcm16Fn toPcm16;
};

// The portable loops, for any processor.
const MixKernels& ScalarMixKernels();
// Null where the build or the processor lacks the instructions.
const MixKernels* Sse2MixKernels();
const MixKernels* Avx2MixKernels();

// The set MixVoices uses: the widest this processor runs, chosen once at start-up.
const MixKernels& ActiveMixKernels();
// Makes MixVoices use `kernels` from now on, so that tests and benchmarks can compare the sets;
// not to be called while another thread mixes.
void UseMixKernels(const MixKernels& kernels);
