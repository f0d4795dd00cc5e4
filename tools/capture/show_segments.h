// The stretches of the show as the capture sees them go by: each scene, and each run of white
// flash frames between two scenes.
#pragma once

#include <cstddef>
#include <cstdint>

struct ShowSegment {
    int32_t scene;  // 1..8, or 0 for a flash
    int32_t flash;  // 1, 2, ... for a flash, else 0
    uint64_t firstFrame;
    uint64_t frameCount;
};

// Eight scenes and a flash after each would be 16; the show has two flashes.
inline constexpr size_t kMaxSegments = 16;

struct SegmentLog {
    ShowSegment segments[kMaxSegments];
    size_t count;
    int32_t flashes;
};

// Counts presented frame `frame`, drawn by `scene` (the timeline's CurrentScene(): 0 for a flash).
// Frames come in order, one call each.
void NoteSegmentFrame(SegmentLog* log, uint64_t frame, int32_t scene);
