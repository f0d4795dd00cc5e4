#include "generators/composer/instruments.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "generators/composer/notation.h"
#include "generators/composer/synth.h"

namespace composer {

namespace {

constexpr double kTwoPi = 6.283185307179586;
// Above this a partial could alias once a sample is played an octave above its root.
constexpr double kMaxPartialHz = 7000.0;
// Drums are played at C-4, where relative note 24 gives the synthesis rate itself.
constexpr int8_t kDrumRelativeNote = 24;

XmSampleDesc MakeSample(const char* name, const Signal& signal, bool sixteenBit, double peak,
                        uint8_t volume, uint8_t panning = 128) {
    XmSampleDesc sample;
    sample.name = name;
    sample.sixteenBit = sixteenBit;
    sample.values = Quantise(signal, sixteenBit, peak);
    sample.volume = volume;
    sample.panning = panning;
    sample.relativeNote = kDrumRelativeNote;
    return sample;
}

void ForwardLoop(XmSampleDesc& sample, uint32_t start, uint32_t length) {
    sample.loopBits = kSampleTypeForward;
    sample.loopStart = start;
    sample.loopLength = length;
}

void PingPongLoop(XmSampleDesc& sample, uint32_t start, uint32_t length) {
    sample.loopBits = kSampleTypePingPong;
    sample.loopStart = start;
    sample.loopLength = length;
}

XmInstrumentDesc Single(const char* name, XmSampleDesc sample) {
    XmInstrumentDesc instrument;
    instrument.name = name;
    instrument.samples.push_back(std::move(sample));
    return instrument;
}

// Sample k serves the notes from splits[k - 1] up to the next split.
void SplitKeyboard(XmInstrumentDesc& instrument, const std::vector<int>& splits) {
    for (int note = kNoteC0; note < kNoteC0 + kNoteCount; ++note) {
        uint8_t k = 0;
        for (int split : splits) k += note >= split ? 1 : 0;
        instrument.sampleForNote[note - kNoteC0] = k;
    }
}

XmEnvelopeDesc Envelope(std::vector<EnvelopePoint> points, int sustain = -1, int loopStart = -1,
                        int loopEnd = -1) {
    XmEnvelopeDesc envelope;
    envelope.points = std::move(points);
    envelope.type = kEnvelopeOn;
    if (sustain >= 0) {
        envelope.type |= kEnvelopeSustain;
        envelope.sustain = uint8_t(sustain);
    }
    if (loopStart >= 0) {
        envelope.type |= kEnvelopeLoop;
        envelope.loopStart = uint8_t(loopStart);
        envelope.loopEnd = uint8_t(loopEnd);
    }
    return envelope;
}

// A sine whose frequency glides exponentially from `startHz` to `endHz`.
Signal Sweep(int values, double startHz, double endHz, double glideSeconds) {
    Signal out(values);
    double phase = 0.0;
    for (int i = 0; i < values; ++i) {
        const double t = i / kSynthRateHz;
        const double hz = endHz + (startHz - endHz) * std::exp(-t / glideSeconds);
        out[i] = std::sin(phase);
        phase += kTwoPi * hz / kSynthRateHz;
    }
    return out;
}

Signal WhiteNoise(int values, uint32_t seed) {
    Noise noise{seed};
    Signal out(values);
    for (double& v : out) v = noise.Next();
    return out;
}

// Six square waves at inharmonic ratios: the ringing metal of hats and cymbals.
Signal Metal(int values, double baseHz) {
    static const double ratios[] = {1.0, 1.4471, 1.6170, 1.9265, 2.5028, 2.6637};
    Signal out(values, 0.0);
    for (double ratio : ratios) {
        const double period = kSynthRateHz / (baseHz * ratio);
        for (int i = 0; i < values; ++i) out[i] += std::fmod(i, period) < period / 2 ? 1.0 : -1.0;
    }
    return out;
}

double SoftSaw(int k, double hz) { return 1.0 / k / (1.0 + (hz / 1800.0) * (hz / 1800.0)); }
double DarkSaw(int k, double hz) { return 1.0 / k / (1.0 + (hz / 700.0) * (hz / 700.0)); }
double BrightSaw(int k, double hz) { return 1.0 / k / (1.0 + (hz / 4000.0) * (hz / 4000.0)); }
double Sub(int k, double) { return k == 1 ? 1.0 : k == 2 ? 0.22 : k == 3 ? 0.08 : 0.0; }
double Pulse(int k, double) { return std::sin(3.141592653589793 * k * 0.25) / k; }
// Vowel "ah": three formant bumps on a falling slope.
double Vowel(int k, double hz) {
    const auto bump = [hz](double centre, double width) {
        const double d = (hz - centre) / width;
        return std::exp(-d * d);
    };
    return (bump(750.0, 200.0) + 0.6 * bump(1150.0, 250.0) + 0.25 * bump(2800.0, 400.0) + 0.05) /
           std::sqrt(double(k));
}

// A sustained tone: `voices` copies detuned by whole cycles per loop, a brighter attack, and a
// forward loop over the last `loopValues` values.
XmSampleDesc Tone(const char* name, int rootNote, int attackValues, int loopValues, int voices,
                  SpectrumShape shape, double brightness, bool sixteenBit, uint32_t seed) {
    const int cycles = CyclesFor(rootNote, loopValues);
    std::vector<Partial> partials;
    static const int offsets[] = {0, 1, -1, 2};
    for (int v = 0; v < voices; ++v) {
        const auto more = Harmonics(loopValues, cycles, offsets[v], shape, 1.0 / voices,
                                    kMaxPartialHz, seed + 7919u * uint32_t(v));
        partials.insert(partials.end(), more.begin(), more.end());
    }
    const Signal signal = AdditiveTone(attackValues, loopValues, partials, brightness);
    XmSampleDesc sample = MakeSample(name, signal, sixteenBit, 0.9, 64);
    TuneSample(sample, rootNote, CycleHz(cycles, loopValues), NoteHz(rootNote));
    ForwardLoop(sample, uint32_t(attackValues), uint32_t(loopValues));
    return sample;
}

XmInstrumentDesc Kick() {
    const int n = ValuesFor(0.45);
    Signal body = Sweep(n, 170.0, 46.0, 0.045);
    ExpDecay(body, 0.22);
    Signal click = WhiteNoise(ValuesFor(0.004), 11);
    HighPass(click, 2000.0);
    Mix(body, click, 0.5);
    FadeOut(body, ValuesFor(0.05));
    return Single("kick", MakeSample("kick", body, true, 0.95, 64));
}

Signal SnareSignal(double tailSeconds, double length, uint32_t seed) {
    const int n = ValuesFor(length);
    Signal tone = Sweep(n, 240.0, 180.0, 0.02);
    ExpDecay(tone, 0.05);
    Signal hiss = WhiteNoise(n, seed);
    HighPass(hiss, 1200.0);
    LowPass(hiss, 9000.0);
    ExpDecay(hiss, tailSeconds);
    Mix(hiss, tone, 0.8);
    FadeOut(hiss, ValuesFor(0.03));
    return hiss;
}

XmInstrumentDesc Snare() {
    XmInstrumentDesc instrument;
    instrument.name = "snare";
    instrument.samples.push_back(MakeSample("snare", SnareSignal(0.11, 0.35, 23), true, 0.9, 64));
    instrument.samples.push_back(MakeSample("ghost", SnareSignal(0.04, 0.15, 29), true, 0.9, 48));
    SplitKeyboard(instrument, {NoteByte("C-5")});
    return instrument;
}

XmInstrumentDesc Clap() {
    const int n = ValuesFor(0.3);
    Signal noise = WhiteNoise(n, 31);
    BandPass(noise, 1300.0, 1.4);
    for (int i = 0; i < n; ++i) {
        const double t = i / kSynthRateHz;
        // Three quick slaps, then the room.
        const double slap = t < 0.027 ? std::exp(-std::fmod(t, 0.009) / 0.003) : 0.0;
        noise[i] *= slap + 0.7 * (t >= 0.018 ? std::exp(-(t - 0.018) / 0.08) : 0.0);
    }
    return Single("clap", MakeSample("clap", noise, false, 0.95, 64, 120));
}

Signal HatSignal(double seconds, double decay, uint32_t seed) {
    const int n = ValuesFor(seconds);
    Signal metal = Metal(n, 410.0);
    Mix(metal, WhiteNoise(n, seed), 2.0);
    HighPass(metal, 6500.0);
    HighPass(metal, 6500.0);
    ExpDecay(metal, decay);
    return metal;
}

XmInstrumentDesc ClosedHat() {
    Signal hat = HatSignal(0.09, 0.025, 37);
    FadeOut(hat, ValuesFor(0.01));
    return Single("closed hat", MakeSample("closed hat", hat, false, 0.95, 40, 150));
}

XmInstrumentDesc OpenHat() {
    // A steady stretch of metal looped; the envelope makes the decay.
    const Signal hat = HatSignal(0.25, 10.0, 41);
    XmSampleDesc sample = MakeSample("open hat", hat, false, 0.9, 36, 160);
    ForwardLoop(sample, uint32_t(ValuesFor(0.05)), uint32_t(ValuesFor(0.2)));
    XmInstrumentDesc instrument = Single("open hat", std::move(sample));
    instrument.volumeEnvelope = Envelope({{0, 64}, {3, 44}, {10, 14}, {22, 0}});
    return instrument;
}

XmInstrumentDesc Crash() {
    const int n = ValuesFor(1.4);
    Signal metal = Metal(n, 330.0);
    Mix(metal, WhiteNoise(n, 43), 3.0);
    HighPass(metal, 3500.0);
    LowPass(metal, 12000.0);
    ExpDecay(metal, 0.45);
    FadeOut(metal, ValuesFor(0.2));
    return Single("crash", MakeSample("crash", metal, false, 0.95, 44, 110));
}

XmInstrumentDesc Tom() {
    Signal tom = Sweep(ValuesFor(0.45), 190.0, 110.0, 0.08);
    ExpDecay(tom, 0.16);
    Signal skin = WhiteNoise(ValuesFor(0.02), 47);
    LowPass(skin, 3000.0);
    ExpDecay(skin, 0.006);
    Mix(tom, skin, 0.6);
    FadeOut(tom, ValuesFor(0.05));
    return Single("tom", MakeSample("tom", tom, true, 0.9, 56));
}

XmInstrumentDesc Shaker() {
    const int n = ValuesFor(0.08);
    Signal noise = WhiteNoise(n, 53);
    HighPass(noise, 5000.0);
    for (int i = 0; i < n; ++i) {
        const double t = i / kSynthRateHz;
        noise[i] *= std::min(1.0, t / 0.012) * std::exp(-t / 0.03);
    }
    return Single("shaker", MakeSample("shaker", noise, false, 0.95, 32, 90));
}

XmInstrumentDesc SubBass() {
    XmInstrumentDesc instrument =
        Single("sub bass", Tone("sub", NoteByte("C-2"), 0, 2048, 1, Sub, 0.0, true, 59));
    instrument.volumeEnvelope = Envelope({{0, 0}, {1, 64}, {8, 54}, {18, 0}}, 2);
    instrument.fadeout = 1024;
    return instrument;
}

XmInstrumentDesc SawBass() {
    XmInstrumentDesc instrument;
    instrument.name = "saw bass";
    const int attack = ValuesFor(0.09);
    instrument.samples.push_back(
        Tone("saw bass low", NoteByte("C-2"), attack, 4096, 1, DarkSaw, 4.0, true, 61));
    instrument.samples.push_back(
        Tone("saw bass high", NoteByte("C-3"), attack, 4096, 1, DarkSaw, 4.0, true, 67));
    SplitKeyboard(instrument, {NoteByte("F#2")});
    instrument.volumeEnvelope = Envelope({{0, 64}, {4, 50}, {16, 40}, {26, 0}}, 2);
    instrument.fadeout = 1536;
    return instrument;
}

XmInstrumentDesc WarmPad() {
    XmInstrumentDesc instrument;
    instrument.name = "warm pad";
    instrument.samples.push_back(
        Tone("pad low", NoteByte("C-3"), 0, 16384, 3, SoftSaw, 0.0, true, 71));
    instrument.samples.push_back(
        Tone("pad mid", NoteByte("C-4"), 0, 16384, 3, SoftSaw, 0.0, true, 73));
    instrument.samples.push_back(
        Tone("pad high", NoteByte("C-5"), 0, 16384, 3, SoftSaw, 0.0, true, 79));
    SplitKeyboard(instrument, {NoteByte("F#3"), NoteByte("F#4")});
    instrument.volumeEnvelope = Envelope({{0, 0}, {24, 64}, {56, 52}, {110, 0}}, 2);
    instrument.fadeout = 256;
    instrument.vibratoType = kAutoVibratoSine;
    instrument.vibratoSweep = 48;
    instrument.vibratoDepth = 4;
    instrument.vibratoRate = 5;
    return instrument;
}

XmInstrumentDesc StringPad() {
    XmSampleDesc sample = Tone("strings", NoteByte("C-4"), 0, 12000, 3, BrightSaw, 0.0, true, 83);
    // Back and forth over the whole tone: it never repeats the same way round twice in a row.
    PingPongLoop(sample, 0, uint32_t(sample.values.size()));
    XmInstrumentDesc instrument = Single("strings", std::move(sample));
    instrument.volumeEnvelope = Envelope({{0, 0}, {40, 60}, {64, 50}, {120, 0}}, 2);
    // A slow swing between left and right, looped while the note holds.
    instrument.panningEnvelope = Envelope({{0, 32}, {48, 12}, {144, 52}, {192, 32}}, -1, 0, 3);
    instrument.fadeout = 384;
    return instrument;
}

XmInstrumentDesc Choir() {
    XmSampleDesc sample = Tone("choir", NoteByte("A-4"), 0, 16384, 3, Vowel, 0.0, false, 89);
    PingPongLoop(sample, 0, uint32_t(sample.values.size()));
    XmInstrumentDesc instrument = Single("choir", std::move(sample));
    instrument.volumeEnvelope = Envelope({{0, 0}, {30, 64}, {60, 56}, {100, 0}}, 2);
    instrument.fadeout = 512;
    instrument.vibratoSweep = 60;
    instrument.vibratoDepth = 5;
    instrument.vibratoRate = 9;
    return instrument;
}

XmInstrumentDesc SawLead() {
    XmInstrumentDesc instrument;
    instrument.name = "saw lead";
    const int attack = ValuesFor(0.06);
    instrument.samples.push_back(
        Tone("lead low", NoteByte("F#4"), attack, 8192, 2, BrightSaw, 2.0, true, 97));
    instrument.samples.push_back(
        Tone("lead high", NoteByte("F#5"), attack, 8192, 2, BrightSaw, 2.0, true, 101));
    SplitKeyboard(instrument, {NoteByte("C-5")});
    instrument.volumeEnvelope = Envelope({{0, 52}, {2, 64}, {10, 54}, {30, 0}}, 2);
    instrument.fadeout = 768;
    instrument.vibratoType = kAutoVibratoSine;
    instrument.vibratoSweep = 24;
    instrument.vibratoDepth = 8;
    instrument.vibratoRate = 12;
    return instrument;
}

XmInstrumentDesc PulseLead() {
    XmSampleDesc sample = Tone("pulse", NoteByte("C-5"), 0, 1024, 1, Pulse, 0.0, false, 103);
    XmInstrumentDesc instrument = Single("pulse", std::move(sample));
    instrument.volumeEnvelope = Envelope({{0, 64}, {4, 48}, {12, 40}, {16, 0}}, 2);
    instrument.fadeout = 2048;
    // A slow rising-ramp wobble, the chip lead's own small wow.
    instrument.vibratoType = kAutoVibratoRampUp;
    instrument.vibratoDepth = 3;
    instrument.vibratoRate = 4;
    return instrument;
}

XmInstrumentDesc Pluck() {
    // A plucked string: a burst of noise circulating in a delay line with a gentle low pass.
    const int root = NoteByte("C-4");
    const int period = int(std::lround(kSynthRateHz / NoteHz(root)));
    const int n = ValuesFor(0.6);
    Noise noise{107};
    Signal line(period);
    for (double& v : line) v = noise.Next();
    LowPass(line, 6000.0);
    Signal out(n);
    for (int i = 0; i < n; ++i) {
        const int k = i % period;
        out[i] = line[k];
        line[k] = 0.996 * 0.5 * (line[k] + line[(k + 1) % period]);
    }
    FadeOut(out, ValuesFor(0.1));
    XmSampleDesc sample = MakeSample("pluck", out, true, 0.9, 56);
    TuneSample(sample, root, kSynthRateHz / period, NoteHz(root));
    return Single("pluck", std::move(sample));
}

// Frequency modulation: a carrier and a modulator at `ratio` times its frequency, the index falling
// from `startIndex` toward `endIndex`.
Signal Fm(int values, double hz, double ratio, double startIndex, double endIndex, double seconds) {
    Signal out(values);
    for (int i = 0; i < values; ++i) {
        const double t = i / kSynthRateHz;
        const double index = endIndex + (startIndex - endIndex) * std::exp(-t / seconds);
        out[i] = std::sin(kTwoPi * hz * t + index * std::sin(kTwoPi * hz * ratio * t));
    }
    return out;
}

XmInstrumentDesc Bell() {
    const int root = NoteByte("C-5");
    const double hz = NoteHz(root);
    Signal bell = Fm(ValuesFor(1.2), hz, 3.5, 3.0, 0.4, 0.3);
    ExpDecay(bell, 0.5);
    FadeOut(bell, ValuesFor(0.1));
    XmSampleDesc sample = MakeSample("bell", bell, false, 0.9, 48);
    TuneSample(sample, root, hz, hz);
    return Single("bell", std::move(sample));
}

XmInstrumentDesc ElectricPiano() {
    // A 1:1 ratio repeats every carrier cycle, so once the index settles the tail can loop.
    const int root = NoteByte("C-4");
    const int loop = 4096;
    const int cycles = CyclesFor(root, loop);
    const double hz = CycleHz(cycles, loop);
    const int attack = ValuesFor(0.25);
    Signal tone(attack + loop);
    for (int i = 0; i < attack + loop; ++i) {
        const double t = std::min(i, attack) / kSynthRateHz;
        const double index = 0.35 + 1.6 * std::exp(-t / 0.06);
        const double phase = kTwoPi * cycles * double(i) / loop;
        tone[i] = std::sin(phase + index * std::sin(phase));
    }
    XmSampleDesc sample = MakeSample("e-piano", tone, true, 0.9, 56);
    TuneSample(sample, root, hz, NoteHz(root));
    ForwardLoop(sample, uint32_t(attack), uint32_t(loop));
    XmInstrumentDesc instrument = Single("e-piano", std::move(sample));
    instrument.volumeEnvelope = Envelope({{0, 64}, {8, 44}, {40, 26}, {120, 10}, {200, 0}});
    instrument.fadeout = 512;
    return instrument;
}

XmInstrumentDesc NoiseRiser() {
    const int n = 8192;
    Signal noise = WhiteNoise(n, 109);
    BandPass(noise, 1800.0, 0.8);
    // Faded at both ends of the buffer so the loop closes quietly.
    Signal looped = noise;
    for (int i = 0; i < n / 2; ++i) looped[i] = noise[i] * double(i) / (n / 2) +
                                                 noise[i + n / 2] * (1.0 - double(i) / (n / 2));
    looped.resize(n / 2);
    XmSampleDesc sample = MakeSample("noise", looped, false, 0.9, 48);
    ForwardLoop(sample, 0, uint32_t(looped.size()));
    XmInstrumentDesc instrument = Single("noise riser", std::move(sample));
    // A gate that opens and shuts every two rows for as long as the note holds.
    instrument.volumeEnvelope = Envelope({{0, 60}, {5, 60}, {6, 12}, {11, 12}, {12, 60}}, -1, 0, 4);
    // The looping gate never ends by itself; a key-off fades the riser out within a row or two.
    instrument.fadeout = 4096;
    return instrument;
}

XmInstrumentDesc Impact() {
    const int n = ValuesFor(0.8);
    Signal boom = Sweep(n, 90.0, 34.0, 0.12);
    ExpDecay(boom, 0.3);
    Signal dust = WhiteNoise(n, 113);
    LowPass(dust, 900.0);
    ExpDecay(dust, 0.12);
    Mix(boom, dust, 1.5);
    FadeOut(boom, ValuesFor(0.15));
    return Single("impact", MakeSample("impact", boom, true, 0.95, 60));
}

XmInstrumentDesc ReverseCymbal() {
    const int n = ValuesFor(1.0);
    Signal metal = Metal(n, 350.0);
    Mix(metal, WhiteNoise(n, 127), 3.0);
    HighPass(metal, 4000.0);
    ExpDecay(metal, 0.3);
    std::reverse(metal.begin(), metal.end());
    FadeIn(metal, ValuesFor(0.1));
    return Single("reverse cymbal", MakeSample("reverse", metal, false, 0.9, 48));
}

XmInstrumentDesc Zap() {
    const int n = ValuesFor(0.16);
    Signal zap(n);
    double phase = 0.0;
    for (int i = 0; i < n; ++i) {
        const double t = i / kSynthRateHz;
        zap[i] = std::sin(phase) > 0.0 ? 1.0 : -1.0;
        phase += kTwoPi * (90.0 + 1800.0 * std::exp(-t / 0.03)) / kSynthRateHz;
    }
    LowPass(zap, 5000.0);
    ExpDecay(zap, 0.06);
    return Single("zap", MakeSample("zap", zap, false, 0.8, 40));
}

XmInstrumentDesc Chime() {
    const int root = NoteByte("C-6");
    const double hz = NoteHz(root);
    const int n = ValuesFor(0.3);
    Signal chime(n, 0.0);
    static const double ratios[] = {1.0, 2.76, 5.40, 8.93};
    static const double amplitudes[] = {1.0, 0.5, 0.25, 0.12};
    for (int p = 0; p < 4; ++p) {
        for (int i = 0; i < n; ++i) {
            chime[i] += amplitudes[p] * std::sin(kTwoPi * hz * ratios[p] * i / kSynthRateHz);
        }
    }
    XmSampleDesc sample = MakeSample("chime", chime, true, 0.85, 44);
    TuneSample(sample, root, hz, hz);
    // The shimmer of an inharmonic tone running back and forth; the envelope lets it ring out.
    PingPongLoop(sample, uint32_t(ValuesFor(0.05)), uint32_t(ValuesFor(0.25)));
    XmInstrumentDesc instrument = Single("chime", std::move(sample));
    instrument.volumeEnvelope = Envelope({{0, 64}, {12, 36}, {48, 12}, {110, 0}});
    instrument.panningEnvelope = Envelope({{0, 20}, {30, 44}, {60, 20}}, -1, 0, 2);
    return instrument;
}

XmInstrumentDesc BrassStab() {
    XmInstrumentDesc instrument =
        Single("brass stab",
               Tone("brass", NoteByte("C-4"), ValuesFor(0.05), 16384, 2, SoftSaw, 3.0, true, 131));
    instrument.volumeEnvelope = Envelope({{0, 64}, {2, 58}, {7, 34}, {16, 0}});
    return instrument;
}

XmInstrumentDesc Credits(const char* text) {
    XmInstrumentDesc instrument;
    instrument.name = text;
    return instrument;
}

}  // namespace

bool IsDrum(uint8_t instrument) {
    return (instrument >= kKick && instrument <= kShaker) || instrument == kImpact;
}

std::vector<XmInstrumentDesc> BuildInstruments() {
    std::vector<XmInstrumentDesc> instruments = {
        Kick(),       Snare(),         Clap(),      ClosedHat(), OpenHat(),    Crash(),
        Tom(),        Shaker(),        SubBass(),   SawBass(),   WarmPad(),    StringPad(),
        Choir(),      SawLead(),       PulseLead(), Pluck(),     Bell(),       ElectricPiano(),
        NoiseRiser(), Impact(),        ReverseCymbal(), Zap(),   Chime(),      BrassStab(),
        Credits("novaline theme"), Credits("composed in code"), Credits("for the show"),
    };
    return instruments;
}

}  // namespace composer
