// The whole show on the headless platform with the embedded song playing: every scene must begin
// on the frame that the song's layout, the audio blocks and the show's frame clock put it on.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "director/entry.h"
#include "director/song_clock.h"
#include "director/timeline.h"
#include "platform/display.h"
#include "platform/headless.h"
#include "platform/keyboard.h"

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

// The song as the timeline relies on it: speed 6 at 118 BPM throughout, order 0 broken after
// row 31, every other order 64 rows, order 18 repeating.
constexpr int64_t kRateHz = 44100;
constexpr int64_t kAudioFramesPerVideoFrame = kRateHz / kShowFramesPerSecond;  // 630
constexpr int64_t kTicksPerRow = 6;
constexpr int64_t kAudioFramesPerTick = 5 * kRateHz / (2 * 118);           // 934
constexpr int64_t kBlockFrames = 884;                                      // 20 ms, 4-frame multiple
constexpr int64_t kRowsInOrder0 = 32;

// The song position once the virtual device has played `audioFrames`: the mixer has run every
// whole block played so far, and with it every tick that starts inside those blocks.
uint32_t PositionAfter(int64_t audioFrames) {
    const int64_t mixed = audioFrames / kBlockFrames * kBlockFrames;
    if (mixed == 0) return 0;
    const int64_t rowIndex = (mixed - 1) / (kTicksPerRow * kAudioFramesPerTick);
    if (rowIndex < kRowsInOrder0) return static_cast<uint32_t>(rowIndex);
    int64_t order = 1 + (rowIndex - kRowsInOrder0) / 64;
    const int64_t row = (rowIndex - kRowsInOrder0) % 64;
    if (order > 18) order = 18;  // stands in for the repeats of the last order
    return static_cast<uint32_t>(order << 8 | row);
}

// One character per presented frame: the scene's number, or 'w' for a flash frame.
std::string frames;
// Allocations made after the show's first frames, when nothing should allocate any more.
uint64_t allocationsAtFrame10 = 0;
uint64_t allocationsAtLastFrame = 0;

void RecordFrame(const uint8_t* screen, int32_t pitchBytes, uint64_t frameNumber) {
    const auto* row = reinterpret_cast<const uint16_t*>(screen + pitchBytes * 100);
    const int32_t scene = CurrentScene();
    frames += scene == 0 && row[0] == 0xFFFF ? 'w' : scene != 0 ? static_cast<char>('0' + scene) : '?';
    if (frameNumber == 10) allocationsAtFrame10 = allocationCount.load();
    allocationsAtLastFrame = allocationCount.load();
}

// What the model says: scene s ends on the first frame after which the song stands at or past
// its end position; the flashes follow scenes 1 and 5; scene 8 ends on Escape.
std::string ExpectedFrames(uint64_t escapeFrame) {
    std::string trace;
    uint64_t frame = 0;
    for (int scene = 1; scene <= kSceneCount; ++scene) {
        const uint32_t end = showScenes[scene - 1].endPosition;
        do {
            trace += static_cast<char>('0' + scene);
            ++frame;
        } while (frame - 1 < escapeFrame &&
                 PositionAfter(static_cast<int64_t>(frame) * kAudioFramesPerVideoFrame) < end);
        const int flashes = showScenes[scene - 1].flashFramesAfter;
        trace += std::string(flashes, 'w');
        frame += flashes;
    }
    return trace;
}

TEST(ShowTiming, ScenesBeginWhereTheEmbeddedSongPutsThem) {
    // Escape well after the song has reached the last scene's order.
    constexpr uint64_t kEscapeFrame = 10200;
    const KeyStep steps[] = {{kEscapeFrame, false, {DIK_ESCAPE}}};
    HeadlessSetup setup;
    setup.framesPerSecond = kShowFramesPerSecond;
    setup.sink = RecordFrame;
    setup.keySchedule = steps;
    setup.keyStepCount = 1;
    SetUpHeadless(setup);
    frames.clear();
    frames.reserve(kEscapeFrame + 16);  // the record itself must not allocate during the show

    ASSERT_EQ(RunDemo(), 0);

    EXPECT_EQ(frames, ExpectedFrames(kEscapeFrame));
    // The same, as first frames: scene 1 spans orders 0..4, 288 rows of 6 x 934 audio frames,
    // heard once block 1826 has played, after video frame 2563; three flash frames follow.
    std::vector<size_t> starts;
    for (char scene = '1'; scene <= '8'; ++scene) starts.push_back(frames.find(scene));
    const std::vector<size_t> wantStarts = {0, 2566, 3702, 4270, 4840, 5984, 7687, 9964};
    EXPECT_EQ(starts, wantStarts);
    EXPECT_EQ(frames.substr(2563, 3), "www");
    EXPECT_EQ(frames.substr(5979, 5), "wwwww");
    EXPECT_EQ(frames.size(), kEscapeFrame + 1);
    EXPECT_EQ(allocationsAtLastFrame, allocationsAtFrame10) << "the show allocates per frame";
}

}  // namespace
