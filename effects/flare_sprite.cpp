#include "effects/flare_sprite.h"

#include <algorithm>

#include "assets/embedded_data.h"
#include "effects/colour_table.h"
#include "platform/display.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int32_t kPixels = static_cast<int32_t>(kFramePixels);  // signed: pens may lie before 0
constexpr int32_t kPictureWidth = static_cast<int32_t>(kFrameWidth);
constexpr uint16_t kRedField = Pack565(kRedMax, 0, 0);

// The flare's colours, looked up once by PrepareFlare so that a blend reads 16-bit values only.
uint16_t flareBlock[kFlareHeight][kFlareWidth];

#if defined(__SSE2__)
// Eight pixels at a time, bit for bit the per-field rule: each field is moved to the top of a
// 16-bit lane, where the unsigned saturating addition stops exactly at the field's maximum.
void BlendRowWide(uint16_t* destination, const uint16_t* source) {
    const __m128i red = _mm_set1_epi16(static_cast<int16_t>(kRedField));
    const __m128i top6 = _mm_set1_epi16(static_cast<int16_t>(0xFC00));
    for (int32_t k = 0; k < kFlareWidth; k += 8) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + k));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + k));
        const __m128i r =
            _mm_and_si128(_mm_adds_epu16(_mm_and_si128(d, red), _mm_and_si128(s, red)), red);
        const __m128i g =
            _mm_srli_epi16(_mm_and_si128(_mm_adds_epu16(_mm_and_si128(_mm_slli_epi16(d, 5), top6),
                                                        _mm_and_si128(_mm_slli_epi16(s, 5), top6)),
                                         top6),
                           5);
        const __m128i b =
            _mm_srli_epi16(_mm_adds_epu16(_mm_slli_epi16(d, 11), _mm_slli_epi16(s, 11)), 11);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + k),
                         _mm_or_si128(_mm_or_si128(r, g), b));
    }
}
#else
void BlendRowWide(uint16_t* destination, const uint16_t* source) {
    for (int32_t k = 0; k < kFlareWidth; ++k) {
        destination[k] = AddFieldsSaturating(destination[k], source[k]);
    }
}
#endif

}  // namespace

uint16_t AddFieldsSaturating(uint16_t destination, uint16_t source) {
    const uint32_t red = std::min<uint32_t>(kRedMax, RedOf565(destination) + RedOf565(source));
    const uint32_t green =
        std::min<uint32_t>(kGreenMax, GreenOf565(destination) + GreenOf565(source));
    const uint32_t blue = std::min<uint32_t>(kBlueMax, BlueOf565(destination) + BlueOf565(source));
    return Pack565(red, green, blue);
}

void PrepareFlare() {
    for (int32_t r = 0; r < kFlareHeight; ++r) {
        const uint8_t* indices = flarePicture + r * kPictureWidth;
        for (int32_t k = 0; k < kFlareWidth; ++k) flareBlock[r][k] = flareColours.colour[indices[k]];
    }
}

void BlendFlare(int32_t pixel) {
    for (int32_t r = 0; r < kFlareHeight; ++r) {
        // In 64 bits, so that a pixel near the ends of the 32-bit range cannot wrap a row start
        // or its clip back into the FrameBuffer.
        const int64_t rowStart = int64_t{pixel} + int64_t{r} * kPictureWidth;
        if (rowStart >= kPixels) break;
        if (rowStart + kFlareWidth <= 0) continue;
        const uint16_t* colours = flareBlock[r];
        if (rowStart >= 0 && rowStart + kFlareWidth <= kPixels) {
            BlendRowWide(FrameBuffer + rowStart, colours);
            continue;
        }
        // A row that crosses the start or the end of the FrameBuffer: its inside part only.
        const int64_t first = std::max<int64_t>(0, -rowStart);
        const int64_t last = std::min<int64_t>(kFlareWidth, kPixels - rowStart);
        for (int64_t k = first; k < last; ++k) {
            FrameBuffer[rowStart + k] = AddFieldsSaturating(FrameBuffer[rowStart + k], colours[k]);
        }
    }
}
