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

int32_t currentScene = 0;

// Every scene's frame: poll, draw, present, then the end test with a fresh position. The body runs
// at least once, so a scene entered after its end position shows exactly one frame.
void RunScene(int32_t scene, DrawSteps draw, uint32_t endPosition) {
    currentScene = scene;
    do {
        PollKeyboard();
        draw();
        PresentFrame();
    } while (GetSongPosition() < endPosition && keyDown[DIK_ESCAPE] == 0);
    currentScene = 0;
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

int32_t CurrentScene() { return currentScene; }

void PresentWhiteFlash(int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        FillFrame(kWhite);
        PresentFrame();
    }
}

void RunTimeline() {
    RunScene(1, DrawScene1, kSceneEndPositions[0]);
    PresentWhiteFlash(kFlashFramesAfterScene1);
    RunScene(2, DrawScene2, kSceneEndPositions[1]);
    RunScene(3, DrawScene3, kSceneEndPositions[2]);
    RunScene(4, DrawScene4, kSceneEndPositions[3]);
    RunScene(5, DrawScene5, kSceneEndPositions[4]);
    PresentWhiteFlash(kFlashFramesAfterScene5);
    RunScene(6, DrawScene6, kSceneEndPositions[5]);
    RunScene(7, DrawScene7, kSceneEndPositions[6]);
    RunScene(8, DrawScene8, kNoEndPosition);
}
