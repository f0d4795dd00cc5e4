#include "effects/grain.h"

#include "assets/embedded_data.h"
#include "platform/display.h"
#include "platform/pixel_565.h"

uint16_t grainOffset = 0;

void ResetGrain() { grainOffset = 0; }

namespace {

constexpr uint32_t kFrameBytes = 2 * kFramePixels;
constexpr uint16_t kOffsetStepPerCall = 768;
// The grey pass rebuilds pixels 321 .. 63680: from row 1, column 1, to row 199, column 0.
constexpr uint32_t kFirstGreyPixel = kFrameWidth + 1;
constexpr uint32_t kLastGreyPixel = kFramePixels - kFrameWidth;
static_assert(kModuleLeadBytes == 3676, "the window start rule is written for this lead");

}  // namespace

const uint8_t* GrainWindow() {
    const int32_t start = static_cast<int32_t>((kModuleLeadBytes + grainOffset) & 0xFFFF) -
                          static_cast<int32_t>(kModuleLeadBytes);
    return embeddedModule + start;
}

void ApplyGrainGrey() {
    // Byte-wise, so one addition serves both halves of a pixel; each byte wraps on its own and
    // never carries into its neighbour: a bright pixel can wrap to a dark one.
    const uint8_t* noise = GrainWindow();
    auto* bytes = reinterpret_cast<uint8_t*>(FrameBuffer);
    for (uint32_t k = 0; k < kFrameBytes; ++k) {
        bytes[k] = static_cast<uint8_t>(bytes[k] + (noise[k] >> 5));
    }
    grainOffset = static_cast<uint16_t>(grainOffset + kOffsetStepPerCall);

    // In place, left to right: the left neighbour is the grey just written, the right one still
    // the grain's. Neighbours are linear, so a row's last pixel blends with the next row's first.
    uint16_t* pixels = FrameBuffer;
    uint32_t left = BlueOf565(pixels[kFirstGreyPixel - 1]);
    for (uint32_t i = kFirstGreyPixel; i <= kLastGreyPixel; ++i) {
        const uint32_t s = (2 * BlueOf565(pixels[i]) + BlueOf565(pixels[i + 1]) + left) >> 2;
        pixels[i] = Pack565(s, 2 * s, s);
        left = s;
    }
}
