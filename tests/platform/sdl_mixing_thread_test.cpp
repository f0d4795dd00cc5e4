// The whole output on the SDL device (its dummy driver under test): the mixing thread must run on
// its own, tick a started Song in real time, and stop cleanly.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "replay/song_control.h"
#include "sound/audio_output.h"
#include "sound/memory_files.h"

namespace {

std::atomic<int> ticks{0};

void CountTick(Song* /*song*/) { ticks.fetch_add(1); }

TEST(SdlMixingThread, TicksAStartedSongInRealTimeAndStopsOnClose) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    UseMemoryFileHooks();
    SetBufferLength(100);
    ASSERT_TRUE(OpenAudioOutput(44100));

    auto* song = new Song{};
    ListMakeSelfLinked(song);
    song->channelCount = 4;
    song->defaultBpm = 125;  // 50 ticks a second
    song->tickCallback = CountTick;
    ASSERT_TRUE(StartSong(song));

    // Nothing but the mixing thread calls the tick routine here.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ticks.load() < 20 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GE(ticks.load(), 20);

    CloseAudioOutput();
    const int afterClose = ticks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ticks.load(), afterClose) << "no mixing after close";
    FreeSong(song);
}

}  // namespace

namespace {

TEST(SdlMixingThreadDeathTest, ExitingWithTheOutputOpenEndsCleanly) {
    // Some libraries call exit() on their own (Xlib on a lost display); the running mixing
    // thread must not turn that into an abort.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "dummy", 0);
            UseMemoryFileHooks();
            if (!OpenAudioOutput(44100)) std::_Exit(9);
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}

}  // namespace
