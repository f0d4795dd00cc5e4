// The whole show on the headless platform with the embedded song playing: every scene must begin
// on the frame that the song's layout, the audio ring and the show's frame clock put it on, and
// every beat must be presented within a video frame of the moment its row begins to sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "director/entry.h"
#include "director/timeline.h"
#include "platform/display.h"
#include "platform/headless.h"
#include "platform/keyboard.h"
#include "show/beat_tables.h"
#include "show/song_clock.h"
#include "sound/audio_output.h"
#include "sound/module.h"
#include "sound/song_timing.h"
#include "whole_show.h"

namespace {

// The song as the timeline relies on it: speed 6 at 118 BPM throughout, order 0 broken after
// row 31, every other order 64 rows, order 18 repeating.
constexpr int64_t kRateHz = 44100;
constexpr int64_t kAudioFramesPerVideoFrame = kRateHz / kShowFramesPerSecond;  // 630
constexpr int64_t kTicksPerRow = 6;
constexpr int64_t kAudioFramesPerTick = 5 * kRateHz / (2 * 118);           // 934
constexpr int64_t kBlockFrames = 884;                                      // 20 ms, 4-frame multiple
constexpr int64_t kRingFrames = 10 * kBlockFrames;                         // 100 ms: 10 blocks
constexpr int64_t kRowsInOrder0 = 32;

// The song position heard once the virtual device has played `audioFrames`. The song starts with
// the first block mixed, which the device plays only after a first pass over the silent ring, so
// frame f of the song sounds at device frame f + kRingFrames; the row heard is the last to begin
// at or before that.
uint32_t PositionAfter(int64_t audioFrames) {
    const int64_t songFrame = audioFrames - kRingFrames;
    if (songFrame < 0) return 0;
    const int64_t rowIndex = songFrame / (kTicksPerRow * kAudioFramesPerTick);
    if (rowIndex < kRowsInOrder0) return static_cast<uint32_t>(rowIndex);
    int64_t order = 1 + (rowIndex - kRowsInOrder0) / 64;
    const int64_t row = (rowIndex - kRowsInOrder0) % 64;
    if (order > 18) order = 18;  // stands in for the repeats of the last order
    return static_cast<uint32_t>(order << 8 | row);
}

// What one run of the show left behind.
struct ShowRecord {
    // One character per presented frame: the scene's number, or 'w' for a flash frame.
    std::string frames;
    // Per presented frame: the device frame at which it went on screen, and the song position its
    // picture was drawn with (nothing moves the clock between drawing and presenting).
    std::vector<int64_t> presentedAt;
    std::vector<uint32_t> drawnWith;
    // Each row as it began, with the device frame at which it began to sound.
    std::vector<uint32_t> rowPositions;
    std::vector<int64_t> rowSoundsAt;
};

ShowRecord show;
TickCallback replayTick = nullptr;
int64_t songFramesMixed = 0;  // of the song, before the tick being run

// Wraps the replay's tick to find where each row's first frame lands in the ring and so when the
// device will play it. The song's frames count from the start of the first block mixed after
// StartSong, so a frame's place in its block is its count modulo the block.
void TimedTick(Song* s) {
    replayTick(s);
    const uint32_t position = MixedSongPosition(s);
    if (show.rowPositions.empty() || show.rowPositions.back() != position) {
        const int64_t ringFrame =
            OutputNextBlock() * kBlockFrames + songFramesMixed % kBlockFrames;
        const int64_t played = static_cast<int64_t>(HeadlessAudioFramesPlayed());
        const int64_t ahead = ((ringFrame - played % kRingFrames) + kRingFrames) % kRingFrames;
        show.rowPositions.push_back(position);
        show.rowSoundsAt.push_back(played + ahead);
    }
    songFramesMixed += s->samplesPerTick;
}

void RecordCall(PlatformCall call) {
    // StartSong has run once the timeline polls, and no audio moves before the first present.
    if (showSong && showSong->playing == 1 && showSong->tickCallback != TimedTick) {
        replayTick = showSong->tickCallback;
        showSong->tickCallback = TimedTick;
    }
    if (call == PlatformCall::PresentFrame) {
        show.presentedAt.push_back(static_cast<int64_t>(HeadlessAudioFramesPlayed()));
        show.drawnWith.push_back(GetSongPosition());
    }
}

void RecordFrame(const uint8_t* screen, int32_t pitchBytes, uint64_t /*frameNumber*/) {
    const auto* row = reinterpret_cast<const uint16_t*>(screen + pitchBytes * 100);
    const int32_t scene = CurrentScene();
    show.frames += scene == 0 && row[0] == 0xFFFF ? 'w'
                   : scene != 0                   ? static_cast<char>('0' + scene)
                                                  : '?';
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

// Every vector the recorder fills is reserved ahead: the show is checked for allocating nothing
// once it runs, in this program too.
const bool recorderAdded = [] {
    show.frames.reserve(16384);
    show.presentedAt.reserve(16384);
    show.drawnWith.reserve(16384);
    show.rowPositions.reserve(4096);
    show.rowSoundsAt.reserve(4096);
    return AddWholeShowRecorder({RecordFrame, nullptr, RecordCall});
}();

class ShowTiming : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(recorderAdded);
        exitStatus = RunWholeShowOnce();
    }
    static int exitStatus;
};

int ShowTiming::exitStatus = -1;

TEST_F(ShowTiming, ScenesBeginWhereTheEmbeddedSongPutsThem) {
    ASSERT_EQ(exitStatus, 0);
    const uint64_t endFrame = WholeShowEndFrame();
    EXPECT_EQ(show.frames, ExpectedFrames(endFrame));
    // The same, as first frames: scene 1 spans orders 0..4, 288 rows of 6 x 934 audio frames, so
    // order 5 begins 1613952 frames into the song and sounds a ring later, at device frame
    // 1622792; the end test after video frame 2575 (clock at 2576 x 630) is the first to hear it,
    // and three flash frames follow.
    std::vector<size_t> starts;
    for (char scene = '1'; scene <= '8'; ++scene) starts.push_back(show.frames.find(scene));
    const std::vector<size_t> wantStarts = {0, 2579, 3715, 4284, 4854, 5997, 7700, 9977};
    EXPECT_EQ(starts, wantStarts);
    EXPECT_EQ(show.frames.substr(2576, 3), "www");
    EXPECT_EQ(show.frames.substr(5992, 5), "wwwww");
    EXPECT_EQ(show.frames.size(), endFrame + 1);
}

TEST_F(ShowTiming, EveryBeatIsPresentedWithinAVideoFrameOfItsSound) {
    ASSERT_EQ(exitStatus, 0);
    std::vector<std::pair<uint32_t, size_t>> beats;  // position, first frame showing it
    // A scene change shows with the next frame after its end test: a flash, or the next scene.
    for (int scene = 1; scene < kSceneCount; ++scene) {
        const size_t last = show.frames.rfind(static_cast<char>('0' + scene));
        beats.push_back({showScenes[scene - 1].endPosition, last + 1});
    }
    // A beat row shows in the first frame drawn while the song stands on it.
    std::vector<uint32_t> rows(std::begin(meshBeatPositions), std::end(meshBeatPositions));
    rows.insert(rows.end(), std::begin(pulsePositions), std::end(pulsePositions));
    rows.insert(rows.end(), std::begin(swapPositions), std::end(swapPositions));
    for (const uint32_t position : rows) {
        const auto drawn = std::find(show.drawnWith.begin(), show.drawnWith.end(), position);
        beats.push_back({position, static_cast<size_t>(drawn - show.drawnWith.begin())});
    }

    int64_t worst = 0;
    for (const auto& [position, frame] : beats) {
        const auto row = std::find(show.rowPositions.begin(), show.rowPositions.end(), position);
        ASSERT_NE(row, show.rowPositions.end()) << std::hex << position;
        ASSERT_LT(frame, show.presentedAt.size()) << std::hex << position;
        const int64_t late =
            show.presentedAt[frame] - show.rowSoundsAt[row - show.rowPositions.begin()];
        EXPECT_LE(std::llabs(late), kAudioFramesPerVideoFrame) << std::hex << position;
        if (std::llabs(late) > std::llabs(worst)) worst = late;
    }
    std::printf("%zu beats: worst presented minus sounded %lld audio frames (%.2f ms)\n",
                beats.size(), static_cast<long long>(worst),
                1000.0 * static_cast<double>(worst) / kRateHz);
}

}  // namespace
