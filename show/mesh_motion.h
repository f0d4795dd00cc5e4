// The motion of the pulsing mesh shared by the first scenes, and the sine tables it reads.
//
// Who writes the pose: AdvanceMeshMotion (here) and ResetMeshMotion every word; the flare trail
// and the star field (director/flare_field.cpp) meshTurn3 and, in the star field, meshDistance;
// scene 8 (director/timeline.cpp) meshTurn2, meshShift1, meshShift2 and meshDistance. The mesh
// effect (effects/additive_mesh.cpp) only reads it.
#pragma once

#include <cstdint>

inline constexpr int32_t kMotionTableSize = 1024;  // entries per turn: angle unit 2 pi / 1024

extern float motionSin[kMotionTableSize];
extern float motionCos[kMotionTableSize];
// Results of the last LookupMotionAngle, written by it alone.
extern float curSin;
extern float curCos;

// The mesh pose: rotation angles in units of 2 pi / 512, translations in mesh units.
extern int32_t meshTurn1;
extern int32_t meshTurn2;
extern int32_t meshTurn3;
extern int32_t meshShift1;
extern int32_t meshShift2;
extern int32_t meshDistance;
// Angle of the swing path, in units of 2 pi / 1024.
extern int32_t meshSwing;

void BuildMotionTables();
// The sine and cosine of an angle in units of 2 pi / 1024; any angle, negative ones too, wraps
// into the table (angle AND 1023). New code takes the value; LookupMotionAngle leaves it in
// curSin and curCos for the code that reads those.
struct MotionAngle {
    float sin;
    float cos;
};
MotionAngle MotionAngleOf(int32_t angle);
void LookupMotionAngle(int32_t angle);
// Turns the mesh by 8, 4 and 1 units and moves it one step along its swing ellipse (half-axes 120
// and 70) at distance 300.
void AdvanceMeshMotion();
// Puts the pose and the swing back to their start values (all 0).
void ResetMeshMotion();
