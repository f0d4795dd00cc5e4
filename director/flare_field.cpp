#include "director/flare_field.h"

#include <cmath>

#include "effects/flare_sprite.h"
#include "show/mesh_motion.h"
#include "show/song_clock.h"
#include "show/wrapping.h"

FlareField flareField;

namespace {

constexpr int32_t kLastFlareColumn = 271;
constexpr int32_t kLastFlareRow = 157;
constexpr int32_t kTrailDistance = 500;
// The leftmost column at which a trail flare is drawn; the stars are let further left.
constexpr int32_t kTrailMinX = 1;
constexpr int32_t kStarDistance = 900;
constexpr int32_t kStarSwingAmplitude = 800;
// The stars start swinging towards and away from the eye from row 1 of order 13.
constexpr uint32_t kStarSwingAfter = 0x0D00;
// The trail's amplitudes swing about this offset by this much.
constexpr int32_t kAmplitudeSwing = 120;
constexpr int32_t kAmplitudeOffset = 60;

// Nearest, ties to even: the rounding every table of the show uses. An amplitude of -2^31 swung
// through -1 lands one past the 32-bit range and saturates there.
int32_t Nearest(double value) {
    const double rounded = std::nearbyint(value);
    if (rounded >= 2147483647.0) return INT32_MAX;
    if (rounded <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(rounded);
}

void ProjectCloud(int32_t count, const Point3* points, int32_t distance) {
    FlareField& f = flareField;
    SetProjection(kCameraFocal, kCameraCentreX, kCameraCentreY);
    SetRotationAngles(f.trailTurn1, f.trailTurn2, 0);
    SetTranslation(0, 0, distance);
    BuildRotation();
    TransformPoints(count, points, f.cloudCamera);
    ProjectPoints(count, f.cloudCamera, f.cloudScreen);
}

}  // namespace

void ResetFlareField() { flareField = FlareField{}; }

void StepFlareTrail() {
    FlareField& f = flareField;
    LookupMotionAngle(f.trailPhase1);
    const int32_t y = Nearest(f.trailAmp1 * double{curSin});
    LookupMotionAngle(f.trailPhase2);
    const int32_t x = Nearest(f.trailAmp2 * double{curCos});
    LookupMotionAngle(f.trailPhase3);
    const int32_t z = Nearest(f.trailAmp3 * double{curCos});
    LookupMotionAngle(f.trailPhase4);
    f.trailAmp2 = Nearest(kAmplitudeSwing * double{curCos}) + kAmplitudeOffset;
    LookupMotionAngle(f.trailPhase5);
    f.trailAmp3 = Nearest(kAmplitudeSwing * double{curSin}) + kAmplitudeOffset;
    f.trailPhase1 = WrappingAdd(f.trailPhase1, 20);
    f.trailPhase2 = WrappingAdd(f.trailPhase2, 14);
    f.trailPhase3 = WrappingAdd(f.trailPhase3, 12);
    f.trailPhase4 = WrappingAdd(f.trailPhase4, 35);
    f.trailPhase5 = WrappingAdd(f.trailPhase5, 18);
    // The first 200 frames lay the trail; after that it keeps its shape and only turns.
    if (f.trailCount < kTrailCapacity) {
        f.trailPoints[f.trailCount++] =
            Point3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    }
    f.trailTurn1 = WrappingAdd(f.trailTurn1, 14);
    f.trailTurn2 = WrappingAdd(f.trailTurn2, 8);
    meshTurn3 = WrappingAdd(meshTurn3, 18);
    ProjectCloud(f.trailCount, f.trailPoints, kTrailDistance);
    DrawFlares(f.trailCount, kTrailMinX);
}

void GenerateStars() {
    FlareField& f = flareField;
    float* coordinates = &f.starPoints[0].x;
    static_assert(sizeof(Point3) == 3 * sizeof(float));
    // Three steps for each of the 300 points the cloud has room for, though 299 are drawn: the
    // seed ends where the 900th step leaves it.
    for (int32_t k = 0; k < 3 * kStarRoom; ++k) {
        f.starSeed = (75 * (f.starSeed + 1)) % 65537 - 1;
        // The state as a signed 16-bit number, shifted arithmetically: -512 .. 511.
        coordinates[k] = static_cast<float>(static_cast<int16_t>(f.starSeed) >> 6);
    }
    f.trailAmp1 = kStarSwingAmplitude;
}

void StepStarField() {
    FlareField& f = flareField;
    LookupMotionAngle(f.trailPhase1);
    meshDistance = WrappingAdd(Nearest(f.trailAmp1 * double{curSin}), kStarDistance);
    if (GetSongPosition() > kStarSwingAfter) f.trailPhase1 = WrappingAdd(f.trailPhase1, 50);
    f.trailTurn1 = WrappingAdd(f.trailTurn1, 4);
    f.trailTurn2 = WrappingAdd(f.trailTurn2, 8);
    meshTurn3 = WrappingAdd(meshTurn3, 18);
    ProjectCloud(kStarCount, f.starPoints, meshDistance);
}

void DrawFlares(int32_t count, int32_t minX) {
    for (int32_t i = 0; i < count; ++i) {
        const ScreenPoint& p = flareField.cloudScreen[i];
        if (p.x >= minX && p.x <= kLastFlareColumn && p.y >= 0 && p.y <= kLastFlareRow) {
            // A flare at row 0 left of column 0 starts before the FrameBuffer: BlendFlare leaves
            // out what falls outside.
            BlendFlare(p.y * static_cast<int32_t>(kFrameWidth) + p.x);
        }
    }
}
