// A small 3D pipeline for point sets: three table angles select a rotation, a translation moves
// the points away from the eye and a perspective projection puts them on the screen. One current
// camera, set anew by every user every frame: SetProjection, SetRotationAngles, SetTranslation,
// BuildRotation, then TransformPoints and ProjectPoints per point array.
#pragma once

#include <cstdint>

#include "platform/display.h"

struct Point3 {
    float x, y, z;
};

struct ScreenPoint {
    int32_t x, y;
    uint32_t spare;  // never touched by the pipeline
};

inline constexpr int32_t kAngleSteps = 512;  // one turn; an angle uses its low 9 bits
inline constexpr int32_t kAngleMask = kAngleSteps - 1;
static_assert((kAngleSteps & kAngleMask) == 0);

// angleSin[i] = sin(i pi / 256), angleCos likewise.
extern float angleSin[kAngleSteps];
extern float angleCos[kAngleSteps];

// Where a point at zero depth lands: left of and above every window that draws points, so it is
// never seen.
inline constexpr int32_t kInvisibleCoordinate = INT32_MIN;

// The show's one camera: a focal length of 300 pixels, the eye on the FrameBuffer's centre.
inline constexpr int32_t kCameraFocal = 300;
inline constexpr int32_t kCameraCentreX = static_cast<int32_t>(kFrameWidth / 2);
inline constexpr int32_t kCameraCentreY = static_cast<int32_t>(kFrameHeight / 2);

void BuildAngleTables();
void SetProjection(int32_t focal, int32_t centreX, int32_t centreY);
void SetRotationAngles(int32_t a, int32_t b, int32_t c);
void SetTranslation(int32_t tx, int32_t ty, int32_t tz);
// The rotation of the current angles: orthonormal with determinant -1, so at angles 0 it exchanges
// x and z rather than being the identity.
void BuildRotation();
void TransformPoints(int32_t count, const Point3* source, Point3* destination);
// x f / z + cx and y f / z + cy, to the nearest integer with ties to even. Points behind the eye
// are mirrored through the centre; coordinates beyond the 32-bit range saturate; a point at zero
// depth, or one that projects to NaN or infinity, gets kInvisibleCoordinate for both.
void ProjectPoints(int32_t count, const Point3* source, ScreenPoint* destination);
