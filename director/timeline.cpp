#include "director/timeline.h"

#include "director/scene_pixels.h"
#include "director/song_clock.h"
#include "platform/display.h"
#include "platform/keyboard.h"

namespace {

constexpr uint16_t kWhite = 0xFFFF;
constexpr uint16_t kBlack = 0x0000;

int32_t currentScene = 0;

// The scenes' pictures come with their effects; until then each scene draws a black frame.
void DrawBlack() { FillFrame(kBlack); }

// Every scene's frame: poll, draw, present, then the end test with a fresh position. The body runs
// at least once, so a scene entered after its end position shows exactly one frame.
void RunScene(int32_t number, const Scene& scene) {
    if (scene.enter) scene.enter();
    currentScene = number;
    do {
        PollKeyboard();
        scene.drawFrame();
        PresentFrame();
    } while (GetSongPosition() < scene.endPosition && keyDown[DIK_ESCAPE] == 0);
    currentScene = 0;
    PresentWhiteFlash(scene.flashFramesAfter);
}

}  // namespace

// The end positions follow the embedded song's orders: order in the high byte, row in the low.
const Scene showScenes[kSceneCount] = {
    // enter    drawFrame   endPosition     flashes
    {nullptr, DrawBlack, 0x0500, 3},          // 1, orders 0-4: grainy picture, captions, mesh beats
    {nullptr, DrawBlack, 0x0700, 0},          // 2, orders 5-6: wave plane with the mesh
    {nullptr, DrawBlack, 0x0800, 0},          // 3, order 7: wave plane, mesh, the mask opening
    {nullptr, DrawBlack, 0x0900, 0},          // 4, order 8: the mask closing, the tunnel fading in
    {nullptr, DrawBlack, 0x0B00, 5},          // 5, orders 9-10: warped tunnel, flare trail
    {nullptr, DrawBlack, 0x0E00, 0},          // 6, orders 11-13: star field of flares, captions
    {nullptr, DrawBlack, 0x1200, 0},          // 7, orders 14-17: two pictures swapping on the beat
    {nullptr, DrawBlack, kNoEndPosition, 0},  // 8, order 18 repeating: mesh and end picture, until Escape
};

int32_t CurrentScene() { return currentScene; }

void PresentWhiteFlash(int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        FillFrame(kWhite);
        PresentFrame();
    }
}

void RunTimeline() {
    for (int32_t s = 0; s < kSceneCount; ++s) RunScene(s + 1, showScenes[s]);
}
