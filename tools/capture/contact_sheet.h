// The contact sheet: one row per stretch of the show (scene or flash) with its first, middle and
// last frame, each at 320 x 200 and labelled with the scene and the show time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/capture/show_segments.h"

inline constexpr int32_t kSheetColumns = 3;

struct SheetTile {
    uint64_t frame;
    int32_t row;
    int32_t column;
};

struct ContactSheet {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
    std::vector<SheetTile> tiles;  // in frame order
};

// Sizes the sheet for the segments, draws the labels and lists the frames it needs; the frame
// rate turns frame numbers into show times.
void LayOutContactSheet(ContactSheet* sheet, const ShowSegment* segments, size_t count,
                        int32_t framesPerSecond);
// Puts the presented screen in the tile's place.
void PlaceTile(ContactSheet* sheet, const SheetTile& tile, const uint8_t* screen);
