// Eight frames per pass with AVX2, compiled for it function by function, so the build needs no
// global flag; used only where the processor reports AVX2.
#include "sound/mix_kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

#include <immintrin.h>

#include <cstring>

#include "sound/mix_stride.h"

#define AVX2_FUNCTION [[gnu::target("avx2")]]

namespace {

// s[i] in the low half, s[i + 1] in the high half (x86 is little-endian).
inline int32_t LoadPair(const int16_t* data, uint32_t index) {
    int32_t pair;
    std::memcpy(&pair, data + index, sizeof pair);
    return pair;
}

// The positions of eight frames, 64 bits each, laid out so that taking the same half of every
// position from both registers gives frames 0..7 in order: `low` holds frames 0, 1, 4, 5 and
// `high` frames 2, 3, 6, 7.
struct EightPositions {
    __m256i low;
    __m256i high;
};

AVX2_FUNCTION inline EightPositions FirstEight(const MixStride& stride) {
    const auto at = [&](int64_t k) {
        return static_cast<int64_t>(stride.start + static_cast<uint64_t>(k) * stride.move);
    };
    return {_mm256_setr_epi64x(at(0), at(1), at(4), at(5)),
            _mm256_setr_epi64x(at(2), at(3), at(6), at(7))};
}

AVX2_FUNCTION inline __m256i Halves(const EightPositions& p, int selector) {
    const __m256 low = _mm256_castsi256_ps(p.low);
    const __m256 high = _mm256_castsi256_ps(p.high);
    return _mm256_castps_si256(selector == 0
                                   ? _mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0))
                                   : _mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
}

// a + t x (b - a) for eight frames, each operation as the scalar loop does it. The sample values
// are read by eight plain loads rather than a gather instruction, which measured a third slower
// than the SSE2 loop on the processor this was tuned on.
AVX2_FUNCTION inline __m256 InterpolateEight(const int16_t* data, const EightPositions& p) {
    const __m256i indices = Halves(p, 1);
    const __m256i fractions = Halves(p, 0);
    alignas(32) uint32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), indices);
    const __m256i pairs = _mm256_setr_epi32(
        LoadPair(data, at[0]), LoadPair(data, at[1]), LoadPair(data, at[2]), LoadPair(data, at[3]),
        LoadPair(data, at[4]), LoadPair(data, at[5]), LoadPair(data, at[6]), LoadPair(data, at[7]));
    const __m256 a = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16));
    const __m256 b = _mm256_cvtepi32_ps(_mm256_srai_epi32(pairs, 16));
    const __m256 t = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(fractions, 1)),
                                   _mm256_set1_ps(kHalfFracToUnit));
    return _mm256_add_ps(a, _mm256_mul_ps(t, _mm256_sub_ps(b, a)));
}

// out[0..15] += the eight values, each times the (left, right) gains of its frame.
AVX2_FUNCTION inline void AddEight(float* out, __m256 values, __m256 gains0123, __m256 gains4567) {
    const __m256 low = _mm256_unpacklo_ps(values, values);   // 0 0 1 1 | 4 4 5 5
    const __m256 high = _mm256_unpackhi_ps(values, values);  // 2 2 3 3 | 6 6 7 7
    const __m256 first = _mm256_permute2f128_ps(low, high, 0x20);
    const __m256 second = _mm256_permute2f128_ps(low, high, 0x31);
    _mm256_storeu_ps(out, _mm256_add_ps(_mm256_loadu_ps(out), _mm256_mul_ps(first, gains0123)));
    _mm256_storeu_ps(out + 8,
                     _mm256_add_ps(_mm256_loadu_ps(out + 8), _mm256_mul_ps(second, gains4567)));
}

AVX2_FUNCTION inline void Advance(EightPositions& p, __m256i step) {
    p.low = _mm256_add_epi64(p.low, step);
    p.high = _mm256_add_epi64(p.high, step);
}

AVX2_FUNCTION uint64_t RenderSteadyAvx2(float* out, const int16_t* data, uint64_t position,
                                        uint64_t delta, int32_t frames, float gainLeft,
                                        float gainRight) {
    const MixStride stride = StrideOf(position, delta);
    const __m256i step = _mm256_set1_epi64x(static_cast<int64_t>(8 * stride.move));
    const __m256 gains = _mm256_setr_ps(gainLeft, gainRight, gainLeft, gainRight, gainLeft,
                                        gainRight, gainLeft, gainRight);
    EightPositions p = FirstEight(stride);
    int32_t k = 0;
    for (; k + 8 <= frames; k += 8) {
        AddEight(out + 2 * k, InterpolateEight(data, p), gains, gains);
        Advance(p, step);
    }
    if (k == 0) {
        return Sse2MixKernels()->steady(out, data, position, delta, frames, gainLeft, gainRight);
    }
    const uint64_t at = stride.start + static_cast<uint64_t>(k) * stride.move;
    Sse2MixKernels()->steady(out + 2 * k, data, at, delta, frames - k, gainLeft, gainRight);
    return EndOf(stride, frames);
}

AVX2_FUNCTION uint64_t RenderRampAvx2(float* out, const int16_t* data, uint64_t position,
                                      uint64_t delta, int32_t frames, float& gainLeft,
                                      float& gainRight, float stepLeft, float stepRight) {
    const MixStride stride = StrideOf(position, delta);
    const __m256i step = _mm256_set1_epi64x(static_cast<int64_t>(8 * stride.move));
    // (left, right) in the low lanes; the gains grow one frame at a time, as in the scalar loop,
    // since a sum of steps taken at once would round differently.
    const __m128 gainStep = _mm_setr_ps(stepLeft, stepRight, 0.0f, 0.0f);
    __m128 gain = _mm_setr_ps(gainLeft, gainRight, 0.0f, 0.0f);
    EightPositions p = FirstEight(stride);
    int32_t k = 0;
    for (; k + 8 <= frames; k += 8) {
        __m128 g[8];
        g[0] = gain;
        for (int j = 1; j < 8; ++j) g[j] = _mm_add_ps(g[j - 1], gainStep);
        gain = _mm_add_ps(g[7], gainStep);
        const __m256 gains0123 =
            _mm256_set_m128(_mm_movelh_ps(g[2], g[3]), _mm_movelh_ps(g[0], g[1]));
        const __m256 gains4567 =
            _mm256_set_m128(_mm_movelh_ps(g[6], g[7]), _mm_movelh_ps(g[4], g[5]));
        AddEight(out + 2 * k, InterpolateEight(data, p), gains0123, gains4567);
        Advance(p, step);
    }
    if (k == 0) {
        return Sse2MixKernels()->ramp(out, data, position, delta, frames, gainLeft, gainRight,
                                      stepLeft, stepRight);
    }
    gainLeft = _mm_cvtss_f32(gain);
    gainRight = _mm_cvtss_f32(_mm_shuffle_ps(gain, gain, _MM_SHUFFLE(1, 1, 1, 1)));
    const uint64_t at = stride.start + static_cast<uint64_t>(k) * stride.move;
    Sse2MixKernels()->ramp(out + 2 * k, data, at, delta, frames - k, gainLeft, gainRight, stepLeft,
                           stepRight);
    return EndOf(stride, frames);
}

}  // namespace

// The conversion is bound by memory, not by width: it stays the SSE2 one.
const MixKernels* Avx2MixKernels() {
    static const MixKernels kernels{"avx2", RenderSteadyAvx2, RenderRampAvx2,
                                    Sse2MixKernels()->toPcm16};
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? &kernels : nullptr;
}

#else

const MixKernels* Avx2MixKernels() { return nullptr; }

#endif
