// The two clouds of light flares: scene 5 lays a growing trail of points along a looping path and
// spins it; scene 6 flies a fixed cloud of 299 pseudo-random stars towards and away from the eye.
// Both go through the 3D pipeline and draw one flare per point that lands in the window.
#pragma once

#include <cstdint>

#include "effects/projection.h"

inline constexpr int32_t kTrailCapacity = 200;
inline constexpr int32_t kStarCount = 299;
inline constexpr int32_t kStarRoom = 300;

struct FlareField {
    Point3 trailPoints[kTrailCapacity];
    int32_t trailCount = 0;
    // Swing angles, unit 2 pi / 1024.
    int32_t trailPhase1 = 0;
    int32_t trailPhase2 = 0;
    int32_t trailPhase3 = 0;
    int32_t trailPhase4 = 0;
    int32_t trailPhase5 = 0;
    int32_t trailAmp1 = 70;      // the trail's y; the stars' distance swing from scene 6 on
    int32_t trailAmp2 = 120;     // the trail's x
    int32_t trailAmp3 = 200;     // the trail's z
    int32_t trailTurn1 = 0;
    int32_t trailTurn2 = 0;
    Point3 starPoints[kStarRoom];
    uint32_t starSeed = 9273;
    Point3 cloudCamera[kStarRoom];
    ScreenPoint cloudScreen[kStarRoom];
};

extern FlareField flareField;

// Puts every start value back, for a show that starts again.
void ResetFlareField();
// One scene-5 frame: the trail grows by a point (up to 200), turns, and its flares are drawn.
void StepFlareTrail();
// Once, before scene 6: the star cloud from its fixed seed.
void GenerateStars();
// One scene-6 frame: the cloud's distance swing, its turn and its projection.
void StepStarField();
// A flare at each of the first `count` projected points with minX <= x <= 271 and 0 <= y <= 157.
void DrawFlares(int32_t count, int32_t minX);
