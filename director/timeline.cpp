#include "director/timeline.h"

#include <utility>

#include "assets/embedded_data.h"
#include "director/flare_field.h"
#include "director/scene_pixels.h"
#include "effects/additive_mesh.h"
#include "effects/captions.h"
#include "effects/colour_table.h"
#include "effects/grain.h"
#include "effects/shared_tables.h"
#include "effects/wave_plane.h"
#include "platform/display.h"
#include "platform/keyboard.h"
#include "show/beat_tables.h"
#include "show/mesh_motion.h"
#include "show/song_clock.h"
#include "show/wrapping.h"

namespace {

constexpr uint16_t kWhite = 0xFFFF;
constexpr uint16_t kBlack = 0x0000;

int32_t currentScene = 0;

// How the timeline reads Escape. keyDown says only whether the key was down at the last poll, and
// a person's press lasts several frames, so a level would end a scene per frame of it: a press
// (the key seen down after being seen up) ends the current scene only, and a press still down on
// the kEscapeHoldFrames-th frame counted from the one that saw it is a hold, which ends every
// remaining scene after one frame. The frames are counted as presented, flashes included, so the hold is the same
// time wherever it falls.
constexpr uint64_t kEscapeHoldFrames = kShowFramesPerSecond / 2;  // 0.5 s

struct EscapeReading {
    bool downAtLastPoll = false;
    bool held = false;
    uint64_t pressFrame = 0;  // presentedFrames when the press was seen
};

EscapeReading escape;
uint64_t presentedFrames = 0;

// Reads the poll just made; true when Escape ends the scene polling.
bool EscapeEndsScene() {
    const bool down = keyDown[DIK_ESCAPE] != 0;
    const bool pressed = down && !escape.downAtLastPoll;
    escape.downAtLastPoll = down;
    if (pressed) escape.pressFrame = presentedFrames;
    // The frame of the press is the hold's first.
    if (down && presentedFrames + 1 - escape.pressFrame >= kEscapeHoldFrames) escape.held = true;
    return pressed || escape.held;
}

void Present() {
    PresentFrame();
    ++presentedFrames;
}

// Scene 1 shows the wave plane only once the song has moved past the scene's end since the last
// end test: never as a rule, as the position changes between two reads.
constexpr uint32_t kScene1PlaneAfter = 0x0500;
// The glass mesh: a bright blue-green in the opening, a faint one at the end.
constexpr uint16_t kOpeningMeshColour = 4299;
constexpr uint16_t kClosingMeshColour = 1;

// The mask opens by one level a frame in scene 3 down to 81, and closes again from scene 4 on up
// to 254: the levels at which a step would reach 80 or 255 are not taken.
constexpr uint8_t kMaskOpenStop = 80;
constexpr uint8_t kMaskClosedStop = 255;
constexpr int32_t kTunnelFadeCap = 15;
constexpr int32_t kWarpedTunnelFadeCap = 31;
constexpr int32_t kIntroShift = 4;  // 16 shades
constexpr int32_t kSwapShift = 3;   // 32 shades
constexpr int32_t kStarMinX = -16;

// Scene 7's two pictures; their exchange shows from the next frame on.
const uint8_t* shownPicture = nullptr;
const uint8_t* otherPicture = nullptr;

void Captions() {
    UpdateCaptions();
    DrawCaptions();
}

void OpenMask() {
    const auto t = static_cast<uint8_t>(maskLevel - 1);
    if (t != kMaskOpenStop) maskLevel = t;
}

void CloseMask() {
    const auto t = static_cast<uint8_t>(maskLevel + 1);
    if (t != kMaskClosedStop) maskLevel = t;
}

void DrawPlaneAndMesh() {
    DrawWavePlane();
    AdvanceMeshMotion();
    DrawPulsingMesh();
}

// Each scene's steps, in their order.
void DrawScene1() {
    meshColour = kOpeningMeshColour;
    FillFromPicture(introPicture, kIntroShift);
    ApplyGrainGrey();
    if (GetSongPosition() > kScene1PlaneAfter) DrawWavePlane();
    AdvanceMeshMotion();
    // The mesh flashes up while the song stands on a beat; each entry reads the song afresh.
    for (const uint32_t beat : meshBeatPositions) {
        if (GetSongPosition() == beat) DrawPulsingMesh();
    }
    Captions();
}

void DrawScene3() {
    Captions();  // drawn first: the wave plane covers them
    DrawPlaneAndMesh();
    OpenMask();
    DarkenByMask();
}

void DrawScene4() {
    DrawPlaneAndMesh();
    CloseMask();
    DarkenByMask();
    DrawTunnel();
    CrossFade(StepFadeLevel(kTunnelFadeCap), true);
}

// Once the fade has reached 31 the FrameBuffer's own picture no longer shows, but the wave plane
// and the mesh are still drawn: the cost fits the frame, and the phases they move stay as they are.
void DrawScene5() {
    DrawPlaneAndMesh();
    CloseMask();
    DarkenByMask();
    DrawWarpedTunnel();
    CrossFade(StepFadeLevel(kWarpedTunnelFadeCap), false);
    StepFlareTrail();
}

void DrawScene6() {
    StepStarField();
    ApplyGrainGrey();  // overwritten by the fill, but its noise moves on
    FillFrame(textureColours.colour[0]);
    DrawFlares(kStarCount, kStarMinX);
    Captions();
}

void EnterScene7() {
    shownPicture = swapPictureA;
    otherPicture = swapPictureB;
}

void DrawScene7() {
    FillFromPicture(shownPicture, kSwapShift);
    // While the song stands on a listed row the pictures change every frame; a row listed twice
    // changes them twice, so they stay.
    for (const uint32_t swap : swapPositions) {
        if (GetSongPosition() == swap) std::swap(shownPicture, otherPicture);
    }
    ApplyGrainGrey();
    Captions();
}

void DrawScene8() {
    FillFrame(kBlack);
    // The mesh stays in the middle of the screen and turns about one axis only.
    meshTurn2 = WrappingAdd(meshTurn2, 1);
    meshShift1 = 0;
    meshShift2 = 0;
    meshDistance = 300;
    DrawPulsingMesh();
    meshColour = kClosingMeshColour;
    OverlayPicture(endPicture);
    ApplyGrainGrey();
    Captions();
}

// Every frame: poll, draw, present, then the end test with a fresh position. The body runs at
// least once, so a scene entered after its end position shows exactly one frame.
void RunScene(int32_t number, const Scene& scene) {
    if (scene.enter) scene.enter();
    currentScene = number;
    bool escapeEnds = false;
    do {
        PollKeyboard();
        escapeEnds = EscapeEndsScene();
        scene.drawFrame();
        Present();
    } while (GetSongPosition() < scene.endPosition && !escapeEnds);
    currentScene = 0;
    PresentWhiteFlash(scene.flashFramesAfter);
}

}  // namespace

// The end positions follow the embedded song's orders: order in the high byte, row in the low.
const Scene showScenes[kSceneCount] = {
    // enter       drawFrame         endPosition     flashes
    {nullptr, DrawScene1, 0x0500, 3},          // 1, orders 0-4: grainy picture, captions, mesh
    {nullptr, DrawPlaneAndMesh, 0x0700, 0},    // 2, orders 5-6: wave plane with the mesh
    {nullptr, DrawScene3, 0x0800, 0},          // 3, order 7: wave plane, mesh, the mask opening
    {nullptr, DrawScene4, 0x0900, 0},          // 4, order 8: the mask closing, the tunnel fading in
    {nullptr, DrawScene5, 0x0B00, 5},          // 5, orders 9-10: warped tunnel, flare trail
    {GenerateStars, DrawScene6, 0x0E00, 0},    // 6, orders 11-13: star field of flares, captions
    {EnterScene7, DrawScene7, 0x1200, 0},      // 7, orders 14-17: two pictures swapping on the beat
    {nullptr, DrawScene8, kNoEndPosition, 0},  // 8, order 18 on repeat: mesh, end picture, captions
};

int32_t CurrentScene() { return currentScene; }

void PresentWhiteFlash(int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        FillFrame(kWhite);
        Present();
    }
}

void ResetEffects() {
    ResetCaptions();
    ResetGrain();
    ResetWavePlane();
    ResetAdditiveMesh();
    ResetMeshMotion();
    ResetScenePixels();
    ResetFlareField();
}

void RunTimeline() {
    ResetEffects();
    escape = EscapeReading{};
    presentedFrames = 0;
    for (int32_t s = 0; s < kSceneCount; ++s) RunScene(s + 1, showScenes[s]);
}
