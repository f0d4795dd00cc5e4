// Every drawing entry point driven with extreme but representable states: counters at the ends of
// the 32-bit range, pens and pixels far outside the frame, damaged points, out-of-range arguments.
// Run under the sanitizer build (./build.sh sanitize), a case fails on any report of undefined
// arithmetic or of a read outside a buffer; in every build it checks what such a state gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "assets/embedded_data.h"
#include "director/flare_field.h"
#include "show/mesh_motion.h"
#include "director/scene_pixels.h"
#include "director/timeline.h"
#include "effects/additive_mesh.h"
#include "effects/captions.h"
#include "effects/colour_table.h"
#include "effects/flare_sprite.h"
#include "effects/projection.h"
#include "effects/wave_plane.h"
#include "platform/headless.h"
#include "show_stage.h"

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr uint16_t kGround = 0x1234;

std::vector<uint16_t> Frame() { return {FrameBuffer, FrameBuffer + kFramePixels}; }

bool FrameUntouched() {
    for (uint32_t i = 0; i < kFramePixels; ++i) {
        if (FrameBuffer[i] != kGround) return false;
    }
    return true;
}

// The 27 pens whose glyph has one row starting exactly at 2^31, which wraps to -2^31 in 32 bits,
// and their mirror images just above -2^31.
void GlyphsAtTheEndsOfTheRange() {
    for (int32_t r = 1; r < 27; ++r) {
        DrawGlyph('W', static_cast<int32_t>(2147483648LL - 320LL * r));
        DrawGlyph('W', kMin + 320 * r);
    }
    DrawGlyph('W', kMin);
    DrawGlyph('W', kMax);
    EXPECT_TRUE(FrameUntouched()) << "every glyph lies wholly outside the frame";
}

void CaptionPensPastTheRange() {
    // The pen runs on past 2^31 - 1 and wraps; the glyphs stay outside the frame.
    DrawCaptionText("WMWMIL", kMax - 40);
    DrawCaptionText("WMWMIL", kMin);
    activeCaptions[0] = ActiveCaption{"WM", kMax, 10};
    activeCaptions[1] = ActiveCaption{"WM", kMin, 199};
    DrawCaptions();
    EXPECT_TRUE(FrameUntouched());
}

void FlaresAtTheEndsOfTheRange() {
    for (const int32_t pixel : {kMax, kMax - 320, kMin, kMin + 1000}) BlendFlare(pixel);
    EXPECT_TRUE(FrameUntouched());
}

void MeshTurnsWrap() {
    meshTurn1 = kMax - 7;
    meshTurn2 = kMax - 3;
    meshTurn3 = kMax;
    meshSwing = kMax - 9;
    AdvanceMeshMotion();
    EXPECT_EQ(meshTurn1, kMin);
    EXPECT_EQ(meshTurn2, kMin);
    EXPECT_EQ(meshTurn3, kMin);
    EXPECT_EQ(meshSwing, kMin);
    DrawPulsingMesh();
}

void SceneEightTurnWraps() {
    meshTurn2 = kMax;
    showScenes[kSceneCount - 1].drawFrame();
    EXPECT_EQ(meshTurn2, kMin) << "scene 8 turns the mesh one unit a frame for as long as it runs";
}

void StarDistanceAndTurnsWrap() {
    FlareField& f = flareField;
    GenerateStars();
    f.trailAmp1 = kMax;
    f.trailPhase1 = 256;  // sine 1: the swing at its full amplitude
    f.trailTurn1 = kMax - 3;
    f.trailTurn2 = kMax - 7;
    meshTurn3 = kMax - 17;
    StepStarField();
    EXPECT_EQ(meshDistance, kMin + 899) << "2^31 - 1 + 900, wrapped";
    EXPECT_EQ(f.trailTurn1, kMin);
    EXPECT_EQ(f.trailTurn2, kMin);
    EXPECT_EQ(meshTurn3, kMin);
    // -2^31 swung through sine -1 is 2^31, one past the range.
    f.trailAmp1 = kMin;
    f.trailPhase1 = 768;
    StepStarField();
    EXPECT_EQ(meshDistance, kMin + 899) << "saturated at 2^31 - 1, then 900 on, wrapped";
    DrawFlares(kStarCount, 0);
}

void TrailPhasesWrap() {
    FlareField& f = flareField;
    f.trailPhase1 = kMax - 19;
    f.trailPhase2 = kMax - 13;
    f.trailPhase3 = kMax - 11;
    f.trailPhase4 = kMax - 34;
    f.trailPhase5 = kMax - 17;
    f.trailTurn1 = kMax - 13;
    f.trailTurn2 = kMax - 7;
    meshTurn3 = kMax - 17;
    StepFlareTrail();
    for (const int32_t phase : {f.trailPhase1, f.trailPhase2, f.trailPhase3, f.trailPhase4,
                                f.trailPhase5, f.trailTurn1, f.trailTurn2, meshTurn3}) {
        EXPECT_EQ(phase, kMin);
    }
}

void CrossFadeLevelsOutOfRange() {
    std::fill(workPicture, workPicture + kFramePixels, uint16_t{0xFFFF});
    for (const int32_t t : {kMin, kMin + 31, kMax}) {
        CrossFade(t, false);
        CrossFade(t, true);
    }
}

void PictureShiftsOutOfRange() {
    FillFromPicture(introPicture, 0);
    const std::vector<uint16_t> unshifted = Frame();
    FillFromPicture(introPicture, -1);
    EXPECT_EQ(Frame(), unshifted) << "a negative shift is taken as 0";
    for (const int32_t shift : {8, 32, kMax}) {
        FillFromPicture(introPicture, shift);
        EXPECT_EQ(Frame(), std::vector<uint16_t>(kFramePixels, 0)) << "shift " << shift;
    }
}

void DamagedPointsAreInvisible() {
    const Point3 damaged[] = {{kNaN, 0, 100}, {0, kNaN, 100}, {0, 0, kNaN}, {kInf, 0, 100},
                              {0, -kInf, 100}, {kInf, kInf, 100}, {kNaN, kNaN, kNaN}};
    constexpr int32_t kDamaged = sizeof damaged / sizeof damaged[0];
    SetProjection(300, 160, 100);
    ScreenPoint screen[kDamaged];
    ProjectPoints(kDamaged, damaged, screen);
    for (int32_t i = 0; i < kDamaged; ++i) {
        EXPECT_EQ(screen[i].x, kInvisibleCoordinate) << "point " << i;
        EXPECT_EQ(screen[i].y, kInvisibleCoordinate) << "point " << i;
    }
    // A mesh whose every vertex is damaged: its keys are NaN and none of its faces is drawn.
    Point3 camera[kMeshVertices];
    ScreenPoint projected[kMeshVertices];
    for (int32_t v = 0; v < kMeshVertices; ++v) camera[v] = damaged[v % kDamaged];
    ProjectPoints(kMeshVertices, camera, projected);
    MeshFace faces[kMeshFaces];
    for (uint32_t f = 0; f < kMeshFaces; ++f) faces[f] = MeshFace{{f % 42, (f + 1) % 42, (f + 5) % 42}};
    meshColour = 0x0821;
    DrawMeshAdd(kMeshFaces, faces, camera, projected);
    EXPECT_TRUE(FrameUntouched());
}

struct ExtremeCase {
    const char* name;
    void (*run)();
};

const ExtremeCase kCases[] = {
    {"glyph rows that wrap to -2^31", GlyphsAtTheEndsOfTheRange},
    {"caption pens past the 32-bit range", CaptionPensPastTheRange},
    {"flares at the ends of the range", FlaresAtTheEndsOfTheRange},
    {"mesh turn counters at 2^31 - 1", MeshTurnsWrap},
    {"scene 8's turn at 2^31 - 1", SceneEightTurnWraps},
    {"star distance and turns at the limits", StarDistanceAndTurnsWrap},
    {"trail phases at 2^31 - 1", TrailPhasesWrap},
    {"cross-fade levels out of range", CrossFadeLevelsOutOfRange},
    {"picture shifts out of range", PictureShiftsOutOfRange},
    {"NaN and infinite points", DamagedPointsAreInvisible},
};

class ExtremeStates : public ::testing::Test {
protected:
    void SetUp() override {
        OpenShowStage();
    }
    void TearDown() override {
        CloseShowStage();
    }
};

TEST_F(ExtremeStates, EveryEntryPointStaysDefined) {
    for (const ExtremeCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ResetScenePixels();
        ResetFlareField();
        ResetMeshMotion();
        ResetCaptions();
        meshColour = 0;
        FillFrame(kGround);
        c.run();
    }
}

}  // namespace
