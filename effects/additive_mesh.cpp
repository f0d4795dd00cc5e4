#include "effects/additive_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "assets/embedded_data.h"
#include "platform/display.h"
#include "show/beat_tables.h"
#include "show/mesh_motion.h"
#include "show/song_clock.h"

uint16_t meshColour = 0;

namespace {

constexpr int32_t kRightmostColumn = 319;
constexpr int32_t kBottomRow = 199;  // exclusive: never written
// Triangles up to this many rows are drawn; the solid itself stays below about 1000 even tripled.
constexpr int32_t kTallestTriangleRows = 5800;
// The 32.32 edge step's scale: one short of 2^32, so an exact half rounds to the lower x.
constexpr double kSlopeScale = 4294967295.0;
constexpr uint32_t kHalfFraction = 0x80000000u;
constexpr int32_t kPulseScale = 3;

struct MeshState {
    // 1 / n for n = 1 .. kTallestTriangleRows, so no edge divides.
    double recip[kTallestTriangleRows + 1];
    Point3 vertices[kMeshVertices];
    MeshFace faces[kMeshFaces];
    int32_t faceCount;
    Point3 enlarged[kMeshVertices];
    Point3 camera[kMeshVertices];
    ScreenPoint screen[kMeshVertices];
    FaceKey keys[kMeshFaces];
    int32_t shortSideX[kTallestTriangleRows];
    int32_t longSideX[kTallestTriangleRows];
};

MeshState mesh;

int32_t ClampColumn(int32_t x) { return std::clamp(x, 0, kRightmostColumn); }

bool IsPulse(uint32_t position) {
    return std::find(std::begin(pulsePositions), std::end(pulsePositions), position) !=
           std::end(pulsePositions);
}

// The span's pixels two at a time: one 32-bit addition lifts both, and a carry out of the first
// pixel's red field runs on into the second's blue, as the glow was first drawn; a lone last
// pixel takes a 16-bit addition.
void AddSpan(uint16_t* row, int32_t from, int32_t to) {
    const uint32_t pair = static_cast<uint32_t>(meshColour) << 16 | meshColour;
    int32_t x = from;
    for (; x + 1 < to; x += 2) {
        uint32_t both;
        std::memcpy(&both, row + x, sizeof both);
        both += pair;
        std::memcpy(row + x, &both, sizeof both);
    }
    if (x < to) row[x] = static_cast<uint16_t>(row[x] + meshColour);
}

void QuickSort(FaceKey* keys, int32_t lo, int32_t hi) {
    for (;;) {
        const float pivot = keys[static_cast<uint32_t>(lo + hi) / 2].key;
        int32_t i = lo;
        int32_t j = hi;
        while (i <= j) {
            while (keys[i].key > pivot) ++i;
            while (keys[j].key < pivot) --j;
            if (i <= j) {
                std::swap(keys[i], keys[j]);
                ++i;
                --j;
            }
        }
        if (lo < j) QuickSort(keys, lo, j);
        if (i >= hi) return;
        lo = i;
    }
}

}  // namespace

void InitTriangleTables() {
    for (int32_t n = 1; n <= kTallestTriangleRows; ++n) mesh.recip[n] = 1.0 / n;
    static_assert(sizeof(Point3) == 12 && sizeof(MeshFace) == 12);
    std::memcpy(mesh.vertices, meshData, sizeof mesh.vertices);
    // The build checks the mesh; a face that names a vertex the mesh lacks is left out rather
    // than read beyond the point arrays.
    mesh.faceCount = 0;
    for (int32_t f = 0; f < kMeshFaces; ++f) {
        MeshFace face;
        std::memcpy(&face, meshData + sizeof mesh.vertices + f * sizeof face, sizeof face);
        if (face.vertex[0] < kMeshVertices && face.vertex[1] < kMeshVertices &&
            face.vertex[2] < kMeshVertices) {
            mesh.faces[mesh.faceCount++] = face;
        }
    }
}

void DrawPulsingMesh() {
    SetProjection(kCameraFocal, kCameraCentreX, kCameraCentreY);
    SetRotationAngles(meshTurn1, meshTurn2, meshTurn3);
    SetTranslation(meshShift1, meshShift2, meshDistance);
    BuildRotation();
    const Point3* vertices = mesh.vertices;
    if (IsPulse(GetSongPosition())) {
        for (int32_t v = 0; v < kMeshVertices; ++v) {
            mesh.enlarged[v] =
                Point3{mesh.vertices[v].x * kPulseScale, mesh.vertices[v].y * kPulseScale,
                       mesh.vertices[v].z * kPulseScale};
        }
        vertices = mesh.enlarged;
    }
    TransformPoints(kMeshVertices, vertices, mesh.camera);
    ProjectPoints(kMeshVertices, mesh.camera, mesh.screen);
    DrawMeshAdd(mesh.faceCount, mesh.faces, mesh.camera, mesh.screen);
}

void DrawMeshAdd(int32_t faceCount, const MeshFace* faces, const Point3* camera,
                 const ScreenPoint* screen) {
    FaceKey* keys = mesh.keys;
    faceCount = std::min(faceCount, kMeshFaces);
    BuildFaceKeys(faceCount, faces, camera, keys);
    if (faceCount >= 2) SortFaceKeys(keys, faceCount);
    for (int32_t k = 0; k < faceCount; ++k) {
        const MeshFace& face = *keys[k].face;
        if (FaceOffScreen(face, screen)) continue;
        const ScreenPoint& a = screen[face.vertex[0]];
        const ScreenPoint& b = screen[face.vertex[1]];
        const ScreenPoint& c = screen[face.vertex[2]];
        FillTriangleAdd(a.x, a.y, b.x, b.y, c.x, c.y);
    }
}

void BuildFaceKeys(int32_t faceCount, const MeshFace* faces, const Point3* camera, FaceKey* keys) {
    for (int32_t f = 0; f < faceCount; ++f) {
        const MeshFace& face = faces[f];
        keys[f] = FaceKey{
            camera[face.vertex[0]].z + camera[face.vertex[1]].z + camera[face.vertex[2]].z, &face};
    }
}

void SortFaceKeys(FaceKey* keys, int32_t count) {
    if (count >= 2) QuickSort(keys, 0, count - 1);
}

bool FaceOffScreen(const MeshFace& face, const ScreenPoint* screen) {
    const ScreenPoint& a = screen[face.vertex[0]];
    const ScreenPoint& b = screen[face.vertex[1]];
    const ScreenPoint& c = screen[face.vertex[2]];
    return (a.x <= 0 && b.x <= 0 && c.x <= 0) ||
           (a.x >= kRightmostColumn && b.x >= kRightmostColumn && c.x >= kRightmostColumn) ||
           (a.y >= kBottomRow && b.y >= kBottomRow && c.y >= kBottomRow) ||
           (a.y <= 0 && b.y <= 0 && c.y <= 0);
}

int32_t* StepEdge(int32_t xa, int32_t xb, int32_t ya, int32_t yb, int32_t* table) {
    const int64_t rows = int64_t{yb} - ya;
    if (rows <= 0 || rows > kTallestTriangleRows) return table;
    const double exact = (static_cast<double>(xb) - xa) * mesh.recip[rows] * kSlopeScale;
    // Nearest with ties to even; a step beyond 64 bits (x ends billions of columns apart)
    // saturates instead of converting out of range.
    const double rounded = std::nearbyint(exact);
    const int64_t slope = rounded >= 9223372036854775807.0    ? INT64_MAX
                          : rounded <= -9223372036854775808.0 ? INT64_MIN
                                                              : static_cast<int64_t>(rounded);
    // x in the high half, the fraction in the low half starting at one half; the addition wraps
    // as 64-bit arithmetic does, and the clamp touches only what is written.
    uint64_t accumulator = static_cast<uint64_t>(static_cast<uint32_t>(xa)) << 32 | kHalfFraction;
    for (int64_t k = 0; k < rows; ++k) {
        *table++ = ClampColumn(static_cast<int32_t>(static_cast<uint32_t>(accumulator >> 32)));
        accumulator += static_cast<uint64_t>(slope);
    }
    return table;
}

void FillTriangleAdd(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
        if (y0 > y1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
    }
    // In 64 bits: the vertices of a point near zero depth lie at the ends of the 32-bit range.
    if (int64_t{y2} - y0 > kTallestTriangleRows) return;
    StepEdge(x1, x2, y1, y2, StepEdge(x0, x1, y0, y1, mesh.shortSideX));
    StepEdge(x0, x2, y0, y2, mesh.longSideX);
    if (y0 > kBottomRow || y2 < 0) return;
    const int32_t firstRow = std::max(y0, 0);
    const int32_t endRow = std::min(y2, kBottomRow);
    uint16_t* row = FrameBuffer + firstRow * static_cast<int32_t>(kFrameWidth);
    for (int32_t y = firstRow, entry = firstRow - y0; y < endRow; ++y, ++entry) {
        const int32_t a = mesh.shortSideX[entry];
        const int32_t b = mesh.longSideX[entry];
        AddSpan(row, std::min(a, b), std::max(a, b));
        row += kFrameWidth;
    }
}

void ResetAdditiveMesh() { meshColour = 0; }
