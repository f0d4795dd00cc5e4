#include "effects/captions.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "assets/embedded_data.h"
#include "effects/colour_table.h"
#include "platform/display.h"
#include "show/song_clock.h"
#include "show/wrapping.h"

Caption captionTable[kCaptionCount];
ActiveCaption activeCaptions[kActiveCaptionSlots];
int32_t activeCaptionEnd = 0;

namespace {

// The font sheet: 62 cells of 24 x 28 for codes 32..93 side by side; a glyph is the 23 x 27 block
// one pixel in from its cell's top-left corner. Index 0 is transparent.
constexpr int32_t kFontSheetWidth = 1500;
constexpr int32_t kFontCellWidth = 24;
constexpr int32_t kGlyphWidth = 23;
constexpr int32_t kGlyphHeight = 27;
constexpr uint8_t kFirstGlyphCode = 32;
constexpr int32_t kGlyphCells = 62;
static_assert(kGlyphCells * kFontCellWidth <= kFontSheetWidth);
constexpr int32_t kPixels = static_cast<int32_t>(kFramePixels);  // signed: pens may lie before 0
constexpr int32_t kWidth = static_cast<int32_t>(kFrameWidth);

// The embedded script: a count byte, then per caption five little-endian 32-bit fields (start,
// end, offset of its text from the script's first byte, x, y), then the texts.
constexpr uint32_t kScriptRecordBytes = 20;

uint32_t ScriptField(uint32_t caption, uint32_t field) {
    uint32_t value = 0;
    std::memcpy(&value, captionScript + 1 + caption * kScriptRecordBytes + 4 * field, 4);
    return value;
}

void RemoveSlot(int32_t slot) {
    std::copy(activeCaptions + slot + 1, activeCaptions + activeCaptionEnd, activeCaptions + slot);
    --activeCaptionEnd;
    activeCaptions[activeCaptionEnd] = ActiveCaption{};
}

}  // namespace

void ResetCaptions() {
    std::fill(std::begin(activeCaptions), std::end(activeCaptions), ActiveCaption{});
    activeCaptionEnd = 0;
    // The build checks the script (its count, lengths, glyphs and positions). Should it still
    // hold fewer records, or a text offset outside it, those captions stay without a text and
    // never show rather than read past the script.
    const bool terminated = captionScriptBytes > 0 && captionScript[captionScriptBytes - 1] == 0;
    const uint32_t records =
        terminated ? std::min<uint32_t>({captionScript[0], kCaptionCount,
                                         (captionScriptBytes - 1) / kScriptRecordBytes})
                   : 0;
    std::fill(std::begin(captionTable), std::end(captionTable),
              Caption{kCaptionShown, 0, nullptr, 0, 0});
    for (uint32_t c = 0; c < records; ++c) {
        const uint32_t textOffset = ScriptField(c, 2);
        captionTable[c] = Caption{ScriptField(c, 0), ScriptField(c, 1),
                                  textOffset < captionScriptBytes
                                      ? reinterpret_cast<const char*>(captionScript) + textOffset
                                      : nullptr,
                                  static_cast<int32_t>(ScriptField(c, 3)),
                                  static_cast<int32_t>(ScriptField(c, 4))};
        if (!captionTable[c].text) captionTable[c].start = kCaptionShown;
    }
}

void UpdateCaptions() {
    const uint32_t position = GetSongPosition();
    for (Caption& caption : captionTable) {
        if (caption.start == position) {
            // 41 captions each shown once never fill the 99 slots; the test keeps it so.
            if (activeCaptionEnd < kActiveCaptionSlots) {
                activeCaptions[activeCaptionEnd++] =
                    ActiveCaption{caption.text, caption.x, caption.y};
            }
            caption.start = kCaptionShown;
        } else if (position > caption.end) {
            for (int32_t slot = 0; slot < activeCaptionEnd; ++slot) {
                if (activeCaptions[slot].text == caption.text) {
                    RemoveSlot(slot);
                    break;
                }
            }
        }
    }
}

void DrawCaptions() {
    for (const ActiveCaption& shown : activeCaptions) {
        if (!shown.text || shown.y < 0 || shown.y >= static_cast<int32_t>(kFrameHeight)) continue;
        DrawCaptionText(shown.text,
                        WrappingAdd(static_cast<int32_t>(rowOffset[shown.y] / 2), shown.x));
    }
}

int32_t CaptionAdvance(uint8_t code) {
    switch (code) {
        case 'W': case 'M': return 24;
        case 'I': return 8;
        case 'L': return 11;
        default: return 16;
    }
}

void DrawCaptionText(const char* text, int32_t pixel) {
    for (; *text; ++text) {
        const auto code = static_cast<uint8_t>(*text);
        if (code != ' ') DrawGlyph(code, pixel);
        pixel = WrappingAdd(pixel, CaptionAdvance(code));
    }
}

void DrawGlyph(uint8_t code, int32_t pixel) {
    const int32_t cell = static_cast<uint8_t>(code - kFirstGlyphCode);
    if (cell >= kGlyphCells) return;  // no cell: reading on would leave the sheet
    const uint8_t* source = fontSheet + kFontSheetWidth + cell * kFontCellWidth + 1;
    for (int32_t r = 0; r < kGlyphHeight; ++r, source += kFontSheetWidth) {
        // In 64 bits: a pen near either end of the 32-bit range puts rows far outside the
        // FrameBuffer, and no row start or clip may wrap back into it.
        const int64_t rowStart = int64_t{pixel} + int64_t{r} * kWidth;
        // Only the pixels inside the 64000 are written; within them the row wraps linearly.
        const int64_t first = std::max<int64_t>(0, -rowStart);
        const int64_t last = std::min<int64_t>(kGlyphWidth, kPixels - rowStart);
        for (int64_t k = first; k < last; ++k) {
            if (source[k] != 0) FrameBuffer[rowStart + k] = fontColours.colour[source[k]];
        }
    }
}
