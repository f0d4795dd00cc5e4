#include "effects/projection.h"

#include <cmath>
#include <limits>
#include <numbers>

float angleSin[kAngleSteps];
float angleCos[kAngleSteps];

namespace {

constexpr int32_t kStepsPerHalfTurn = 256;

struct Camera {
    float sa = 0, ca = 1, sb = 0, cb = 1, sc = 0, cc = 1;
    float m[3][3] = {};
    float tx = 0, ty = 0, tz = 0;
    int32_t focal = 200;
    int32_t centreX = 160;
    int32_t centreY = 100;
};

Camera camera;

// Nearest with ties to even (the rounding mode every process starts in), saturated to 32 bits:
// a point just in front of the eye can land billions of pixels away.
int32_t ScreenCoordinate(double value) {
    const double rounded = std::nearbyint(value);
    if (rounded >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (rounded <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(rounded);
}

}  // namespace

void BuildAngleTables() {
    const double step = std::numbers::pi / kStepsPerHalfTurn;
    for (int32_t i = 0; i < kAngleSteps; ++i) {
        angleCos[i] = static_cast<float>(std::cos(step * i));
        angleSin[i] = static_cast<float>(std::sin(step * i));
    }
}

void SetProjection(int32_t focal, int32_t centreX, int32_t centreY) {
    camera.focal = focal;
    camera.centreX = centreX;
    camera.centreY = centreY;
}

void SetRotationAngles(int32_t a, int32_t b, int32_t c) {
    camera.sb = angleSin[b & kAngleMask];
    camera.cb = angleCos[b & kAngleMask];
    camera.sa = angleSin[a & kAngleMask];
    camera.ca = angleCos[a & kAngleMask];
    camera.sc = angleSin[c & kAngleMask];
    camera.cc = angleCos[c & kAngleMask];
}

void SetTranslation(int32_t tx, int32_t ty, int32_t tz) {
    camera.tx = static_cast<float>(tx);
    camera.ty = static_cast<float>(ty);
    camera.tz = static_cast<float>(tz);
}

void BuildRotation() {
    const double sa = camera.sa, ca = camera.ca, sb = camera.sb, cb = camera.cb;
    const double sc = camera.sc, cc = camera.cc;
    auto& m = camera.m;
    m[0][0] = static_cast<float>(ca * sb * sc - sa * cc);
    m[0][1] = static_cast<float>(cb * sc);
    m[0][2] = static_cast<float>(ca * cc + sa * sb * sc);
    m[1][0] = static_cast<float>(sa * sc + ca * sb * cc);
    m[1][1] = static_cast<float>(cb * cc);
    m[1][2] = static_cast<float>(sa * sb * cc - ca * sc);
    m[2][0] = static_cast<float>(ca * cb);
    m[2][1] = static_cast<float>(-sb);
    m[2][2] = static_cast<float>(sa * cb);
}

void TransformPoints(int32_t count, const Point3* source, Point3* destination) {
    const auto& m = camera.m;
    for (int32_t i = 0; i < count; ++i) {
        const double x = source[i].x, y = source[i].y, z = source[i].z;
        // In double, summed in this grouping, then stored as single precision.
        destination[i].x =
            static_cast<float>(m[0][0] * x + (m[1][0] * y + m[2][0] * z) + camera.tx);
        destination[i].y =
            static_cast<float>(m[0][1] * x + (m[1][1] * y + m[2][1] * z) + camera.ty);
        destination[i].z =
            static_cast<float>(m[0][2] * x + (m[1][2] * y + m[2][2] * z) + camera.tz);
    }
}

void ProjectPoints(int32_t count, const Point3* source, ScreenPoint* destination) {
    const double focal = camera.focal;
    const double centreX = camera.centreX;
    const double centreY = camera.centreY;
    for (int32_t i = 0; i < count; ++i) {
        if (source[i].z == 0.0f) {
            destination[i].x = destination[i].y = kInvisibleCoordinate;
            continue;
        }
        const double r = 1.0 / source[i].z;
        const double y = source[i].y * focal * r + centreY;
        const double x = source[i].x * focal * r + centreX;
        // A damaged point (a NaN or infinite coordinate) has no place on the screen.
        if (!std::isfinite(x) || !std::isfinite(y)) {
            destination[i].x = destination[i].y = kInvisibleCoordinate;
            continue;
        }
        destination[i].y = ScreenCoordinate(y);
        destination[i].x = ScreenCoordinate(x);
    }
}
