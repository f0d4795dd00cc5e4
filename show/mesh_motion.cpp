#include "show/mesh_motion.h"

#include <cmath>
#include <numbers>

#include "show/wrapping.h"

float motionSin[kMotionTableSize];
float motionCos[kMotionTableSize];
float curSin = 0.0f;
float curCos = 0.0f;

int32_t meshTurn1 = 0;
int32_t meshTurn2 = 0;
int32_t meshTurn3 = 0;
int32_t meshShift1 = 0;
int32_t meshShift2 = 0;
int32_t meshDistance = 0;
int32_t meshSwing = 0;

namespace {
constexpr double kSwingHalfAxisX = 120.0;
constexpr double kSwingHalfAxisY = 70.0;
constexpr int32_t kSwingStep = 10;
constexpr int32_t kMeshDistance = 300;
}  // namespace

void BuildMotionTables() {
    const double step = std::numbers::pi / 512.0;
    for (int32_t i = 0; i < kMotionTableSize; ++i) {
        // Evaluated in extended precision, then rounded once to single precision on the store.
        const long double angle = static_cast<long double>(step) * i;
        motionCos[i] = static_cast<float>(std::cos(angle));
        motionSin[i] = static_cast<float>(std::sin(angle));
    }
}

MotionAngle MotionAngleOf(int32_t angle) {
    const int32_t index = angle & (kMotionTableSize - 1);
    return {motionSin[index], motionCos[index]};
}

void LookupMotionAngle(int32_t angle) {
    const MotionAngle value = MotionAngleOf(angle);
    curSin = value.sin;
    curCos = value.cos;
}

void AdvanceMeshMotion() {
    meshTurn1 = WrappingAdd(meshTurn1, 8);
    meshTurn2 = WrappingAdd(meshTurn2, 4);
    meshTurn3 = WrappingAdd(meshTurn3, 1);
    LookupMotionAngle(meshSwing);
    // The products are exact in double; nearbyint rounds them to the nearest integer, ties to even
    // (the default rounding mode).
    meshShift2 = static_cast<int32_t>(std::nearbyint(kSwingHalfAxisY * curSin));
    meshShift1 = static_cast<int32_t>(std::nearbyint(kSwingHalfAxisX * curCos));
    meshSwing = WrappingAdd(meshSwing, kSwingStep);
    meshDistance = kMeshDistance;
}

void ResetMeshMotion() {
    meshTurn1 = meshTurn2 = meshTurn3 = 0;
    meshShift1 = meshShift2 = meshDistance = 0;
    meshSwing = 0;
}
