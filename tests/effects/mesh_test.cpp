#include <algorithm>
#include <random>

#include "effect_frame.h"
#include "effects/additive_mesh.h"
#include "effects/projection.h"
#include "show/mesh_motion.h"
#include "show/song_clock.h"
#include "sound/module.h"

namespace {

TEST(Projection, TablesAnglesRotationAndRounding) {
    BuildAngleTables();
    EXPECT_EQ(angleSin[128], 1.0f);
    EXPECT_NEAR(angleCos[128], 0.0, 1e-16);
    EXPECT_EQ(angleCos[256], -1.0f);
    EXPECT_NEAR(angleSin[256], 0.0, 1e-15);

    const Point3 point{10, 20, 30};
    Point3 moved[2];
    SetRotationAngles(512, -512, 0);  // the same as 0, 0, 0
    SetTranslation(0, 0, 300);
    BuildRotation();
    TransformPoints(1, &point, &moved[0]);
    SetRotationAngles(-1, 0, 0);
    BuildRotation();
    TransformPoints(1, &point, &moved[1]);
    EXPECT_EQ(moved[0].x, 30.0f) << "angles 0 exchange x and z";
    EXPECT_EQ(moved[0].y, 20.0f);
    EXPECT_EQ(moved[0].z, 310.0f);
    EXPECT_NE(moved[1].x, 30.0f) << "angle -1 is entry 511, not 0";

    struct Case {
        int32_t focal;
        Point3 point;
        int32_t x, y;
    };
    const Case cases[] = {
        {300, {30, 20, 300}, 190, 120},
        {300, {0, 0, 300}, 160, 100},
        {1, {0.5f, 1.5f, 1}, 160, 102},            // 160.5 and 101.5: ties go to even
        {300, {10, 10, -300}, 150, 90},            // behind the eye: mirrored
        {300, {1e30f, -1e30f, 1}, INT32_MAX, INT32_MIN},  // saturated
        {300, {5, 5, 0}, kInvisibleCoordinate, kInvisibleCoordinate},
    };
    for (const Case& c : cases) {
        SetProjection(c.focal, 160, 100);
        ScreenPoint screen{0, 0, 77};
        ProjectPoints(1, &c.point, &screen);
        EXPECT_EQ(screen.x, c.x) << c.point.x << "," << c.point.z;
        EXPECT_EQ(screen.y, c.y) << c.point.y << "," << c.point.z;
        EXPECT_EQ(screen.spare, 77u);
    }
}

class Mesh : public EffectFrame {
protected:
    void SetUp() override {
        EffectFrame::SetUp();
        BuildAngleTables();
        InitTriangleTables();
        Fill(0);
        meshColour = 1;
    }
    // The columns of row y that were added to, as [first, end); {-1, -1} for none.
    static std::pair<int, int> Span(int y) {
        int first = -1, end = -1;
        for (int x = 0; x < 320; ++x) {
            if (FrameBuffer[y * 320 + x] != 0) {
                if (first < 0) first = x;
                end = x + 1;
            }
        }
        return {first, end};
    }
};

TEST_F(Mesh, TriangleRowsEdgesAndLimits) {
    FillTriangleAdd(10, 10, 20, 10, 15, 20);
    const std::pair<int, int> want[] = {{10, 20}, {11, 20}, {11, 19}, {12, 19}, {12, 18},
                                        {13, 18}, {13, 17}, {14, 17}, {14, 16}, {15, 16}};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(Span(10 + k), want[k]) << "row " << 10 + k;
    EXPECT_EQ(Span(20), (std::pair<int, int>{-1, -1}));

    Fill(0);
    FillTriangleAdd(10, 50, 80, 50, 200, 50);   // flat
    FillTriangleAdd(70, 10, 70, 60, 70, 190);   // a line
    FillTriangleAdd(-40, 5, -40, 30, 0, 60);    // clamped to column 0: nothing
    EXPECT_EQ(Frame(), std::vector<uint16_t>(64000, 0));

    FillTriangleAdd(100, -50, 400, 250, 100, 250);  // tall: rows 0..198, columns up to 318
    EXPECT_EQ(Span(0).first, 100);
    EXPECT_EQ(Span(198).second, 319);
    EXPECT_EQ(Span(199), (std::pair<int, int>{-1, -1}));

    // A step beyond 64 bits and points at the ends of the range draw nothing out of bounds.
    FillTriangleAdd(INT32_MIN, 0, INT32_MAX, 1, 0, 2);
    FillTriangleAdd(0, INT32_MIN, 10, INT32_MAX, 20, 0);
}

TEST_F(Mesh, OverlapsAddAndCarriesRunIntoTheNextPixelOfAPair) {
    meshColour = 4299;
    for (int f = 0; f < 3; ++f) FillTriangleAdd(0, 0, 300, 0, 0, 150);
    EXPECT_EQ(FrameBuffer[10 * 320 + 3], 0x3261);
    EXPECT_EQ(FrameBuffer[10 * 320 + 4], 0x3261);

    Fill(0);
    meshColour = 1;
    FrameBuffer[40 * 320 + 50] = 0xFFFF;
    FillTriangleAdd(50, 40, 53, 40, 50, 41);  // row 40: columns 50..52
    EXPECT_EQ(FrameBuffer[40 * 320 + 50], 0x0000);
    EXPECT_EQ(FrameBuffer[40 * 320 + 51], 0x0002);
    EXPECT_EQ(FrameBuffer[40 * 320 + 52], 0x0001);
}

TEST_F(Mesh, OffScreenFacesAndTheSortOrder) {
    const ScreenPoint screen[] = {{319, 5, 0}, {400, 90, 0}, {330, 150, 0}, {5, 0, 0},
                                  {90, -3, 0}, {10, 199, 0}, {0, 250, 0}};
    EXPECT_TRUE(FaceOffScreen(MeshFace{{0, 1, 2}}, screen));   // all x >= 319
    EXPECT_TRUE(FaceOffScreen(MeshFace{{3, 4, 3}}, screen));   // all y <= 0
    EXPECT_FALSE(FaceOffScreen(MeshFace{{0, 3, 5}}, screen));
    EXPECT_TRUE(FaceOffScreen(MeshFace{{5, 6, 5}}, screen));   // all y >= 199

    std::mt19937 random(7);
    std::uniform_real_distribution<float> depth(-500, 500);
    FaceKey keys[80];
    MeshFace faces[80];
    for (int k = 0; k < 80; ++k) keys[k] = FaceKey{k % 7 == 0 ? 12.5f : depth(random), &faces[k]};
    std::vector<const MeshFace*> before;
    for (const FaceKey& k : keys) before.push_back(k.face);
    SortFaceKeys(keys, 80);
    EXPECT_TRUE(std::is_sorted(std::begin(keys), std::end(keys),
                               [](const FaceKey& a, const FaceKey& b) { return a.key > b.key; }));
    std::vector<const MeshFace*> after;
    for (const FaceKey& k : keys) after.push_back(k.face);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(before, after) << "every face once";
}

TEST_F(Mesh, APulseTriplesTheMeshForThatFrameOnly) {
    Song fake{};
    ListMakeSelfLinked(&fake);
    showSong = &fake;
    ResetMeshMotion();
    meshDistance = 300;
    auto drawAt = [&](uint32_t position) {
        fake.order.store(static_cast<int32_t>(position >> 8));
        fake.row.store(static_cast<int32_t>(position & 0xFF));
        Fill(0);
        DrawPulsingMesh();
        return Frame();
    };
    const std::vector<uint16_t> normal = drawAt(0x0501);
    const std::vector<uint16_t> pulse = drawAt(0x051D);
    EXPECT_EQ(drawAt(0x0502), normal);
    auto lit = [](const std::vector<uint16_t>& f) {
        return std::count_if(f.begin(), f.end(), [](uint16_t p) { return p != 0; });
    };
    EXPECT_GT(lit(normal), 3000);
    EXPECT_GT(lit(pulse), 2 * lit(normal)) << "three times the size covers most of the screen";
    showSong = nullptr;
}

}  // namespace
