#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio_device.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kRateHz = 44100;
constexpr uint32_t kRingFrames = 8840;
constexpr uint32_t kRingBytes = kRingFrames * 4;
constexpr auto kWaitBound = std::chrono::seconds(3);

// Every frame differs from its neighbours and left from right, so a copy from the wrong offset,
// a swapped channel pair or a bad wrap shows as a mismatch.
std::vector<int16_t> RampRing() {
    std::vector<int16_t> ring(kRingFrames * 2);
    for (uint32_t frame = 0; frame < kRingFrames; ++frame) {
        ring[frame * 2] = static_cast<int16_t>(frame);
        ring[frame * 2 + 1] = static_cast<int16_t>(-1 - static_cast<int32_t>(frame));
    }
    return ring;
}

// Polls until the played count exceeds `bytes`; returns the last count read.
uint64_t WaitForPlayedBeyond(uint64_t bytes) {
    const auto deadline = Clock::now() + kWaitBound;
    uint64_t played = AudioDevicePlayedBytes();
    while (played <= bytes && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        played = AudioDevicePlayedBytes();
    }
    return played;
}

class SdlAudioDevice : public testing::Test {
protected:
    // The dummy driver plays into nothing on its own clock, so the suite runs without a sound
    // card; an SDL_AUDIODRIVER already set (by ctest) is kept.
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 0); }
    void TearDown() override { AudioDeviceClose(); }
};

TEST_F(SdlAudioDevice, PlaysPastOneRingLengthInWholeFramesAndKeepsCounting) {
    const std::vector<int16_t> ring = RampRing();
    ASSERT_TRUE(AudioDeviceOpen(kRateHz, ring.data(), kRingBytes));

    const uint64_t first = WaitForPlayedBeyond(kRingBytes);
    ASSERT_GT(first, kRingBytes) << "the device never looped the ring within the bound";
    EXPECT_EQ(first % 4, 0u);

    const uint64_t later = WaitForPlayedBeyond(first);
    EXPECT_GT(later, first) << "the count stopped after the first loop";
    EXPECT_EQ(later % 4, 0u);
}

TEST_F(SdlAudioDevice, CountGrowsAtRoughlyTheRequestedRate) {
    const std::vector<int16_t> ring = RampRing();
    ASSERT_TRUE(AudioDeviceOpen(kRateHz, ring.data(), kRingBytes));
    // Start measuring from the first callback so the device's start-up delay does not count.
    const uint64_t start = WaitForPlayedBeyond(0);
    ASSERT_GT(start, 0u);
    const auto startTime = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const uint64_t end = AudioDevicePlayedBytes();
    const double seconds = std::chrono::duration<double>(Clock::now() - startTime).count();

    // Loose on purpose: this separates "paced by the rate" from "as fast as the CPU allows" or
    // "a fraction of it", not a precise clock check.
    const double bytesPerSecond = static_cast<double>(end - start) / seconds;
    const double expected = 4.0 * kRateHz;
    EXPECT_GT(bytesPerSecond, expected * 0.5);
    EXPECT_LT(bytesPerSecond, expected * 2.0);
}

TEST_F(SdlAudioDevice, CloseResetsTheCountAndRepeatsHarmlesslyAndOpenWorksAgain) {
    const std::vector<int16_t> ring = RampRing();
    ASSERT_TRUE(AudioDeviceOpen(kRateHz, ring.data(), kRingBytes));
    ASSERT_GT(WaitForPlayedBeyond(0), 0u);
    // One device buffer of about 40 ms is held between the count and the loudspeaker.
    EXPECT_EQ(AudioDeviceHeldBytes(), 2048u * 4);

    AudioDeviceClose();
    EXPECT_EQ(AudioDevicePlayedBytes(), 0u);
    EXPECT_EQ(AudioDeviceHeldBytes(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(AudioDevicePlayedBytes(), 0u) << "a callback ran after the close";
    AudioDeviceClose();
    EXPECT_EQ(AudioDevicePlayedBytes(), 0u);

    ASSERT_TRUE(AudioDeviceOpen(kRateHz, ring.data(), kRingBytes));
    EXPECT_GT(WaitForPlayedBeyond(kRingBytes), kRingBytes);
}

TEST_F(SdlAudioDevice, RefusesARingThatIsNotWholeFramesAndLeavesNothingOpen) {
    const std::vector<int16_t> ring = RampRing();
    EXPECT_FALSE(AudioDeviceOpen(kRateHz, ring.data(), kRingBytes - 2));
    EXPECT_FALSE(AudioDeviceOpen(kRateHz, nullptr, kRingBytes));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(AudioDevicePlayedBytes(), 0u);
}

TEST(SdlAudioDeviceOutput, DeliversTheRingBytesInOrderAcrossWraps) {
    // SDL's disk driver writes exactly what the callback produced to a file, which makes the
    // copy itself checkable; the driver list is read when the audio subsystem starts.
    const char* previous = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = previous ? previous : "";
    const std::string path =
        testing::TempDir() + "sdl_audio_device_test." + std::to_string(getpid()) + ".raw";
    std::remove(path.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);

    const std::vector<int16_t> ring = RampRing();
    const bool opened = AudioDeviceOpen(kRateHz, ring.data(), kRingBytes);
    uint64_t played = 0;
    if (opened) {
        // A loop more than the file must hold: the driver writes each buffer after the callback
        // has counted it, so under load the file can trail the count by a buffer or two.
        played = WaitForPlayedBeyond(3 * kRingBytes);
        AudioDeviceClose();
    }
    if (previous) {
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    } else {
        unsetenv("SDL_AUDIODRIVER");
    }
    if (!opened) GTEST_SKIP() << "SDL has no disk audio driver here";
    ASSERT_GT(played, 3 * kRingBytes);

    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<int16_t> written(played / 2 + 4096);
    const size_t count = std::fread(written.data(), sizeof(int16_t), written.size(), file);
    std::fclose(file);
    std::remove(path.c_str());

    // SDL's audio thread may write a buffer of silence before the device is unpaused; the ring
    // itself has no silent frame (its right channel is never 0).
    size_t first = 0;
    while (first + 1 < count && written[first] == 0 && written[first + 1] == 0) first += 2;
    // The device plays on between the last count read and the close, so the file may hold a
    // few buffers more than that count; what matters is that it holds the ring, in order.
    ASSERT_GE((count - first) * 2, 2 * kRingBytes) << "the file holds less than two loops";
    for (size_t i = first; i < count; ++i) {
        ASSERT_EQ(written[i], ring[(i - first) % ring.size()]) << "at value " << i;
    }
}

}  // namespace
