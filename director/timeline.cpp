#include "director/timeline.h"

#include "director/scene_pixels.h"
#include "director/song_clock.h"
#include "platform/display.h"
#include "platform/keyboard.h"

namespace {

// Above every 16-bit song position, so the end test alone never ends the last scene.
constexpr uint32_t kNoEndPosition = 0xFFFFFFFF;
constexpr uint16_t kWhite = 0xFFFF;
constexpr uint16_t kBlack = 0x0000;

using DrawSteps = void (*)();

// Every scene's frame: poll, draw, present, then the end test with a fresh position. The body runs
// at least once, so a scene entered after its end position shows exactly one frame.
void RunScene(DrawSteps draw, uint32_t endPosition) {
    do {
        PollKeyboard();
        draw();
        PresentFrame();
    } while (GetSongPosition() < endPosition && keyDown[DIK_ESCAPE] == 0);
}

// The scenes' pictures come with their effects; until then each scene draws a black frame.
void DrawScene1() { FillFrame(kBlack); }
void DrawScene2() { FillFrame(kBlack); }
void DrawScene3() { FillFrame(kBlack); }
void DrawScene4() { FillFrame(kBlack); }
void DrawScene5() { FillFrame(kBlack); }
void DrawScene6() { FillFrame(kBlack); }
void DrawScene7() { FillFrame(kBlack); }
void DrawScene8() { FillFrame(kBlack); }

}  // namespace

void PresentWhiteFlash(int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        FillFrame(kWhite);
        PresentFrame();
    }
}

void RunTimeline() {
    RunScene(DrawScene1, kSceneEndPositions[0]);
    PresentWhiteFlash(kFlashFramesAfterScene1);
    RunScene(DrawScene2, kSceneEndPositions[1]);
    RunScene(DrawScene3, kSceneEndPositions[2]);
    RunScene(DrawScene4, kSceneEndPositions[3]);
    RunScene(DrawScene5, kSceneEndPositions[4]);
    PresentWhiteFlash(kFlashFramesAfterScene5);
    RunScene(DrawScene6, kSceneEndPositions[5]);
    RunScene(DrawScene7, kSceneEndPositions[6]);
    RunScene(DrawScene8, kNoEndPosition);
}
