// Writes the glass solid to OUT: 42 vertices (three little-endian floats each), then 80 faces
// (three 32-bit vertex indices each). The solid is an icosidodecahedron of radius 82.8 whose 12
// pentagons are sunk into pyramids towards inner points at radius 43.5: its 20 triangles first,
// then 12 fans of 5 triangles, each with the inner point first. The program checks the counts,
// the radii and that every edge belongs to exactly two faces before it writes anything.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "generators/asset_file.h"

namespace {

constexpr double kOuterRadius = 82.8;
constexpr double kInnerRadius = 43.5;
// The solid's centre, a little off the origin it turns about, so it sways as it spins.
constexpr double kCentreX = -1.99;
constexpr double kCentreY = 0.0;
constexpr double kCentreZ = -2.65;
constexpr size_t kOuterVertices = 30;
constexpr size_t kPentagons = 12;
constexpr size_t kFaces = 80;

struct Vec {
    double x, y, z;
};

Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(Vec a) { return std::sqrt(Dot(a, a)); }
Vec Scaled(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }

// The three cyclic permutations of (a, b, c) with every choice of signs for the non-zero ones.
void AddCyclic(double a, double b, double c, std::vector<Vec>& out) {
    const double values[3] = {a, b, c};
    for (int shift = 0; shift < 3; ++shift) {
        for (int signs = 0; signs < 8; ++signs) {
            double v[3];
            bool repeated = false;
            for (int k = 0; k < 3; ++k) {
                v[k] = values[(k + shift) % 3];
                if (signs >> k & 1) {
                    if (v[k] == 0.0) repeated = true;  // -0 is the same vertex
                    v[k] = -v[k];
                }
            }
            if (!repeated) out.push_back({v[0], v[1], v[2]});
        }
    }
}

int Fail(const char* what) {
    std::fprintf(stderr, "make_mesh: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_mesh OUT\n");
        return 2;
    }
    const double phi = (1.0 + std::sqrt(5.0)) / 2.0;
    // The icosidodecahedron with edge 1 and radius phi: the midpoints of an icosahedron's edges.
    std::vector<Vec> outer;
    AddCyclic(0.0, 0.0, phi, outer);
    AddCyclic(0.5, phi / 2.0, phi * phi / 2.0, outer);
    // Its pentagons face the icosahedron's vertices.
    std::vector<Vec> pentagonAxes;
    AddCyclic(0.0, phi, 1.0, pentagonAxes);
    if (outer.size() != kOuterVertices || pentagonAxes.size() != kPentagons) {
        return Fail("wrong vertex count");
    }

    // Edges join vertices at distance 1; the triangles are the triples joined pairwise.
    auto adjacent = [&](size_t i, size_t j) {
        return std::fabs(Length(outer[i] - outer[j]) - 1.0) < 1e-9;
    };
    std::vector<std::array<uint32_t, 3>> faces;
    for (size_t i = 0; i < kOuterVertices; ++i) {
        for (size_t j = i + 1; j < kOuterVertices; ++j) {
            for (size_t k = j + 1; k < kOuterVertices; ++k) {
                if (adjacent(i, j) && adjacent(j, k) && adjacent(i, k)) {
                    faces.push_back({uint32_t(i), uint32_t(j), uint32_t(k)});
                }
            }
        }
    }
    // Each pentagon: the five vertices nearest its axis, in turn around it, fanned from the inner
    // point that lies on the axis.
    for (size_t p = 0; p < kPentagons; ++p) {
        const Vec axis = Scaled(pentagonAxes[p], 1.0 / Length(pentagonAxes[p]));
        std::vector<std::pair<double, uint32_t>> ring;
        for (size_t v = 0; v < kOuterVertices; ++v) {
            if (Dot(outer[v], axis) / phi > 0.8) ring.push_back({0.0, uint32_t(v)});
        }
        if (ring.size() != 5) return Fail("a pentagon without five vertices");
        const Vec u = Scaled(outer[ring[0].second], 1.0);
        const Vec e1 = u - Scaled(axis, Dot(u, axis));
        const Vec e2 = Cross(axis, e1);
        for (auto& [angle, v] : ring) angle = std::atan2(Dot(outer[v], e2), Dot(outer[v], e1));
        std::sort(ring.begin(), ring.end());
        const auto inner = static_cast<uint32_t>(kOuterVertices + p);
        for (size_t k = 0; k < 5; ++k) {
            faces.push_back({inner, ring[k].second, ring[(k + 1) % 5].second});
        }
    }
    if (faces.size() != kFaces) return Fail("wrong face count");

    // Every edge in exactly two faces: the surface is closed, with no seam and no fin.
    std::map<std::pair<uint32_t, uint32_t>, int> edgeUses;
    for (const auto& f : faces) {
        for (int k = 0; k < 3; ++k) {
            const uint32_t a = f[k], b = f[(k + 1) % 3];
            ++edgeUses[{std::min(a, b), std::max(a, b)}];
        }
    }
    for (const auto& [edge, uses] : edgeUses) {
        if (uses != 2) return Fail("an edge not shared by exactly two faces");
    }

    std::vector<float> coordinates;
    auto place = [&](Vec direction, double radius) {
        const Vec v = Scaled(direction, radius / Length(direction));
        coordinates.push_back(static_cast<float>(v.x + kCentreX));
        coordinates.push_back(static_cast<float>(v.y + kCentreY));
        coordinates.push_back(static_cast<float>(v.z + kCentreZ));
    };
    for (const Vec& v : outer) place(v, kOuterRadius);
    for (const Vec& a : pentagonAxes) place(a, kInnerRadius);
    for (size_t v = 0; v < coordinates.size() / 3; ++v) {
        const Vec p{coordinates[3 * v] - kCentreX, coordinates[3 * v + 1] - kCentreY,
                    coordinates[3 * v + 2] - kCentreZ};
        const double want = v < kOuterVertices ? kOuterRadius : kInnerRadius;
        if (std::fabs(Length(p) - want) > 1e-3) return Fail("a vertex off its sphere");
    }

    std::vector<uint8_t> bytes;
    auto put32 = [&](uint32_t value) {
        for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(value >> (8 * k)));
    };
    for (float c : coordinates) {
        uint32_t bits;
        static_assert(sizeof bits == sizeof c);
        std::memcpy(&bits, &c, sizeof bits);
        put32(bits);
    }
    for (const auto& f : faces) {
        for (uint32_t v : f) put32(v);
    }
    return WriteAssetFile("make_mesh", argv[1], bytes) ? 0 : 1;
}
