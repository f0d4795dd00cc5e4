// The effects' rules one case at a time, where a change of the show's digest would only say that
// a picture changed: the mesh's edge steps, face keys, face order and off-screen test, and the
// byte sine.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "effect_frame.h"
#include "effects/additive_mesh.h"
#include "effects/shared_tables.h"

namespace {

class MeshRules : public EffectFrame {
protected:
    void SetUp() override {
        EffectFrame::SetUp();
        InitTriangleTables();
    }
};

// One x per row, from ya to yb exclusive: x starts half a column in and moves by the exact slope,
// the column being the whole part, clamped to 0..319.
TEST_F(MeshRules, EdgeStepsOneClampedColumnPerRow) {
    struct Case {
        int32_t xa, xb, ya, yb;
        std::vector<int32_t> want;
    };
    const Case cases[] = {
        {0, 3, 0, 3, {0, 1, 2}},
        {0, 1, 0, 2, {0, 1}},              // 0.5, 1.0: the half start shows
        {3, 0, 0, 3, {3, 2, 1}},           // 3.5, 2.5, 1.5
        {10, 11, 4, 8, {10, 10, 11, 11}},  // 10.5, 10.75, 11.0, 11.25
        {5, 5, 7, 10, {5, 5, 5}},
        {-5, 5, 0, 2, {0, 0}},             // -4.5 and 0.5, the first clamped
        {315, 325, 0, 2, {315, 319}},      // 315.5 and 320.5, the second clamped
        {8, 20, 6, 6, {}},                 // no rows
        {8, 20, 6, 2, {}},                 // upwards: nothing
    };
    for (const Case& c : cases) {
        int32_t table[8];
        std::fill(std::begin(table), std::end(table), -99);
        const int32_t* end = StepEdge(c.xa, c.xb, c.ya, c.yb, table);
        const std::vector<int32_t> got(table, const_cast<int32_t*>(end));
        EXPECT_EQ(got, c.want) << c.xa << ".." << c.xb << " rows " << c.ya << ".." << c.yb;
        EXPECT_EQ(table[c.want.size()], -99) << "written past the rows";
    }
}

TEST_F(MeshRules, AFacesKeyIsTheSumOfItsThreeDepths) {
    const Point3 camera[] = {{0, 0, 1}, {0, 0, 10}, {0, 0, 100}, {0, 0, -1000}};
    struct Case {
        MeshFace face;
        float key;
    };
    const Case cases[] = {
        {{{0, 1, 2}}, 111}, {{{2, 1, 0}}, 111}, {{{0, 0, 1}}, 12},
        {{{1, 2, 2}}, 210}, {{{3, 2, 0}}, -899},
    };
    for (const Case& c : cases) {
        FaceKey key{};
        BuildFaceKeys(1, &c.face, camera, &key);
        EXPECT_EQ(key.key, c.key) << c.face.vertex[0] << c.face.vertex[1] << c.face.vertex[2];
        EXPECT_EQ(key.face, &c.face);
    }
}

// Farthest first, whatever the count and the order given.
TEST_F(MeshRules, FacesSortFarthestFirst) {
    const std::vector<std::vector<float>> cases = {
        {1, 2}, {2, 1}, {1, 2, 3}, {3, 1, 2}, {5, 5, 1}, {1, 5, 5, 1}, {-3, 7, 0, 7, -3, 2},
    };
    MeshFace faces[8];
    for (const std::vector<float>& keys : cases) {
        std::vector<FaceKey> sorted;
        for (size_t k = 0; k < keys.size(); ++k) sorted.push_back({keys[k], &faces[k]});
        SortFaceKeys(sorted.data(), static_cast<int32_t>(sorted.size()));
        std::vector<float> got, want = keys;
        std::sort(want.rbegin(), want.rend());
        for (const FaceKey& k : sorted) got.push_back(k.key);
        EXPECT_EQ(got, want) << keys.size() << " keys from " << keys[0];
    }
}

// Off screen when all three corners lie on or beyond one edge: x 0 or 319, y 0 or 199.
TEST_F(MeshRules, AFaceIsOffScreenWhenAllCornersLieOnOrBeyondOneEdge) {
    struct Case {
        ScreenPoint a, b, c;
        bool off;
    };
    const Case cases[] = {
        {{0, 50, 0}, {0, 60, 0}, {0, 70, 0}, true},
        {{1, 50, 0}, {0, 60, 0}, {0, 70, 0}, false},
        {{-9, 50, 0}, {0, 60, 0}, {-1, 70, 0}, true},
        {{319, 50, 0}, {319, 60, 0}, {400, 70, 0}, true},
        {{318, 50, 0}, {319, 60, 0}, {319, 70, 0}, false},
        {{10, 0, 0}, {20, 0, 0}, {30, -5, 0}, true},
        {{10, 1, 0}, {20, 0, 0}, {30, 0, 0}, false},
        {{10, 199, 0}, {20, 199, 0}, {30, 250, 0}, true},
        {{10, 199, 0}, {20, 198, 0}, {30, 199, 0}, false},
        {{0, 0, 0}, {319, 199, 0}, {0, 199, 0}, false},  // on two edges, across the screen
    };
    for (const Case& c : cases) {
        const ScreenPoint screen[] = {c.a, c.b, c.c};
        EXPECT_EQ(FaceOffScreen(MeshFace{{0, 1, 2}}, screen), c.off)
            << c.a.x << "," << c.a.y << " " << c.b.x << "," << c.b.y << " " << c.c.x << ","
            << c.c.y;
    }
}

TEST(SineBytes, NearestOf127Plus127SineOverTheTurn) {
    struct Case {
        int index;
        int value;
    };
    const Case cases[] = {
        {0, 127},   {1, 130},  {16, 176}, {32, 217},  {64, 254},
        {96, 217},  {128, 127}, {160, 37}, {192, 0},  {224, 37}, {255, 124},
    };
    for (const Case& c : cases) EXPECT_EQ(sineBytes[c.index], c.value) << "entry " << c.index;
}

}  // namespace
