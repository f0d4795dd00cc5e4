#include "director/timeline.h"

#include "director/beat_tables.h"
#include "director/mesh_motion.h"
#include "director/scene_pixels.h"
#include "director/song_clock.h"
#include "effects/additive_mesh.h"
#include "effects/captions.h"
#include "effects/colour_table.h"
#include "effects/grain.h"
#include "effects/wave_plane.h"
#include "platform/display.h"
#include "platform/keyboard.h"

namespace {

constexpr uint16_t kWhite = 0xFFFF;
constexpr uint16_t kBlack = 0x0000;

int32_t currentScene = 0;

// Scene 1 shows the wave plane only once the song has moved past the scene's end since the last
// end test: never as a rule, as the position changes between two reads.
constexpr uint32_t kScene1PlaneAfter = 0x0500;
// The glass mesh: a bright blue-green in the opening, a faint one at the end.
constexpr uint16_t kOpeningMeshColour = 4299;
constexpr uint16_t kClosingMeshColour = 1;

void Captions() {
    UpdateCaptions();
    DrawCaptions();
}

// Each scene's steps in their order. A black fill stands in for the pictures (the intro, the
// swap pictures) until they come; the mesh, mask, tunnels and flares join with their effects.
void DrawScene1() {
    meshColour = kOpeningMeshColour;
    FillFrame(kBlack);
    ApplyGrainGrey();
    if (GetSongPosition() > kScene1PlaneAfter) DrawWavePlane();
    AdvanceMeshMotion();
    // The mesh flashes up while the song stands on a beat; each entry reads the song afresh.
    for (const uint32_t beat : meshBeatPositions) {
        if (GetSongPosition() == beat) DrawPulsingMesh();
    }
    Captions();
}

void DrawPlaneScene() {
    DrawWavePlane();
    AdvanceMeshMotion();
    DrawPulsingMesh();
}

void DrawScene3() {
    Captions();  // drawn first: the wave plane covers them
    DrawWavePlane();
    AdvanceMeshMotion();
    DrawPulsingMesh();
}

void DrawScene6() {
    ApplyGrainGrey();  // overwritten by the fill, but its noise moves on
    FillFrame(textureColours.colour[0]);
    Captions();
}

void DrawScene7() {
    FillFrame(kBlack);
    ApplyGrainGrey();
    Captions();
}

void DrawScene8() {
    FillFrame(kBlack);
    // The mesh stays in the middle of the screen and turns about one axis only.
    meshTurn2 += 1;
    meshShift1 = 0;
    meshShift2 = 0;
    meshDistance = 300;
    DrawPulsingMesh();
    meshColour = kClosingMeshColour;
    ApplyGrainGrey();
    Captions();
}

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
    // enter  drawFrame       endPosition     flashes
    {nullptr, DrawScene1, 0x0500, 3},          // 1, orders 0-4: grainy picture, captions, mesh
    {nullptr, DrawPlaneScene, 0x0700, 0},      // 2, orders 5-6: wave plane with the mesh
    {nullptr, DrawScene3, 0x0800, 0},          // 3, order 7: wave plane, mesh, the mask opening
    {nullptr, DrawPlaneScene, 0x0900, 0},      // 4, order 8: the mask closing, the tunnel fading in
    {nullptr, DrawPlaneScene, 0x0B00, 5},      // 5, orders 9-10: warped tunnel, flare trail
    {nullptr, DrawScene6, 0x0E00, 0},          // 6, orders 11-13: star field of flares, captions
    {nullptr, DrawScene7, 0x1200, 0},          // 7, orders 14-17: two pictures swapping on the beat
    {nullptr, DrawScene8, kNoEndPosition, 0},  // 8, order 18 on repeat: mesh, end picture, captions
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
