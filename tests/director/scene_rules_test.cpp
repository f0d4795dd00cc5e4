// The timeline's conditions and the flare clouds' steps one case at a time, where the show's
// digest would only say that a scene changed: when scene 1 shows the plane and the mesh, how far
// the mask moves, when scene 7's pictures change, and how the trail and the stars move.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "assets/embedded_data.h"
#include "show/beat_tables.h"
#include "director/flare_field.h"
#include "show/mesh_motion.h"
#include "director/scene_pixels.h"
#include "show/song_clock.h"
#include "director/timeline.h"
#include "effects/additive_mesh.h"
#include "effects/captions.h"
#include "effects/colour_table.h"
#include "effects/flare_sprite.h"
#include "effects/projection.h"
#include "effects/shared_tables.h"
#include "effects/wave_plane.h"
#include "platform/headless.h"
#include "sound/module.h"
#include "show_stage.h"

namespace {

class SceneRules : public ::testing::Test {
protected:
    void SetUp() override {
        OpenShowStage();
        ListMakeSelfLinked(&fake);
        showSong = &fake;
        Restart();
    }
    void TearDown() override {
        showSong = nullptr;
        CloseShowStage();
    }
    // Every effect's state as at the show's start.
    static void Restart() {
        ResetScenePixels();
        ResetFlareField();
        ResetMeshMotion();
        ResetCaptions();
        wavePhase = 0;
    }
    void At(uint32_t position) {
        fake.order.store(static_cast<int32_t>(position >> 8));
        fake.row.store(static_cast<int32_t>(position & 0xFF));
    }
    static void Draw(int32_t scene) { showScenes[scene - 1].drawFrame(); }

    Song fake{};
};

bool IsFontColour(uint16_t p) {
    return std::find(std::begin(fontColours.colour) + 1, std::end(fontColours.colour), p) !=
           std::end(fontColours.colour);
}

// Scene 1's frame is grey (blue b, green 2b, red b) but for captions and the mesh's glow.
bool MeshShown() {
    int32_t added = 0;
    for (uint32_t i = 2 * 320; i < 198 * 320; ++i) {
        const uint16_t p = FrameBuffer[i];
        const uint32_t blue = p & 31;
        added += !((p >> 11) == blue && (p >> 5 & 63) == 2 * blue) && !IsFontColour(p);
    }
    return added > 2000;
}

TEST_F(SceneRules, SceneOneShowsThePlaneOnlyPastItsEndAndTheMeshOnlyOnABeat) {
    struct Case {
        uint32_t position;
        bool plane, mesh;
    };
    std::vector<Case> cases = {
        {0x0000, false, false}, {0x0403, false, false}, {0x0405, false, false},
        {0x0440, false, false}, {0x0500, false, false}, {0x0501, true, false},
        {0x0504, true, false},  {0x0A00, true, false},
    };
    for (const uint32_t beat : meshBeatPositions) cases.push_back({beat, false, true});
    for (const Case& c : cases) {
        Restart();
        At(c.position);
        Draw(1);
        EXPECT_EQ(wavePhase != 0, c.plane) << std::hex << c.position;
        // The plane is not grey: the mesh is looked for only where the frame is.
        if (!c.plane) {
            EXPECT_EQ(MeshShown(), c.mesh) << std::hex << c.position;
        }
    }
}

// Scene 3 opens the mask by a level a frame down to 81; scenes 4 and 5 close it up to 254.
TEST_F(SceneRules, TheMaskMovesOneLevelAFrameAndStopsShortOfItsEnds) {
    struct Case {
        int32_t scene;
        uint8_t before, after;
    };
    const Case cases[] = {
        {3, 255, 254}, {3, 200, 199}, {3, 82, 81}, {3, 81, 81},
        {4, 81, 82},   {4, 200, 201}, {4, 253, 254}, {4, 254, 254},
        {5, 253, 254}, {5, 254, 254},
    };
    for (const Case& c : cases) {
        Restart();
        At(0x0700);
        maskLevel = c.before;
        Draw(c.scene);
        EXPECT_EQ(maskLevel, c.after) << "scene " << c.scene << " from " << int{c.before};
    }
}

// Which of scene 7's pictures the frame shows: light where only one has its figure.
char PictureShown() {
    int64_t lightA = 0, lightB = 0;
    for (uint32_t i = 2 * 320; i < 198 * 320; ++i) {
        const uint8_t a = swapPictureA[i], b = swapPictureB[i];
        if (a >= 96 && b == 0) lightA += FrameBuffer[i] & 31;
        if (b >= 96 && a == 0) lightB += FrameBuffer[i] & 31;
    }
    return lightA > lightB ? 'A' : 'B';
}

// A frame drawn on a listed row shows the pictures as they were; the next shows them exchanged,
// once per listing of the row.
TEST_F(SceneRules, ScenesSevenPicturesChangeAfterEachFrameOnAListedRow) {
    const uint32_t rows[] = {0x0E03, 0x0E04, 0x0E05, 0x0E05, 0x0E09, 0x0E0A, 0x0E3C,
                             0x0E3D, 0x0E3E, 0x0E3F, 0x0E40, 0x1200};
    const std::string want = "AABBBAAAABAA";
    showScenes[6].enter();
    std::string got;
    for (const uint32_t row : rows) {
        At(row);
        Draw(7);
        got += PictureShown();
    }
    EXPECT_EQ(got, want);
}

// Each trail frame moves its five phases and two turns by fixed steps, and lays one point from
// them until it has 200; the stars swing only from row 1 of order 13.
TEST_F(SceneRules, TrailAndStarsStepsAndLimits) {
    At(0x0900);
    StepFlareTrail();
    const FlareField& f = flareField;
    EXPECT_EQ((std::vector<int32_t>{f.trailPhase1, f.trailPhase2, f.trailPhase3, f.trailPhase4,
                                    f.trailPhase5, f.trailTurn1, f.trailTurn2, meshTurn3}),
              (std::vector<int32_t>{20, 14, 12, 35, 18, 14, 8, 18}));
    // The first point from the start amplitudes at phase 0; the amplitudes swing about 60 by 120.
    EXPECT_EQ(f.trailPoints[0].x, 120.0f);
    EXPECT_EQ(f.trailPoints[0].y, 0.0f);
    EXPECT_EQ(f.trailPoints[0].z, 200.0f);
    EXPECT_EQ(f.trailAmp2, 180);
    EXPECT_EQ(f.trailAmp3, 60);
    StepFlareTrail();
    EXPECT_EQ(f.trailPoints[1].y, std::nearbyint(70 * double{motionSin[20]}));
    EXPECT_EQ(f.trailPoints[1].x, std::nearbyint(180 * double{motionCos[14]}));
    EXPECT_EQ(f.trailPoints[1].z, std::nearbyint(60 * double{motionCos[12]}));
    for (int k = 2; k < 205; ++k) StepFlareTrail();
    EXPECT_EQ(f.trailCount, kTrailCapacity);
    EXPECT_EQ(f.trailPhase3, 205 * 12);

    // The star cloud: the seed's recurrence, each state as a signed 16-bit number over 64.
    GenerateStars();
    const float firstStars[] = {-397, -19, -385, -171, 493, 115};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ((&f.starPoints[0].x)[k], firstStars[k]) << "coordinate " << k;
    }
    struct Swing {
        uint32_t position;
        int32_t phaseStep;
    };
    const Swing swings[] = {{0x0C3F, 0}, {0x0D00, 0}, {0x0D01, 50}, {0x0E00, 50}};
    for (const Swing& s : swings) {
        At(s.position);
        const int32_t before = f.trailPhase1;
        StepStarField();
        EXPECT_EQ(f.trailPhase1 - before, s.phaseStep) << std::hex << s.position;
    }
}

// A flare is drawn where its corner lies in columns minX..271 and rows 0..157.
TEST_F(SceneRules, AFlareIsDrawnOnlyWithItsCornerInsideTheWindow) {
    struct Case {
        int32_t x, y, minX;
        bool drawn;
    };
    const Case cases[] = {
        {1, 0, 1, true},       {0, 0, 1, false},      {-16, 5, -16, true}, {-17, 5, -16, false},
        {271, 157, 1, true},   {272, 100, 1, false},  {100, 158, 1, false}, {100, -1, 1, false},
    };
    for (const Case& c : cases) {
        FillFrame(0);
        flareField.cloudScreen[0] = ScreenPoint{c.x, c.y, 0};
        DrawFlares(1, c.minX);
        const bool drawn = std::any_of(FrameBuffer, FrameBuffer + kFramePixels,
                                       [](uint16_t p) { return p != 0; });
        EXPECT_EQ(drawn, c.drawn) << c.x << "," << c.y << " from " << c.minX;
    }
}

}  // namespace
