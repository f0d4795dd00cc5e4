// Four frames per pass with SSE2, which every x86-64 processor has.
#include "sound/mix_kernels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstring>

#include "sound/mix_stride.h"

namespace {

// s[i] in the low half, s[i + 1] in the high half (x86 is little-endian).
inline int32_t LoadPair(const int16_t* data, uint64_t position) {
    int32_t pair;
    std::memcpy(&pair, data + (position >> 32), sizeof pair);
    return pair;
}

// a + t x (b - a) for four frames, each operation as the scalar loop does it.
inline __m128 InterpolateFour(__m128i pairs, __m128i fractions) {
    const __m128 a = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16));
    const __m128 b = _mm_cvtepi32_ps(_mm_srai_epi32(pairs, 16));
    const __m128 t =
        _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(fractions, 1)), _mm_set1_ps(kHalfFracToUnit));
    return _mm_add_ps(a, _mm_mul_ps(t, _mm_sub_ps(b, a)));
}

inline __m128i PairsOfFour(const int16_t* data, const MixStride& stride, uint64_t at) {
    return _mm_setr_epi32(LoadPair(data, at), LoadPair(data, at + stride.move),
                          LoadPair(data, at + 2 * stride.move),
                          LoadPair(data, at + 3 * stride.move));
}

inline __m128i FractionsOfFour(const MixStride& stride) {
    const uint32_t start = static_cast<uint32_t>(stride.start);
    const uint32_t move = static_cast<uint32_t>(stride.move);
    return _mm_setr_epi32(static_cast<int32_t>(start), static_cast<int32_t>(start + move),
                          static_cast<int32_t>(start + 2 * move),
                          static_cast<int32_t>(start + 3 * move));
}

// out[0..7] += the four values, each times the (left, right) gains of its frame.
inline void AddFour(float* out, __m128 values, __m128 gains01, __m128 gains23) {
    _mm_storeu_ps(
        out, _mm_add_ps(_mm_loadu_ps(out), _mm_mul_ps(_mm_unpacklo_ps(values, values), gains01)));
    _mm_storeu_ps(out + 4, _mm_add_ps(_mm_loadu_ps(out + 4),
                                      _mm_mul_ps(_mm_unpackhi_ps(values, values), gains23)));
}

uint64_t RenderSteadySse2(float* out, const int16_t* data, uint64_t position, uint64_t delta,
                          int32_t frames, float gainLeft, float gainRight) {
    const MixStride stride = StrideOf(position, delta);
    const __m128i fractionStep = _mm_set1_epi32(static_cast<int32_t>(4 * stride.move));
    const __m128 gains = _mm_setr_ps(gainLeft, gainRight, gainLeft, gainRight);
    __m128i fractions = FractionsOfFour(stride);
    uint64_t at = stride.start;
    int32_t k = 0;
    for (; k + 4 <= frames; k += 4) {
        const __m128 values = InterpolateFour(PairsOfFour(data, stride, at), fractions);
        AddFour(out + 2 * k, values, gains, gains);
        fractions = _mm_add_epi32(fractions, fractionStep);
        at += 4 * stride.move;
    }
    if (k == 0)
        return ScalarMixKernels().steady(out, data, position, delta, frames, gainLeft, gainRight);
    ScalarMixKernels().steady(out + 2 * k, data, at, delta, frames - k, gainLeft, gainRight);
    return EndOf(stride, frames);
}

uint64_t RenderRampSse2(float* out, const int16_t* data, uint64_t position, uint64_t delta,
                        int32_t frames, float& gainLeft, float& gainRight, float stepLeft,
                        float stepRight) {
    const MixStride stride = StrideOf(position, delta);
    const __m128i fractionStep = _mm_set1_epi32(static_cast<int32_t>(4 * stride.move));
    // (left, right) in the low lanes; the gains grow one frame at a time, as in the scalar loop,
    // since a sum of steps taken at once would round differently.
    const __m128 step = _mm_setr_ps(stepLeft, stepRight, 0.0f, 0.0f);
    __m128 gain = _mm_setr_ps(gainLeft, gainRight, 0.0f, 0.0f);
    __m128i fractions = FractionsOfFour(stride);
    uint64_t at = stride.start;
    int32_t k = 0;
    for (; k + 4 <= frames; k += 4) {
        const __m128 values = InterpolateFour(PairsOfFour(data, stride, at), fractions);
        const __m128 gain1 = _mm_add_ps(gain, step);
        const __m128 gain2 = _mm_add_ps(gain1, step);
        const __m128 gain3 = _mm_add_ps(gain2, step);
        AddFour(out + 2 * k, values, _mm_movelh_ps(gain, gain1), _mm_movelh_ps(gain2, gain3));
        gain = _mm_add_ps(gain3, step);
        fractions = _mm_add_epi32(fractions, fractionStep);
        at += 4 * stride.move;
    }
    if (k == 0) {
        return ScalarMixKernels().ramp(out, data, position, delta, frames, gainLeft, gainRight,
                                       stepLeft, stepRight);
    }
    gainLeft = _mm_cvtss_f32(gain);
    gainRight = _mm_cvtss_f32(_mm_shuffle_ps(gain, gain, _MM_SHUFFLE(1, 1, 1, 1)));
    ScalarMixKernels().ramp(out + 2 * k, data, at, delta, frames - k, gainLeft, gainRight, stepLeft,
                            stepRight);
    return EndOf(stride, frames);
}

// Clamped first, then rounded to nearest with ties to even: the default mode, which the conversion
// follows as the scalar one does. The bounds come first in min and max so that a NaN passes
// through both, and it is then made 0, as the scalar conversion makes it.
inline __m128i RoundFour(__m128 x) {
    const __m128 clamped = _mm_max_ps(_mm_set1_ps(-32768.0f), _mm_min_ps(_mm_set1_ps(32767.0f), x));
    const __m128i notANumber = _mm_castps_si128(_mm_cmpunord_ps(x, x));
    return _mm_andnot_si128(notANumber, _mm_cvtps_epi32(clamped));
}

void ToPcm16Sse2(int16_t* destination, const float* source, int32_t frames) {
    const int32_t count = 2 * frames;
    int32_t k = 0;
    for (; k + 8 <= count; k += 8) {
        // The rounded values lie in the 16-bit range, so the saturating pack keeps them as they
        // are.
        const __m128i first = RoundFour(_mm_loadu_ps(source + k));
        const __m128i second = RoundFour(_mm_loadu_ps(source + k + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + k),
                         _mm_packs_epi32(first, second));
    }
    ScalarMixKernels().toPcm16(destination + k, source + k, (count - k) / 2);
}

constexpr MixKernels kSse2Kernels{"sse2", RenderSteadySse2, RenderRampSse2, ToPcm16Sse2};

}  // namespace

const MixKernels* Sse2MixKernels() { return &kSse2Kernels; }

#else

const MixKernels* Sse2MixKernels() { return nullptr; }

#endif
