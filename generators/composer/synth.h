// Building blocks for the song's instruments: oscillators whose loops close seamlessly, noise,
// filters, envelopes and the conversion of a signal into XM sample values. Every generator is
// deterministic, so the song comes out the same bytes on every build.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/xm_writer.h"

namespace composer {

using Signal = std::vector<double>;

// The rate every sample is synthesised at: what note C-4 plays with relative note 24 and finetune 0
// in the linear frequency table, two octaves above its rate at relative note 0.
constexpr double kSynthRateHz = 4 * kLinearC4Hz;

// Notes are counted as a cell stores them (sound/xm_format.h): 1 is C-0, 49 C-4, 58 A-4. The
// composer's pitch maths and the score's note bytes are one numbering, so a root note is written
// as the note the score plays, NoteByte("C-4") or kNoteC4.

// Equal temperament, A-4 at 440 Hz.
double NoteHz(int note);

// Deterministic white noise in -1..1 (xorshift32).
struct Noise {
    uint32_t state = 0x9E3779B9u;
    double Next();
};

// A sine component that makes a whole number of cycles in one loop, so a loop over any stretch of
// `loopValues` values closes without a step. `harmonic` is its place in the spectrum (1 for the
// fundamental), used to brighten the attack.
struct Partial {
    int cyclesPerLoop;
    double amplitude;
    double phaseTurns;
    double harmonic;
};

// Harmonics k = 1, 2, ... of a fundamental of `fundamentalCycles` cycles per loop, each moved by
// `offsetCycles` (a detuned copy beats at the same slow rate in every harmonic), with amplitude
// `shape`(k, frequency of harmonic k at kSynthRateHz) x `gain`, up to `maxHz`. Start phases come from
// `seed`, so detuned copies do not peak together.
using SpectrumShape = double (*)(int harmonic, double hz);
std::vector<Partial> Harmonics(int loopValues, int fundamentalCycles, int offsetCycles,
                               SpectrumShape shape, double gain, double maxHz, uint32_t seed);
// Sums the partials over `attackValues + loopValues` values. During the attack each partial above
// the fundamental is raised by up to `attackBrightness` x min(harmonic - 1, 8) / 8, fading to 1 at
// the loop start; from there on the signal repeats every `loopValues` values.
Signal AdditiveTone(int attackValues, int loopValues, const std::vector<Partial>& partials,
                    double attackBrightness);
// Cycles per loop of the note's frequency, rounded to the nearest whole cycle.
int CyclesFor(int note, int loopValues);
// The frequency at kSynthRateHz of `cycles` cycles per loop.
double CycleHz(int cycles, int loopValues);

// One-pole filters; `cutoffHz` at kSynthRateHz.
void LowPass(Signal& signal, double cutoffHz);
void HighPass(Signal& signal, double cutoffHz);
// Resonant state-variable band pass.
void BandPass(Signal& signal, double centreHz, double q);

// Multiplies by exp(-t / decaySeconds), t from the first value.
void ExpDecay(Signal& signal, double decaySeconds);
// Linear fade in over the first `values` values.
void FadeIn(Signal& signal, int values);
// Linear fade out over the last `values` values.
void FadeOut(Signal& signal, int values);
void Mix(Signal& into, const Signal& add, double gain);
double Peak(const Signal& signal);

// Scales the signal so its peak is `peakFraction` of full scale and rounds each value to the
// nearest integer (halves away from zero, as std::lround does): -32767..32767 for 16-bit samples,
// -127..127 for 8-bit ones.
std::vector<int16_t> Quantise(const Signal& signal, bool sixteenBit, double peakFraction);

// Relative note and finetune that make note `rootNote` sound at `wantedHz` when the signal, played
// at kSynthRateHz, sounds at `synthHz`. The finetune is kept even because the linear table uses
// half of it, truncated; the residual error is below 1/128 semitone.
void TuneSample(XmSampleDesc& sample, int rootNote, double synthHz, double wantedHz);

// Samples a signal at the synthesis rate for `seconds`.
int ValuesFor(double seconds);

}  // namespace composer
