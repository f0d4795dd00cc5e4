// The show: eight scenes in a fixed order, each a frame loop that ends when the song reaches the
// scene's end position or Escape is down, with white flashes after scenes 1 and 5.
#pragma once

#include <cstdint>

inline constexpr int32_t kSceneCount = 8;
// Scene s (1..7) runs while the song position is below entry s - 1; scene 8 only ends on Escape.
inline constexpr uint32_t kSceneEndPositions[kSceneCount - 1] = {0x0500, 0x0700, 0x0800, 0x0900,
                                                                  0x0B00, 0x0E00, 0x1200};
inline constexpr int32_t kFlashFramesAfterScene1 = 3;
inline constexpr int32_t kFlashFramesAfterScene5 = 5;

// Runs scenes 1 to 8 and returns when scene 8 ends.
void RunTimeline();
// The scene whose frames are being drawn, 1..8, or 0 outside the scenes (flashes included), for
// tools and tests that follow the show from outside.
int32_t CurrentScene();
// n white frames, with no keyboard poll and no look at the song.
void PresentWhiteFlash(int32_t n);
