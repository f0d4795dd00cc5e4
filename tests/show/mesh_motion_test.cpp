// The motion tables, the angle lookup and the mesh's per-frame motion.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "show/mesh_motion.h"

namespace {

TEST(MotionTables, HoldSineAndCosineOfIPiOver512) {
    BuildMotionTables();
    // The four quarter points are exact.
    EXPECT_EQ(motionSin[0], 0.0f);
    EXPECT_EQ(motionCos[0], 1.0f);
    EXPECT_EQ(motionSin[256], 1.0f);
    EXPECT_EQ(motionCos[512], -1.0f);
    EXPECT_EQ(motionSin[768], -1.0f);
    // cos(pi/2) as computed is tiny but not zero.
    EXPECT_NE(motionCos[256], 0.0f);
    EXPECT_LT(std::fabs(motionCos[256]), 1e-15f);
    for (int i = 0; i < kMotionTableSize; ++i) {
        const double angle = i * std::numbers::pi / 512.0;
        // Within half a unit in the last place of a float near 1.
        ASSERT_NEAR(motionSin[i], std::sin(angle), 6e-8) << i;
        ASSERT_NEAR(motionCos[i], std::cos(angle), 6e-8) << i;
    }
}

struct LookupCase {
    int32_t angle;
    int32_t index;
};

TEST(MotionTables, AnyAngleWrapsIntoTheTable) {
    BuildMotionTables();
    const LookupCase cases[] = {
        {0, 0},          {1, 1},       {1023, 1023}, {1024, 0},        {1024 + 256, 256},
        {-1, 1023},      {-1024, 0},   {-256, 768},  {INT32_MIN, 0},   {INT32_MAX, 1023},
        {5 * 1024 + 7, 7},
    };
    for (const LookupCase& c : cases) {
        LookupMotionAngle(c.angle);
        EXPECT_EQ(curSin, motionSin[c.index]) << "angle " << c.angle;
        EXPECT_EQ(curCos, motionCos[c.index]) << "angle " << c.angle;
        const MotionAngle value = MotionAngleOf(c.angle);
        EXPECT_EQ(value.sin, motionSin[c.index]) << "angle " << c.angle;
        EXPECT_EQ(value.cos, motionCos[c.index]) << "angle " << c.angle;
    }
    LookupMotionAngle(1024 + 256);
    EXPECT_EQ(curSin, 1.0f);
    EXPECT_EQ(curCos, motionCos[256]);
}

TEST(MeshMotion, AfterNFramesTheTurnsAndSwingHaveAdvancedNSteps) {
    BuildMotionTables();
    ResetMeshMotion();
    AdvanceMeshMotion();
    EXPECT_EQ(meshShift2, 0) << "the first frame swings from angle 0";
    EXPECT_EQ(meshShift1, 120);
    EXPECT_EQ(meshDistance, 300);
    for (int n = 2; n <= 300; ++n) {
        // The frame looks up the swing angle from before its own step.
        const double angle = (n - 1) * 10 * std::numbers::pi / 512.0;
        AdvanceMeshMotion();
        ASSERT_EQ(meshTurn1, 8 * n);
        ASSERT_EQ(meshTurn2, 4 * n);
        ASSERT_EQ(meshTurn3, n);
        ASSERT_EQ(meshSwing, 10 * n);
        ASSERT_EQ(meshDistance, 300);
        ASSERT_EQ(meshShift1, std::lround(120.0 * std::cos(angle))) << "frame " << n;
        ASSERT_EQ(meshShift2, std::lround(70.0 * std::sin(angle))) << "frame " << n;
    }
}

struct TieCase {
    float sine;
    float cosine;
    int32_t shift2;  // 70 x sine, ties to even
    int32_t shift1;  // 120 x cosine, ties to even
};

TEST(MeshMotion, HalfwayShiftsRoundToEven) {
    const TieCase cases[] = {
        {0.25f, 0.0625f, 18, 8},       // 17.5 and 7.5 round up to even
        {0.75f, 0.1875f, 52, 22},      // 52.5 and 22.5 round down to even
        {-0.25f, -0.0625f, -18, -8},
        {0.0f, 0.2f, 0, 24},           // 24.000000357..., no tie
    };
    for (const TieCase& c : cases) {
        ResetMeshMotion();
        motionSin[0] = c.sine;
        motionCos[0] = c.cosine;
        AdvanceMeshMotion();
        EXPECT_EQ(meshShift2, c.shift2) << c.sine;
        EXPECT_EQ(meshShift1, c.shift1) << c.cosine;
    }
    BuildMotionTables();
}

TEST(MeshMotion, OneFullSwingTakes102Point4Frames) {
    BuildMotionTables();
    ResetMeshMotion();
    // 512 frames are exactly five swings: the pose is back where it started.
    for (int n = 0; n < 512; ++n) AdvanceMeshMotion();
    EXPECT_EQ(meshSwing & 1023, 0);
    AdvanceMeshMotion();
    EXPECT_EQ(meshShift1, 120);
    EXPECT_EQ(meshShift2, 0);
}

}  // namespace
