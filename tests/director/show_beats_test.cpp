// The whole show on the headless platform with the embedded song, read back frame by frame: the
// mesh of scene 1 shows exactly on its beat rows, scene 7's pictures change exactly on theirs, and
// nothing is allocated once the show runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "assets/embedded_data.h"
#include "director/entry.h"
#include "director/timeline.h"
#include "effects/colour_table.h"
#include "platform/headless.h"
#include "platform/keyboard.h"
#include "show/beat_tables.h"
#include "show/song_clock.h"
#include "whole_show.h"

namespace {

std::atomic<uint64_t> allocationCount{0};

}  // namespace

// Every allocation of the test program counts, so the show's own can be seen.
void* operator new(std::size_t bytes) {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(bytes ? bytes : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Allocations counted at the show's tenth frame and at its last.
uint64_t allocationsAtFrame10 = 0;
uint64_t allocationsAtLastFrame = 0;

struct ShownFrame {
    int32_t scene;
    uint32_t position;  // the song position the frame was drawn at
    bool mesh;          // scene 1: the glass mesh is on it
    bool pictureA;      // scene 7: the first swap picture is the one shown
};

std::vector<ShownFrame> shown;

bool IsFontColour(uint16_t p) {
    return std::find(std::begin(fontColours.colour) + 1, std::end(fontColours.colour), p) !=
           std::end(fontColours.colour);
}

void RecordFrame(const uint8_t* screen, int32_t pitchBytes, uint64_t frameNumber) {
    if (frameNumber == 10) allocationsAtFrame10 = allocationCount.load();
    allocationsAtLastFrame = allocationCount.load();
    ShownFrame frame{CurrentScene(), GetSongPosition(), false, false};
    int32_t added = 0;   // scene 1: neither the grey picture nor a caption
    int64_t lightA = 0;  // scene 7: light where only A, or only B, has its figure
    int64_t lightB = 0;
    for (uint32_t y = 2; y < 198; ++y) {
        const auto* row = reinterpret_cast<const uint16_t*>(screen + pitchBytes * y);
        for (uint32_t x = 1; x < 319; ++x) {
            const uint16_t p = row[x];
            const uint32_t blue = p & 31;
            if (frame.scene == 1) {
                const bool grey = (p >> 11) == blue && (p >> 5 & 63) == 2 * blue;
                added += !grey && !IsFontColour(p);
            } else if (frame.scene == 7) {
                const uint8_t a = swapPictureA[y * 320 + x], b = swapPictureB[y * 320 + x];
                if (a >= 96 && b == 0) lightA += blue;
                if (b >= 96 && a == 0) lightB += blue;
            }
        }
    }
    frame.mesh = added > 2000;
    frame.pictureA = lightA > lightB;
    shown.push_back(frame);
}

// The record itself must not allocate during the show.
const bool recorderAdded = [] {
    shown.reserve(16384);
    return AddWholeShowRecorder({RecordFrame, nullptr, nullptr});
}();

TEST(ShowBeats, MeshOnItsBeatsAndPicturesChangingOnTheirs) {
    ASSERT_TRUE(recorderAdded);
    ASSERT_EQ(RunWholeShowOnce(), 0);
    EXPECT_EQ(allocationsAtLastFrame, allocationsAtFrame10) << "the show allocates per frame";

    int32_t meshFrames = 0;
    bool scene7Seen = false;
    bool wantA = true;
    for (size_t k = 0; k < shown.size(); ++k) {
        const ShownFrame& f = shown[k];
        if (f.scene == 1) {
            const bool beat = std::count(std::begin(meshBeatPositions), std::end(meshBeatPositions),
                                         f.position) > 0;
            ASSERT_EQ(f.mesh, beat) << "frame " << k << " at " << std::hex << f.position;
            meshFrames += f.mesh;
        }
        if (f.scene == 7) {
            scene7Seen = true;
            ASSERT_EQ(f.pictureA, wantA) << "frame " << k << " at " << std::hex << f.position;
            // After this frame: one exchange per listing of its row, so a row listed twice (60)
            // leaves the pictures as they were.
            const auto swaps =
                std::count(std::begin(swapPositions), std::end(swapPositions), f.position);
            if (swaps % 2) wantA = !wantA;
        }
    }
    EXPECT_GT(meshFrames, 40) << "ten beat rows of about nine frames each";
    EXPECT_TRUE(scene7Seen);
}

}  // namespace
