#include "tools/capture/contact_sheet.h"

#include <algorithm>
#include <cstdio>

#include "tools/capture/frame_rgb.h"
#include "tools/capture/label_font.h"

namespace {

constexpr int32_t kGapPixels = 4;
constexpr int32_t kLabelScale = 2;
constexpr int32_t kLabelPixels = kGlyphHeight * kLabelScale + 2 * kGapPixels;
constexpr int32_t kCellWidth = kScreenWidth + kGapPixels;
constexpr int32_t kCellHeight = kScreenHeight + kLabelPixels;
constexpr uint8_t kBackground = 40;

uint8_t* CellAt(ContactSheet* sheet, int32_t row, int32_t column) {
    const size_t x = static_cast<size_t>(kGapPixels + column * kCellWidth);
    const size_t y = static_cast<size_t>(kGapPixels + row * kCellHeight);
    return sheet->rgb.data() + (y * static_cast<size_t>(sheet->width) + x) * 3;
}

}  // namespace

void LayOutContactSheet(ContactSheet* sheet, const ShowSegment* segments, size_t count,
                        int32_t framesPerSecond) {
    const auto rows = static_cast<int32_t>(count);
    sheet->width = kGapPixels + kSheetColumns * kCellWidth;
    sheet->height = kGapPixels + std::max(rows, 1) * kCellHeight;
    sheet->rgb.assign(static_cast<size_t>(sheet->width) * sheet->height * 3, kBackground);
    sheet->tiles.clear();
    for (int32_t row = 0; row < rows; ++row) {
        const ShowSegment& segment = segments[row];
        const uint64_t frames[kSheetColumns] = {segment.firstFrame,
                                                segment.firstFrame + (segment.frameCount - 1) / 2,
                                                segment.firstFrame + segment.frameCount - 1};
        for (int32_t column = 0; column < kSheetColumns; ++column) {
            sheet->tiles.push_back(SheetTile{frames[column], row, column});
            // Show time to the hundredth, truncated: the label names the frame's own start.
            const uint64_t centiseconds = frames[column] * 100 / framesPerSecond;
            char label[48];
            std::snprintf(label, sizeof label, "%s %d  %llu.%02llu s",
                          segment.scene ? "scene" : "flash",
                          segment.scene ? segment.scene : segment.flash,
                          static_cast<unsigned long long>(centiseconds / 100),
                          static_cast<unsigned long long>(centiseconds % 100));
            DrawLabel(CellAt(sheet, row, column), sheet->width * 3, 0, kScreenHeight + kGapPixels,
                      label, kLabelScale);
        }
    }
    std::stable_sort(sheet->tiles.begin(), sheet->tiles.end(),
                     [](const SheetTile& a, const SheetTile& b) { return a.frame < b.frame; });
}

void PlaceTile(ContactSheet* sheet, const SheetTile& tile, const uint8_t* screen) {
    ScreenToRgb(screen, CellAt(sheet, tile.row, tile.column), sheet->width * 3);
}
