#include "director/scene_pixels.h"

#include <algorithm>

#include "assets/embedded_data.h"
#include "effects/colour_table.h"
#include "effects/shared_tables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

uint16_t workPicture[kFramePixels];
uint8_t maskLevel = 255;
uint8_t fadeLevel = 0;

namespace {

constexpr uint16_t kWarpPhaseStepPerFrame = 0x0A0A;

// sat(a - b) on fields: never below 0.
uint32_t Less(uint32_t field, uint32_t amount) { return field > amount ? field - amount : 0; }

uint16_t TunnelEntry(uint32_t i) {
    return static_cast<uint16_t>(tunnelMap[2 * i] | tunnelMap[2 * i + 1] << 8);
}

}  // namespace

void ResetScenePixels() {
    maskLevel = 255;
    fadeLevel = 0;
}

void FillFromPicture(const uint8_t* picture, int32_t shift) {
    // A shift past the byte leaves nothing of it, and none is negative: clamped, so that the
    // shift is always defined.
    shift = std::clamp(shift, 0, 8);
    for (uint32_t i = 0; i < kFramePixels; ++i) {
        FrameBuffer[i] = static_cast<uint16_t>(picture[i] >> shift);
    }
}

void OverlayPicture(const uint8_t* picture) {
    for (uint32_t i = 0; i < kFramePixels; ++i) {
        if (picture[i] != 0) FrameBuffer[i] = picture[i];
    }
}

void FillFrame(uint16_t colour) { std::fill(FrameBuffer, FrameBuffer + kFramePixels, colour); }

void DarkenByMask() {
    const uint32_t level = maskLevel;
    for (uint32_t i = 0; i < kFramePixels; ++i) {
        // The 8-bit negation: index 0 gives 0 and never darkens, index 1 gives 255, the most.
        const uint32_t inverse = (256u - maskPicture[i]) & 0xFF;
        const uint32_t d = Less(inverse, level);
        if (d == 0) continue;
        const uint32_t p = FrameBuffer[i];
        const uint32_t red = Less(RedOf565(p), d >> 3);
        const uint32_t green = Less(GreenOf565(p), d >> 2);
        const uint32_t blue = Less(BlueOf565(p), d >> 3);
        FrameBuffer[i] = Pack565(red, green, blue);
    }
}

void DrawTunnel() {
    for (uint32_t i = 0; i < kFramePixels; ++i) {
        // A 16-bit sum: the depth's carry moves the angle on by one.
        const auto texel = static_cast<uint16_t>(TunnelEntry(i) + wavePhase);
        workPicture[i] = textureColours.colour[planeTexture[texel]];
    }
}

void DrawWarpedTunnel() {
    const uint8_t phaseLow = static_cast<uint8_t>(wavePhase);
    const uint8_t c = sineBytes[static_cast<uint8_t>(wavePhase >> 8)];
    for (uint32_t i = 0; i < kFramePixels; ++i) {
        const uint16_t entry = TunnelEntry(i);
        const auto depth = static_cast<uint8_t>(entry);
        const auto angle = static_cast<uint8_t>(entry >> 8);
        const uint8_t a = sineBytes[static_cast<uint8_t>(depth + phaseLow)];
        const uint8_t b = sineBytes[static_cast<uint8_t>(a + 2 * angle + phaseLow)];
        const auto x = static_cast<uint8_t>((b >> 3) + 2 * depth);
        const uint8_t d = sineBytes[static_cast<uint8_t>(c + depth + phaseLow)];
        const auto y = static_cast<uint8_t>((d >> 2) + angle);
        const auto column = static_cast<uint8_t>(x + angle);
        workPicture[i] = textureColours.colour[planeTexture[column << 8 | y]];
    }
    wavePhase = static_cast<uint16_t>(wavePhase - kWarpPhaseStepPerFrame);
}

int32_t StepFadeLevel(int32_t cap) {
    const int32_t t = fadeLevel + 1;
    if (t != cap) fadeLevel = static_cast<uint8_t>(t);
    return t;
}

void CrossFade(int32_t t, bool halved) {
    // The levels are bytes: t, 32 - t, their halves and their doubles all wrap at 256, which only
    // a t above 32 (the show never passes one) can tell.
    const auto level = static_cast<uint8_t>(t);
    const auto rest = static_cast<uint8_t>(32 - level);
    const uint32_t a = halved ? level >> 1 : level;
    const uint32_t b = halved ? rest >> 1 : rest;
    const uint32_t a2 = static_cast<uint8_t>(2 * a);
    const uint32_t b2 = static_cast<uint8_t>(2 * b);
    uint32_t i = 0;
#if defined(__SSE2__)
    // Eight pixels at a time, field by field: unsigned saturating subtraction is sat(), and the
    // sums stay far inside 16 bits before the clamp.
    const __m128i blueMask = _mm_set1_epi16(31);
    const __m128i greenMask = _mm_set1_epi16(63);
    const __m128i fa = _mm_set1_epi16(static_cast<int16_t>(a));
    const __m128i fb = _mm_set1_epi16(static_cast<int16_t>(b));
    const __m128i ga = _mm_set1_epi16(static_cast<int16_t>(a2));
    const __m128i gb = _mm_set1_epi16(static_cast<int16_t>(b2));
    for (; i + 8 <= kFramePixels; i += 8) {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(FrameBuffer + i));
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(workPicture + i));
        const __m128i blue = _mm_min_epi16(
            _mm_add_epi16(_mm_subs_epu16(_mm_and_si128(f, blueMask), fa),
                          _mm_subs_epu16(_mm_and_si128(w, blueMask), fb)),
            blueMask);
        const __m128i green = _mm_min_epi16(
            _mm_add_epi16(_mm_subs_epu16(_mm_and_si128(_mm_srli_epi16(f, 5), greenMask), ga),
                          _mm_subs_epu16(_mm_and_si128(_mm_srli_epi16(w, 5), greenMask), gb)),
            greenMask);
        const __m128i red = _mm_min_epi16(_mm_add_epi16(_mm_subs_epu16(_mm_srli_epi16(f, 11), fa),
                                                        _mm_subs_epu16(_mm_srli_epi16(w, 11), fb)),
                                          blueMask);
        const __m128i pixels =
            _mm_or_si128(_mm_or_si128(_mm_slli_epi16(red, 11), _mm_slli_epi16(green, 5)), blue);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(FrameBuffer + i), pixels);
    }
#endif
    for (; i < kFramePixels; ++i) {
        const uint32_t f = FrameBuffer[i];
        const uint32_t w = workPicture[i];
        const uint32_t blue =
            std::min<uint32_t>(kBlueMax, Less(BlueOf565(f), a) + Less(BlueOf565(w), b));
        const uint32_t green =
            std::min<uint32_t>(kGreenMax, Less(GreenOf565(f), a2) + Less(GreenOf565(w), b2));
        const uint32_t red =
            std::min<uint32_t>(kRedMax, Less(RedOf565(f), a) + Less(RedOf565(w), b));
        FrameBuffer[i] = Pack565(red, green, blue);
    }
}
