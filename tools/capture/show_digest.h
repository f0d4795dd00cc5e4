// A digest of the show that says where it changed: per stretch (each scene, each run of white
// flash frames), the SHA-256 of its frames and the SHA-256 of the sound played with them. The
// capture writes it (--digest); the whole-show test holds the show to a recorded one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/capture/sha256.h"
#include "tools/capture/show_segments.h"

struct ShowDigest {
    SegmentLog segments;
    Sha256 picture[kMaxSegments];  // the frames' bytes, RGB 5-6-5 little-endian, in order
    Sha256 sound[kMaxSegments];    // 16-bit stereo frames, as the device played them
    uint64_t soundFrames[kMaxSegments];
};

// Nothing here allocates once started, so a show recorded through it still allocates nothing.
void StartShowDigest(ShowDigest* digest);
// Presented frame `frame` (`screenBytes` of it), drawn by `scene` (0 for a flash).
void NoteDigestFrame(ShowDigest* digest, uint64_t frame, int32_t scene, const uint8_t* screen,
                     size_t screenBytes);
// The sound the device played with the frame noted last; before the first frame there is none.
void NoteDigestSound(ShowDigest* digest, const int16_t* frames, uint32_t count);

// One line per stretch, after a comment line:
//   scene 1 frames 0+2576 picture <64 hex> sound 1622880 <64 hex>
//   flash 1 frames 2576+3 picture <64 hex> sound 1890 <64 hex>
// (first frame + frame count, the sound's length in stereo frames). The states are spent.
std::string FinishShowDigest(ShowDigest* digest);
