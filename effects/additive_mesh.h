// The glass solid: every triangle of the embedded mesh adds meshColour to the pixels it covers,
// with no hidden surfaces removed, so the solid glows brighter where more of it lies behind a
// pixel. On the pulse rows of the song it is drawn three times larger.
#pragma once

#include <cstdint>

#include "effects/projection.h"

inline constexpr int32_t kMeshVertices = 42;
inline constexpr int32_t kMeshFaces = 80;

struct MeshFace {
    uint32_t vertex[3];  // indices into the point arrays
};

struct FaceKey {
    float key;  // the sum of the face's three camera-space z: larger is farther
    const MeshFace* face;
};

// Added to every covered pixel, with no saturation; the timeline sets it.
extern uint16_t meshColour;
// Puts the colour back to its start (0: the mesh adds nothing until the timeline sets one).
void ResetAdditiveMesh();

// Once at start-up: the reciprocal table and the mesh from the embedded block.
void InitTriangleTables();
// Draws the mesh in the pose of the mesh motion, tripled in size on a pulse position.
void DrawPulsingMesh();
void DrawMeshAdd(int32_t faceCount, const MeshFace* faces, const Point3* camera,
                 const ScreenPoint* screen);
void BuildFaceKeys(int32_t faceCount, const MeshFace* faces, const Point3* camera, FaceKey* keys);
// Largest key first.
void SortFaceKeys(FaceKey* keys, int32_t count);
// True when the face lies wholly beyond one edge of the screen.
bool FaceOffScreen(const MeshFace& face, const ScreenPoint* screen);
// Adds meshColour to the rows the triangle covers, columns 0..318 and rows 0..198 at most.
void FillTriangleAdd(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// Writes one clamped x per row from row ya to row yb (exclusive) into `table`; returns the entry
// after the last one written.
int32_t* StepEdge(int32_t xa, int32_t xb, int32_t ya, int32_t yb, int32_t* table);
