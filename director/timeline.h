// The show: eight scenes in a fixed order, each a frame loop that ends when the song reaches the
// scene's end position or on a press of Escape, with white flashes after scenes 1 and 5. A press
// ends the current scene only; Escape held for half a second from its press ends every remaining
// scene after one frame.
#pragma once

#include <cstdint>

using SceneStep = void (*)();

// Above every 16-bit song position: the end test alone never ends a scene that has it.
inline constexpr uint32_t kNoEndPosition = 0xFFFFFFFF;

// One scene of the show. Every frame polls the keyboard, runs `drawFrame`, presents, and then
// tests the end with a fresh song position and what the poll said of Escape.
struct Scene {
    SceneStep enter;            // once, before the first frame; null for none
    SceneStep drawFrame;        // redraws the whole FrameBuffer
    uint32_t endPosition;       // the scene runs while the song position is below this
    int32_t flashFramesAfter;   // white frames presented after the scene's last frame
};

inline constexpr int32_t kSceneCount = 8;
// The show in order: showScenes[s - 1] is scene s.
extern const Scene showScenes[kSceneCount];

// Puts every effect's and scene's running state back to its start values (each one's Reset...),
// so that a show run twice in one process runs the same. RunTimeline calls it first.
void ResetEffects();
// Runs scenes 1 to 8 and returns when scene 8 ends.
void RunTimeline();
// The scene whose frames are being drawn, 1..8, or 0 outside the scenes (flashes included), for
// tools and tests that follow the show from outside.
int32_t CurrentScene();
// n white frames, with no keyboard poll and no look at the song.
void PresentWhiteFlash(int32_t n);
