// Writes a busy XM module of about 77 seconds to OUT.xm, of 12 channels or of CHANNELS (12..64):
// every channel plays looped and one-shot samples with running effects and envelopes, so that
// timing a render of it (xmrender prints how many times faster than real time it ran) exercises
// the whole engine. Past the first twelve, the channels repeat their parts, each note with a
// panning of its own.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/module_builders.h"

namespace {

constexpr uint16_t kParts = 12;
constexpr uint16_t kMaxBenchChannels = 64;
constexpr uint16_t kRows = 64;
constexpr int kPatterns = 4;

uint32_t randomState = 12345;
// A fixed generator, so the module is the same on every machine.
uint32_t NextRandom() {
    randomState = randomState * 1664525u + 1013904223u;
    return randomState >> 8;
}

// A loop over every value of the sample.
SampleLoop WholeLoop(uint8_t type, const std::vector<int16_t>& values) {
    return {type, 0, static_cast<uint32_t>(values.size())};
}

// `channels` playing at once are kept from clipping by lowering every sample's volume in step.
std::vector<XmInstrumentDesc> Instruments(uint16_t channels) {
    const std::vector<int16_t> sine = Sine(256, 8000);
    std::vector<int16_t> saw(128), square(100), noise(6000);
    for (size_t i = 0; i < saw.size(); ++i) saw[i] = static_cast<int16_t>(int(i) * 2 - 128);
    for (size_t i = 0; i < square.size(); ++i) square[i] = i < square.size() / 2 ? 90 : -90;
    for (size_t i = 0; i < noise.size(); ++i) {
        const double decay = 1.0 - double(i) / double(noise.size());
        noise[i] = static_cast<int16_t>((int(NextRandom() % 256) - 128) * decay);
    }

    XmInstrumentDesc lead =
        InstrumentWith({Sample16(sine, WholeLoop(kSampleTypeForward, sine))}, "sine lead");
    lead.volumeEnvelope.points = {{0, 64}, {8, 48}, {30, 40}, {60, 0}};
    lead.volumeEnvelope.sustain = 2;
    lead.volumeEnvelope.type = kEnvelopeOn | kEnvelopeSustain;
    lead.fadeout = 512;
    lead.vibratoType = 0;
    lead.vibratoSweep = 16;
    lead.vibratoDepth = 4;
    lead.vibratoRate = 20;

    XmInstrumentDesc bass =
        InstrumentWith({Sample8(saw, WholeLoop(kSampleTypeForward, saw))}, "saw bass");
    bass.panningEnvelope.points = {{0, 16}, {20, 48}, {40, 16}};
    bass.panningEnvelope.loopStart = 0;
    bass.panningEnvelope.loopEnd = 2;
    bass.panningEnvelope.type = kEnvelopeOn | kEnvelopeLoop;

    XmInstrumentDesc pad = InstrumentWith({Sample8(square, WholeLoop(kSampleTypePingPong, square))},
                                          "ping-pong square");
    // Twelve channels at full volume would clip; the chords are kept in the background.
    pad.samples[0].volume = 16;

    const XmInstrumentDesc drum = InstrumentWith({Sample8(noise)}, "noise drum");

    std::vector<XmInstrumentDesc> instruments = {lead, bass, pad, drum};
    for (XmInstrumentDesc& instrument : instruments) {
        // Truncated: the twelve-channel module keeps its volumes exactly.
        instrument.samples[0].volume = uint8_t(instrument.samples[0].volume * kParts / channels);
    }
    return instruments;
}

// Parts 0-2 lead with vibrato, 3-5 bass with volume slides, 6-8 pads with arpeggios, 9 a tone
// portamento, 10-11 drums; channel c plays part c mod 12.
XmPatternDesc BusyPattern(int index, uint16_t channels) {
    XmPatternDesc pattern = MakePattern(kRows, channels);
    const uint8_t scale[] = {0, 2, 3, 5, 7, 8, 10, 12};
    for (uint16_t row = 0; row < kRows; ++row) {
        for (uint16_t channel = 0; channel < channels; ++channel) {
            NoteCell& cell = pattern.cells[size_t{row} * channels + channel];
            const uint16_t c = channel % kParts;
            const uint8_t degree = scale[(NextRandom() + c) % 8];
            if (c < 3) {
                const uint8_t note = uint8_t(kNoteC4 + degree + 12 * (index % 2));
                if (row % 8 == c * 2)
                    cell = Cell(note, 1);
                else if (row % 8 == 7)
                    cell = Cell(kFileNoteKeyOff);
                else
                    cell = Effect(kEffectVibrato, 0x46);
            } else if (c < 6) {
                const uint8_t note = uint8_t(kNoteC4 - 24 + degree);
                if (row % 4 == 0)
                    cell = Cell(note, 2, kVolumeSetFirst + 24);
                else
                    cell = Effect(kEffectVolumeSlide, 0x04);
            } else if (c < 9) {
                const uint8_t note = uint8_t(kNoteC4 - 12 + degree + 4 * (c - 6));
                if (row % 16 == 0)
                    cell = Cell(note, 3);
                else
                    cell = Effect(kEffectArpeggio, 0x37);
            } else if (c == 9) {
                const uint8_t note = uint8_t(kNoteC4 - 9 + degree);
                if (row % 16 == 0)
                    cell = Cell(note, 1);
                else if (row % 16 == 8)
                    cell = Cell(note + 12, 0, 0, kEffectTonePorta, 0x08);
            } else if (row % 2 == (c - 10)) {
                const uint8_t note = c == 10 ? kNoteC4 - 12 : kNoteC4 + 12;
                cell = Cell(note, 4, uint8_t(kVolumeSetFirst + 28 - 6 * (row % 4)));
            }
            if (channel >= kParts && cell.instrument != 0 && cell.effect == 0 &&
                cell.parameter == 0) {
                cell.effect = kEffectSetPanning;
                cell.parameter = uint8_t(row * 37 + channel * 53);
            }
        }
    }
    return pattern;
}

}  // namespace

int main(int argc, char** argv) {
    char* end = nullptr;
    const long channels = argc == 3 ? std::strtol(argv[2], &end, 10) : kParts;
    const bool wholeNumber = argc != 3 || (end != argv[2] && *end == '\0');
    if (argc < 2 || argc > 3 || !wholeNumber || channels < kParts || channels > kMaxBenchChannels) {
        std::fprintf(stderr, "usage: xm_bench_module OUT.xm [CHANNELS]  (12..64, default 12)\n");
        return 2;
    }
    std::vector<XmPatternDesc> patterns;
    for (int p = 0; p < kPatterns; ++p) patterns.push_back(BusyPattern(p, uint16_t(channels)));
    // Made after the patterns: the noise drum draws on the same generator.
    std::vector<XmInstrumentDesc> instruments = Instruments(uint16_t(channels));
    // Ten orders of 64 rows of 6 ticks at 125 BPM: 76.8 seconds.
    XmModuleDesc module = MakeModule(uint16_t(channels), 6, {0, 1, 2, 3, 0, 1, 2, 3, 1, 2},
                                     std::move(patterns), std::move(instruments));
    module.name = channels == kParts ? "bench twelve" : "bench " + std::to_string(channels);
    const std::vector<uint8_t> bytes = WriteXm(module);
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
