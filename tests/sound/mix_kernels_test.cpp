// The vector loops against the scalar ones: the same voices, changes and segments mixed with each
// set must give the same bits and leave every voice in the same state.
#include "sound/mix_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "sound/voice.h"

namespace {

constexpr int32_t kRate = 44100;

struct Case {
    uint32_t seed;
    int32_t voices;
    uint8_t loopType;  // 0: each sample draws its own
    int32_t maxHz;     // 705600 reaches the largest step, 16 values per frame
    int32_t maxSegmentFrames;
};

// Random samples of full-range values, their loop guards set as the loader sets them.
struct Samples {
    std::vector<std::vector<int16_t>> data;
    std::vector<Sample> samples;
};

Samples MakeSamples(std::mt19937& random, uint8_t loopType) {
    const uint8_t kinds[] = {kLoopNone, kLoopForward, kLoopPingPong};
    Samples made;
    made.data.resize(6);
    made.samples.resize(6);
    for (size_t s = 0; s < made.samples.size(); ++s) {
        const uint32_t length = 1 + random() % 3000;
        std::vector<int16_t>& values = made.data[s];
        values.resize(length + kSampleGuardValues);
        for (int16_t& v : values) v = static_cast<int16_t>(random());
        Sample& sample = made.samples[s];
        sample.data = values.data();
        sample.length = length;
        sample.loopType = loopType != 0 ? loopType : kinds[random() % 3];
        sample.loopStart = sample.loopType == kLoopNone ? 0 : random() % length;
        sample.loopLength =
            sample.loopType == kLoopNone ? length : 1 + random() % (length - sample.loopStart);
        const uint32_t end = sample.loopStart + sample.loopLength;
        values[end] = sample.loopType == kLoopPingPong ? values[end - 1] : values[sample.loopStart];
    }
    return made;
}

struct Rendered {
    std::vector<float> mix;
    std::vector<int16_t> pcm;
    // The sample as its number in Samples (-1 for none): each run makes its own.
    std::vector<
        std::tuple<ptrdiff_t, uint32_t, uint32_t, int32_t, uint8_t, uint8_t, int32_t, float, float>>
        voices;
};

// Segments of random length, with volume, panning, frequency and bind changes between them, so
// that ramps start, restart and get cut, and loops turn at every phase of the vector loops.
Rendered Render(const Case& c, const MixKernels& kernels) {
    std::mt19937 random(c.seed);
    const Samples samples = MakeSamples(random, c.loopType);
    UseMixKernels(kernels);
    CreateVoicePool(kRate);
    Rendered run;
    run.mix.assign(2 * 40 * c.maxSegmentFrames, 0.0f);
    int32_t frame = 0;
    for (int segment = 0; segment < 40; ++segment) {
        for (int32_t v = 0; v < c.voices; ++v) {
            const uint32_t change = random() % 8;
            if (segment == 0 || change == 0) {
                VoicePool()[v].startOffset = static_cast<int32_t>(random() % 3000);
                BindVoiceSample(v, &samples.samples[random() % samples.samples.size()]);
                SetVoiceFrequency(v, 100 + static_cast<int32_t>(random() % c.maxHz));
            }
            if (segment == 0 || change == 1) SetVoiceVolume(v, random() % 256);
            if (segment == 0 || change == 2) SetVoicePanning(v, random() % 256);
        }
        const int32_t frames = 1 + static_cast<int32_t>(random() % c.maxSegmentFrames);
        MixVoices(run.mix.data() + 2 * frame, VoiceList(), frames);
        frame += frames;
    }
    for (int32_t v = 0; v < c.voices; ++v) {
        const Voice& voice = VoicePool()[v];
        const ptrdiff_t sample = voice.sample ? voice.sample - samples.samples.data() : -1;
        run.voices.emplace_back(sample, voice.positionInt, voice.positionFrac, voice.direction,
                                voice.currentLeft, voice.currentRight, voice.rampFramesLeft,
                                voice.rampStepLeft, voice.rampStepRight);
    }
    ReleaseVoicePool();
    // Many loud voices go past the 16-bit range; the conversion's odd lengths end in its tail.
    run.pcm.resize(run.mix.size());
    kernels.toPcm16(run.pcm.data(), run.mix.data(), frame);
    return run;
}

class MixKernelsMatchScalar : public ::testing::Test {
   protected:
    void TearDown() override { UseMixKernels(chosen_); }

    static std::vector<const MixKernels*> VectorSets() {
        std::vector<const MixKernels*> sets;
        for (const MixKernels* set : {Sse2MixKernels(), Avx2MixKernels()}) {
            if (set) sets.push_back(set);
        }
        return sets;
    }

    const MixKernels& chosen_ = ActiveMixKernels();
};

TEST_F(MixKernelsMatchScalar, MixedVoicesGiveTheSameBitsAndStates) {
    const Case cases[] = {
        {1, 1, kLoopNone, 44100, 900},
        {2, 8, kLoopForward, 705600, 300},
        {3, 8, kLoopPingPong, 705600, 300},
        {4, 32, kLoopPingPong, 2000, 1000},
        {5, 64, 0, 705600, 64},
        {6, 256, 0, 90000, 884},
        {7, 16, 0, 400, 17},
        {8, 24, kLoopForward, 705600, 7},
    };
    for (const Case& c : cases) {
        const Rendered scalar = Render(c, ScalarMixKernels());
        for (const MixKernels* set : VectorSets()) {
            const Rendered vector = Render(c, *set);
            ASSERT_EQ(std::memcmp(vector.mix.data(), scalar.mix.data(),
                                  scalar.mix.size() * sizeof(float)),
                      0)
                << set->name << ", case " << c.seed;
            EXPECT_EQ(vector.pcm, scalar.pcm) << set->name << ", case " << c.seed;
            EXPECT_EQ(vector.voices, scalar.voices) << set->name << ", case " << c.seed;
        }
    }
}

TEST_F(MixKernelsMatchScalar, ConversionRoundsAndClampsEdgeValuesAlike) {
    const float inf = std::numeric_limits<float>::infinity();
    const float in[] = {0.5f,          1.5f,      -0.5f,      -1.5f,    32766.5f, 32767.5f,
                        -32768.5f,     -32767.5f, 1e9f,       -1e9f,    inf,      -inf,
                        std::nanf(""), -0.0f,     2.4999998f, 12345.5f, -7.5f,    40000.0f};
    const int32_t frames = sizeof in / sizeof in[0] / 2;
    std::vector<int16_t> scalar(2 * frames), vector(2 * frames);
    ScalarMixKernels().toPcm16(scalar.data(), in, frames);
    for (const MixKernels* set : VectorSets()) {
        set->toPcm16(vector.data(), in, frames);
        EXPECT_EQ(vector, scalar) << set->name;
    }
}

}  // namespace
