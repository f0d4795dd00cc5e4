#include "generators/composer/synth.h"

#include <algorithm>
#include <cmath>

namespace composer {

namespace {
constexpr double kTwoPi = 6.283185307179586;
// The tuning reference: A-4 sounds at 440 Hz.
constexpr int kNoteA4 = kNoteC4 + 9;
}  // namespace

double NoteHz(int note) { return 440.0 * std::pow(2.0, (note - kNoteA4) / 12.0); }

double Noise::Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return double(state) / 2147483648.0 - 1.0;
}

std::vector<Partial> Harmonics(int loopValues, int fundamentalCycles, int offsetCycles,
                               SpectrumShape shape, double gain, double maxHz, uint32_t seed) {
    Noise phases{seed};
    std::vector<Partial> partials;
    for (int k = 1;; ++k) {
        const int cycles = k * fundamentalCycles + offsetCycles;
        const double hz = CycleHz(cycles, loopValues);
        if (hz >= maxHz) break;
        const double amplitude = shape(k, hz) * gain;
        const double phase = 0.5 * (phases.Next() + 1.0);
        if (amplitude != 0.0) partials.push_back({cycles, amplitude, phase, double(k)});
    }
    return partials;
}

Signal AdditiveTone(int attackValues, int loopValues, const std::vector<Partial>& partials,
                    double attackBrightness) {
    const int total = attackValues + loopValues;
    Signal out(total, 0.0);
    for (const Partial& p : partials) {
        const double step = kTwoPi * p.cyclesPerLoop / loopValues;
        const double phase = kTwoPi * p.phaseTurns;
        const double boost = attackBrightness * std::min(p.harmonic - 1.0, 8.0) / 8.0;
        for (int i = 0; i < total; ++i) {
            double amplitude = p.amplitude;
            if (i < attackValues) {
                const double remaining = 1.0 - double(i) / attackValues;
                amplitude *= 1.0 + boost * remaining * remaining;
            }
            out[i] += amplitude * std::sin(step * i + phase);
        }
    }
    return out;
}

int CyclesFor(int note, int loopValues) {
    return std::max(1, int(std::lround(NoteHz(note) * loopValues / kSynthRateHz)));
}

double CycleHz(int cycles, int loopValues) { return cycles * kSynthRateHz / loopValues; }

void LowPass(Signal& signal, double cutoffHz) {
    const double a = 1.0 - std::exp(-kTwoPi * cutoffHz / kSynthRateHz);
    double y = 0.0;
    for (double& v : signal) v = y += a * (v - y);
}

void HighPass(Signal& signal, double cutoffHz) {
    const double a = 1.0 - std::exp(-kTwoPi * cutoffHz / kSynthRateHz);
    double low = 0.0;
    for (double& v : signal) {
        low += a * (v - low);
        v -= low;
    }
}

void BandPass(Signal& signal, double centreHz, double q) {
    const double f = 2.0 * std::sin(kTwoPi * centreHz / (2.0 * kSynthRateHz));
    const double damping = 1.0 / q;
    double low = 0.0, band = 0.0;
    for (double& v : signal) {
        const double high = v - low - damping * band;
        band += f * high;
        low += f * band;
        v = band;
    }
}

void ExpDecay(Signal& signal, double decaySeconds) {
    for (size_t i = 0; i < signal.size(); ++i) {
        signal[i] *= std::exp(-double(i) / kSynthRateHz / decaySeconds);
    }
}

void FadeIn(Signal& signal, int values) {
    values = std::min<int>(values, int(signal.size()));
    for (int i = 0; i < values; ++i) signal[i] *= double(i) / values;
}

void FadeOut(Signal& signal, int values) {
    const int n = int(signal.size());
    values = std::min(values, n);
    for (int i = 0; i < values; ++i) signal[n - 1 - i] *= double(i) / values;
}

void Mix(Signal& into, const Signal& add, double gain) {
    if (into.size() < add.size()) into.resize(add.size(), 0.0);
    for (size_t i = 0; i < add.size(); ++i) into[i] += gain * add[i];
}

double Peak(const Signal& signal) {
    double peak = 0.0;
    for (double v : signal) peak = std::max(peak, std::fabs(v));
    return peak;
}

std::vector<int16_t> Quantise(const Signal& signal, bool sixteenBit, double peakFraction) {
    const double fullScale = sixteenBit ? 32767.0 : 127.0;
    const double peak = Peak(signal);
    const double gain = peak > 0.0 ? peakFraction * fullScale / peak : 0.0;
    std::vector<int16_t> values(signal.size());
    for (size_t i = 0; i < signal.size(); ++i) {
        values[i] = static_cast<int16_t>(std::lround(signal[i] * gain));
    }
    return values;
}

void TuneSample(XmSampleDesc& sample, int rootNote, double synthHz, double wantedHz) {
    // Playback rate needed at the root note, in semitones above the table's rate at C-4.
    const double rateHz = kSynthRateHz * wantedHz / synthHz;
    const double semitones = 12.0 * std::log2(rateHz / kLinearC4Hz) - (rootNote - kNoteC4);
    const int relative = int(std::lround(semitones));
    // Nearest 64th of a semitone, as an even finetune (the table uses finetune / 2).
    const int sixtyFourths = int(std::lround((semitones - relative) * 64.0));
    sample.relativeNote = static_cast<int8_t>(relative);
    sample.finetune = static_cast<int8_t>(std::clamp(2 * sixtyFourths, -128, 126));
}

int ValuesFor(double seconds) { return int(std::lround(seconds * kSynthRateHz)); }

}  // namespace composer
