#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sound/voice.h"

namespace {

constexpr int32_t kRate = 44100;

// A Sample over `values` with the loop guard placed as the loader places it.
struct TestSample {
    std::vector<int16_t> data;
    Sample sample{};

    TestSample(std::vector<int16_t> values, uint8_t loopType, uint32_t loopStart,
               uint32_t loopLength) {
        data = values;
        data.resize(values.size() + kSampleGuardValues, 0);
        sample.data = data.data();
        sample.length = static_cast<uint32_t>(values.size());
        sample.loopType = loopType;
        sample.loopStart = loopType == kLoopNone ? 0 : loopStart;
        sample.loopLength = loopType == kLoopNone ? sample.length : loopLength;
        sample.bits = 16;
        const uint32_t end = sample.loopStart + sample.loopLength;
        data[end] = loopType == kLoopPingPong ? data[end - 1] : data[sample.loopStart];
    }
};

class Mixer : public ::testing::Test {
protected:
    void SetUp() override { CreateVoicePool(kRate); }
    void TearDown() override { ReleaseVoicePool(); }

    static Voice& V(int32_t i) { return VoicePool()[i]; }

    // Binds voice 0 at full volume hard left, with its gains already settled (no ramp).
    static void PlaySettled(const Sample& sample, int32_t hz) {
        ASSERT_EQ(BindVoiceSample(0, &sample), 0);
        SetVoiceFrequency(0, hz);
        SetVoicePanning(0, 0);
        SetVoiceVolume(0, 255);
        V(0).currentLeft = V(0).leftVolume;
        V(0).currentRight = V(0).rightVolume;
    }

    // Mixes `frames` frames into a fresh buffer and returns the left channel.
    static std::vector<float> MixLeft(int32_t frames) {
        std::vector<float> out(2 * frames, 0.0f);
        MixVoices(out.data(), VoiceList(), frames);
        std::vector<float> left(frames);
        for (int32_t k = 0; k < frames; ++k) left[k] = out[2 * k];
        return left;
    }
};

TEST_F(Mixer, FrequencyIsClampedAndTurnedIntoA32Dot32Step) {
    struct Case {
        int32_t hz;
        uint32_t stepInt, stepFrac;
    };
    const Case cases[] = {
        {44100, 1, 0},
        {22050, 0, 0x80000000u},
        {88200, 2, 0},
        {100, 0, 9739154},        // 100 / 44100 of 2^32, truncated
        {50, 0, 9739154},         // clamped up to 100 Hz
        {-5, 0, 9739154},
        {705600, 16, 0},
        {1000000, 16, 0},         // clamped down to 705600 Hz
        {8363, 0, 814485521},
    };
    for (const Case& c : cases) {
        SetVoiceFrequency(3, c.hz);
        EXPECT_EQ(V(3).frequency, c.hz) << "keeps the rate given";
        EXPECT_EQ(V(3).stepInt, c.stepInt) << c.hz;
        EXPECT_EQ(V(3).stepFrac, c.stepFrac) << c.hz;
    }
}

TEST_F(Mixer, VolumeAndPanningGiveLinearPanGains) {
    struct Case {
        int32_t volume, panning;
        uint8_t left, right;
    };
    const Case cases[] = {
        {255, 128, 127, 128}, {127, 128, 63, 63}, {64, 0, 64, 0},
        {100, 255, 0, 100},   {127, 64, 95, 31},  {0, 200, 0, 0},
        {300, 255, 0, 255},   {255, -20, 255, 0},  // outside 0..255: clamped, never wrapped
    };
    for (const Case& c : cases) {
        SetVoicePanning(1, c.panning);
        SetVoiceVolume(1, c.volume);
        EXPECT_EQ(V(1).leftVolume, c.left) << c.volume << " " << c.panning;
        EXPECT_EQ(V(1).rightVolume, c.right) << c.volume << " " << c.panning;
        // The order of the two calls does not matter.
        SetVoiceVolume(2, c.volume);
        SetVoicePanning(2, c.panning);
        EXPECT_EQ(V(2).leftVolume, c.left);
        EXPECT_EQ(V(2).rightVolume, c.right);
    }
}

TEST_F(Mixer, VolumeRampReachesFullGainAfterRampLengthAndReversesFromWhereItIs) {
    ASSERT_EQ(RampLengthFrames(), 128);
    TestSample constant(std::vector<int16_t>(16, 10000), kLoopForward, 0, 16);
    ASSERT_EQ(BindVoiceSample(0, &constant.sample), 0);
    SetVoiceFrequency(0, kRate);
    SetVoicePanning(0, 0);
    SetVoiceVolume(0, 255);  // the voice's gains start at 0

    std::vector<float> left = MixLeft(200);
    for (int k = 0; k < 128; ++k) {
        // Each frame uses the gain before it grows: k / 128 of full gain.
        EXPECT_NEAR(left[k], 10000.0f * k / 128.0f, 0.01f) << k;
    }
    for (int k = 128; k < 200; ++k) EXPECT_FLOAT_EQ(left[k], 10000.0f) << k;
    EXPECT_EQ(V(0).currentLeft, 255);
    EXPECT_EQ(V(0).rampFramesLeft, 0);

    // Up again from silence, and back down halfway: the new ramp starts from the gain reached.
    SetVoiceVolume(0, 0);
    MixLeft(128);
    ASSERT_EQ(V(0).currentLeft, 0);
    SetVoiceVolume(0, 255);
    MixLeft(64);
    EXPECT_EQ(V(0).currentLeft, 128);  // 127.5 rounded to nearest even
    SetVoiceVolume(0, 0);
    left = MixLeft(200);
    for (int k = 0; k < 128; ++k) {
        EXPECT_NEAR(left[k], 10000.0f * (128 - k) / 255.0f, 0.05f) << k;
    }
    for (int k = 128; k < 200; ++k) EXPECT_EQ(left[k], 0.0f) << k;
}

TEST_F(Mixer, RampSplitIntoSegmentsStaysOneLine) {
    // A ramp mixed in pieces of 7 frames gives the same frames as one long mix.
    TestSample constant(std::vector<int16_t>(16, 8000), kLoopForward, 0, 16);
    BindVoiceSample(0, &constant.sample);
    SetVoiceFrequency(0, kRate);
    SetVoicePanning(0, 0);
    SetVoiceVolume(0, 200);
    std::vector<float> pieces;
    for (int k = 0; k < 20; ++k) {
        const std::vector<float> piece = MixLeft(7);
        pieces.insert(pieces.end(), piece.begin(), piece.end());
    }
    for (int k = 0; k < 128; ++k) {
        EXPECT_NEAR(pieces[k], 8000.0f * 200 / 255 * k / 128, 0.05f) << k;
    }
    EXPECT_EQ(V(0).currentLeft, 200);
    EXPECT_EQ(V(0).rampFramesLeft, 0);
    EXPECT_FLOAT_EQ(MixLeft(1)[0], 8000.0f * 200 / 255);
}

TEST_F(Mixer, UnloopedSampleFallsSilentInsideTheSegment) {
    TestSample ramp({1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000}, kLoopNone, 0, 0);
    PlaySettled(ramp.sample, kRate);
    const std::vector<float> left = MixLeft(20);
    for (int k = 0; k < 10; ++k) EXPECT_FLOAT_EQ(left[k], 1000.0f * (k + 1)) << k;
    for (int k = 10; k < 20; ++k) EXPECT_EQ(left[k], 0.0f) << k;
    EXPECT_EQ(V(0).sample, nullptr);
    EXPECT_EQ(V(0).positionInt, 0u);
}

TEST_F(Mixer, ForwardLoopWrapsAndInterpolatesIntoTheGuard) {
    TestSample s({0, 1000, 2000, 3000, 4000}, kLoopForward, 1, 4);
    PlaySettled(s.sample, kRate);
    const std::vector<float> atRate = MixLeft(11);
    const float wantAtRate[] = {0, 1000, 2000, 3000, 4000, 1000, 2000, 3000, 4000, 1000, 2000};
    for (int k = 0; k < 11; ++k) EXPECT_FLOAT_EQ(atRate[k], wantAtRate[k]) << k;

    PlaySettled(s.sample, kRate / 2);
    const std::vector<float> atHalf = MixLeft(12);
    // Halfway between the last value and the guard (a copy of the loop start) at 4.5.
    const float wantAtHalf[] = {0, 500, 1000, 1500, 2000, 2500, 3000, 3500, 4000, 2500, 1000, 1500};
    for (int k = 0; k < 12; ++k) EXPECT_FLOAT_EQ(atHalf[k], wantAtHalf[k]) << k;
    EXPECT_NE(V(0).sample, nullptr);
}

TEST_F(Mixer, PingPongTurnsAtBothEnds) {
    TestSample s({0, 100, 200, 300}, kLoopPingPong, 0, 4);
    PlaySettled(s.sample, kRate);
    const std::vector<float> left = MixLeft(14);
    // Forward 0..3; the turn lands a hair below the end, where the guard repeats 300, so the top
    // value sounds three times; down to 0, turning a hair above the start, and up again.
    const float want[] = {0, 100, 200, 300, 300, 300, 200, 100, 0, 100, 200, 300, 300, 300};
    for (int k = 0; k < 14; ++k) EXPECT_NEAR(left[k], want[k], 0.01f) << k;
    EXPECT_NE(V(0).sample, nullptr);
}

TEST_F(Mixer, OneValuePingPongLoopNeverLeavesTheLoop) {
    TestSample s({0, 0, 0, 0, 0, 7000, 0, 0}, kLoopPingPong, 5, 1);
    for (int32_t hz : {kRate, 163170, 705600, 12345}) {
        PlaySettled(s.sample, hz);
        MixLeft(64);  // reach the loop
        for (int call = 0; call < 500; ++call) {
            const std::vector<float> left = MixLeft(3);
            for (float v : left) ASSERT_FLOAT_EQ(v, 7000.0f) << hz;
            ASSERT_EQ(V(0).positionInt, 5u) << hz;
        }
    }
}

TEST_F(Mixer, PingPongLoopAtZeroWithLargeStepStaysInside) {
    // A two-value loop from 0 played at 16 values per frame overshoots both ends many times over.
    TestSample s({-20000, 20000, 5, 5}, kLoopPingPong, 0, 2);
    PlaySettled(s.sample, 705600);
    for (int call = 0; call < 1000; ++call) {
        const std::vector<float> left = MixLeft(5);
        for (float v : left) {
            ASSERT_GE(v, -20000.0f);
            ASSERT_LE(v, 20000.0f);
        }
        ASSERT_LT(V(0).positionInt, 2u);
    }
}

TEST_F(Mixer, StartOffsetAtOrPastTheLoopEndStartsAtZero) {
    TestSample s({1, 2, 3, 4, 5, 6, 7, 8}, kLoopForward, 2, 4);
    struct Case {
        int32_t offset;
        uint32_t want;
    };
    for (const Case c : {Case{5, 5}, Case{6, 0}, Case{100, 0}, Case{0, 0}, Case{-3, 0}}) {
        V(4).startOffset = c.offset;
        V(4).direction = kDirectionBackward;
        V(4).positionFrac = 77;
        EXPECT_EQ(BindVoiceSample(4, &s.sample), 4);
        EXPECT_EQ(V(4).positionInt, c.want) << c.offset;
        EXPECT_EQ(V(4).positionFrac, 0u);
        EXPECT_EQ(V(4).startOffset, 0);
        EXPECT_EQ(V(4).direction, kDirectionForward);
    }
    EXPECT_EQ(BindVoiceSample(4, nullptr), -1);
    EXPECT_EQ(BindVoiceSample(kVoiceCount, &s.sample), -1);
}

TEST_F(Mixer, EmptySampleAndUnsetFrequencyDoNotFault) {
    PlaySettled(emptySample, kRate);
    EXPECT_EQ(MixLeft(10), std::vector<float>(10, 0.0f));
    EXPECT_EQ(V(0).sample, nullptr);

    // Bound but never given a frequency: a step of 0 holds the first value.
    TestSample s({300, 600}, kLoopForward, 0, 2);
    ASSERT_EQ(BindVoiceSample(7, &s.sample), 7);
    SetVoicePanning(7, 0);
    SetVoiceVolume(7, 255);
    V(7).currentLeft = 255;
    EXPECT_EQ(MixLeft(50), std::vector<float>(50, 300.0f));
    EXPECT_EQ(V(7).sample, &s.sample);
}

TEST_F(Mixer, VoicesAddUpAndStoppedVoicesAreSkipped) {
    TestSample a(std::vector<int16_t>(8, 1000), kLoopForward, 0, 8);
    TestSample b(std::vector<int16_t>(8, -300), kLoopForward, 0, 8);
    for (int32_t i : {0, 200}) {
        BindVoiceSample(i, i == 0 ? &a.sample : &b.sample);
        SetVoiceFrequency(i, kRate);
        SetVoicePanning(i, 255);
        SetVoiceVolume(i, 255);
        V(i).currentRight = 255;
    }
    std::vector<float> out(8, 0.0f);
    MixVoices(out.data(), VoiceList(), 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(out[2 * k], 0.0f);
        EXPECT_FLOAT_EQ(out[2 * k + 1], 700.0f);
    }
    StopVoice(0);
    EXPECT_EQ(V(0).sample, nullptr);
    std::fill(out.begin(), out.end(), 0.0f);
    MixVoices(out.data(), VoiceList(), 4);
    EXPECT_FLOAT_EQ(out[1], -300.0f);
    MixVoices(out.data(), VoiceList(), 0);  // nothing for no frames
    EXPECT_FLOAT_EQ(out[1], -300.0f);
}

TEST(ConvertToPcm16, RoundsTiesToEvenAndClamps) {
    const float in[] = {40000.0f, -40000.0f, 2.5f, 3.5f, -2.5f, -0.4f, 32767.4f, 32767.6f, -32768.6f, 1.5f};
    int16_t out[10] = {};
    ConvertToPcm16(out, in, 5);
    const int16_t want[] = {32767, -32768, 2, 4, -2, 0, 32767, 32767, -32768, 2};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(out[k], want[k]) << k;

    int16_t untouched[2] = {9, 9};
    ConvertToPcm16(untouched, in, 0);
    ConvertToPcm16(untouched, nullptr, 1);
    ConvertToPcm16(nullptr, in, 1);
    EXPECT_EQ(untouched[0], 9);
}

TEST(VoicePool, OperationsWithoutAPoolDoNothing) {
    ASSERT_EQ(VoicePool(), nullptr);
    TestSample s({1, 2}, kLoopNone, 0, 0);
    EXPECT_EQ(BindVoiceSample(0, &s.sample), -1);
    StopVoice(0);
    SetVoiceFrequency(0, 1000);
    SetVoiceVolume(0, 10);
    SetVoicePanning(0, 10);
    EXPECT_EQ(VoiceList()->next, VoiceList());

    CreateVoicePool(kRate);
    int32_t expected = 0;
    for (ListNode* n = VoiceList()->next; n != VoiceList(); n = n->next) {
        EXPECT_EQ(static_cast<Voice*>(n)->index, expected++);
    }
    EXPECT_EQ(expected, kVoiceCount);
    ReleaseVoicePool();
    EXPECT_EQ(VoiceList()->next, VoiceList());
}

}  // namespace
