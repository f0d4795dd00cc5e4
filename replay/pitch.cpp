#include "replay/pitch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "replay/channel.h"
#include "sound/module.h"

namespace {

// The format's constants enter the arithmetic as single-precision values evaluated in double
// precision: 1/12 and 1/768 are not exact in either, and the tables follow the float values.
constexpr double kTwelfth = static_cast<double>(0.083333336f);
constexpr double kLinearUnitToOctave = static_cast<double>(0.0013020834f);
constexpr double kAmigaBase = 13.375;
constexpr int64_t kAmigaClock = 14317056;
constexpr int64_t kLinearC4Period = 4608;
// pi/64 and pi/256 to 6 decimals; slightly below the true values, so the sines stay below their
// amplitude and truncate to at most 255 and 63.
constexpr double kVibratoPhaseToRadians = 0.049087375;
constexpr double kAutoVibratoPhaseToRadians = 0.01227184375;

int32_t AmigaStep(int32_t k) {
    // Truncated toward zero after scaling, as the table was built.
    return static_cast<int32_t>(std::pow(2.0, k * kTwelfth) * kAmigaBase);
}

int32_t ClampToInt32(double value) {
    if (!(value > 0.0)) return 0;  // also NaN
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

}  // namespace

int32_t LinearPeriodForNote(int32_t note, int32_t finetune) {
    return 7680 - 64 * note - finetune / 2;  // C++ division truncates toward zero
}

int32_t AmigaPeriodForNote(int32_t note, int32_t finetune) {
    const int32_t p0 = AmigaStep(132 - note);
    if (finetune >= 0 || note == 0) {
        return p0 + ((p0 - AmigaStep(131 - note)) * finetune) / -128;
    }
    return p0 + ((p0 - AmigaStep(133 - note)) * -finetune) / -128;
}

int32_t NotePeriod(const Song* song, int32_t note, int32_t finetune) {
    return (song->flags & kLinearFrequencyFlag) ? LinearPeriodForNote(note, finetune)
                                                : AmigaPeriodForNote(note, finetune);
}

int32_t FrequencyForPeriod(const Song* song, int32_t period, int32_t pitchOffset) {
    if (song->flags & kLinearFrequencyFlag) {
        const double octaves =
            static_cast<double>(kLinearC4Period - period + pitchOffset) * kLinearUnitToOctave;
        // Truncated toward zero; far-off periods overflow the int range and are clamped first
        // (the Voice limits the rate to its own range anyway).
        return ClampToInt32(kLinearC4Hz * std::pow(2.0, octaves));
    }
    const int64_t hz = kAmigaClock / (static_cast<int64_t>(period) + pitchOffset);
    return static_cast<int32_t>(std::clamp<int64_t>(hz, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void AddToPeriod(Channel* channel, int64_t delta) {
    channel->period =
        static_cast<int32_t>(std::clamp<int64_t>(channel->period + delta, -kPeriodLimit, kPeriodLimit));
}

void ApplyVibrato(Channel* channel) {
    const int32_t p = channel->vibratoPosition;
    int32_t magnitude = 0;
    switch (channel->waveControl & 3) {
        case 0:
            // A full sine period over the 64 phase steps: the magnitude over one half, the sign
            // rule below makes the other half.
            magnitude = static_cast<int32_t>(std::sin(2 * std::abs(p) * kVibratoPhaseToRadians) * 256);
            break;
        case 1: {
            const int32_t b = (8 * p) & 255;
            magnitude = p >= 0 ? b : 255 - b;
            break;
        }
        default:
            magnitude = 255;
            break;
    }
    // A multiple of 4: the depth scaling drops the two lowest bits.
    const int32_t d = ((channel->vibratoDepth * magnitude) >> 5) & ~3;
    channel->pitchOffset = p < 0 ? d : -d;
    channel->updateFlags |= kUpdateFrequency;
}

void AdvanceVibratoPhase(Channel* channel) {
    int32_t p = channel->vibratoPosition + channel->vibratoSpeed;
    if (p > 31) p -= 64;
    channel->vibratoPosition = static_cast<int8_t>(p);
}

void ApplyAutoVibrato(Channel* channel, const Instrument* instrument) {
    const int32_t a = channel->autoVibratoPosition;
    int32_t v = 0;
    switch (instrument->vibratoType) {
        case kAutoVibratoSquare:
            v = a < 128 ? 64 : -64;
            break;
        case kAutoVibratoRampDown:
            v = (128 - ((a + 128) % 256)) >> 1;
            break;
        case kAutoVibratoRampUp:
            v = (128 - ((384 - a) % 256)) >> 1;
            break;
        default:  // the sine, and any damaged value the loader let through
            v = static_cast<int32_t>(std::sin(2 * a * kAutoVibratoPhaseToRadians) * 64);
            break;
    }
    int32_t amount = v * instrument->vibratoDepth;
    if (instrument->vibratoSweep != 0) {
        amount = amount * channel->autoVibratoSweepCount / instrument->vibratoSweep;
    }
    channel->pitchOffset += amount >> 6;  // arithmetic shift: rounds toward minus infinity
    channel->autoVibratoSweepCount =
        std::min<int32_t>(channel->autoVibratoSweepCount + 1, instrument->vibratoSweep);
    channel->autoVibratoPosition += instrument->vibratoRate;
    if (channel->autoVibratoPosition > 255) channel->autoVibratoPosition -= 256;
    channel->updateFlags |= kUpdateFrequency;
}
