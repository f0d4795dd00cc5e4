// Writes a busy 12-channel XM module of about 77 seconds to OUT.xm: every channel plays looped
// and one-shot samples with running effects and envelopes, so that timing a render of it
// (xmrender prints how many times faster than real time it ran) exercises the whole engine.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "sound/xm_writer.h"

namespace {

constexpr uint16_t kChannels = 12;
constexpr uint16_t kRows = 64;
constexpr int kPatterns = 4;
constexpr double kTwoPi = 6.283185307179586;

uint32_t randomState = 12345;
// A fixed generator, so the module is the same on every machine.
uint32_t NextRandom() {
    randomState = randomState * 1664525u + 1013904223u;
    return randomState >> 8;
}

XmSampleDesc Looped(std::vector<int16_t> values, bool sixteenBit, uint8_t loopBits) {
    XmSampleDesc sample;
    sample.sixteenBit = sixteenBit;
    sample.loopStart = 0;
    sample.loopLength = static_cast<uint32_t>(values.size());
    sample.loopBits = loopBits;
    sample.values = std::move(values);
    return sample;
}

std::vector<XmInstrumentDesc> Instruments() {
    std::vector<int16_t> sine(256), saw(128), square(100), noise(6000);
    for (size_t i = 0; i < sine.size(); ++i) {
        const double phase = kTwoPi * double(i) / double(sine.size());
        sine[i] = static_cast<int16_t>(8000 * std::sin(phase));
    }
    for (size_t i = 0; i < saw.size(); ++i) saw[i] = static_cast<int16_t>(int(i) * 2 - 128);
    for (size_t i = 0; i < square.size(); ++i) square[i] = i < square.size() / 2 ? 90 : -90;
    for (size_t i = 0; i < noise.size(); ++i) {
        const double decay = 1.0 - double(i) / double(noise.size());
        noise[i] = static_cast<int16_t>((int(NextRandom() % 256) - 128) * decay);
    }

    XmInstrumentDesc lead;
    lead.name = "sine lead";
    lead.samples = {Looped(sine, true, 1)};
    lead.volumeEnvelope.points = {{0, 64}, {8, 48}, {30, 40}, {60, 0}};
    lead.volumeEnvelope.sustain = 2;
    lead.volumeEnvelope.type = 1 | 2;
    lead.fadeout = 512;
    lead.vibratoType = 0;
    lead.vibratoSweep = 16;
    lead.vibratoDepth = 4;
    lead.vibratoRate = 20;

    XmInstrumentDesc bass;
    bass.name = "saw bass";
    bass.samples = {Looped(saw, false, 1)};
    bass.panningEnvelope.points = {{0, 16}, {20, 48}, {40, 16}};
    bass.panningEnvelope.loopStart = 0;
    bass.panningEnvelope.loopEnd = 2;
    bass.panningEnvelope.type = 1 | 4;

    XmInstrumentDesc pad;
    pad.name = "ping-pong square";
    pad.samples = {Looped(square, false, 2)};
    // Twelve channels at full volume would clip; the chords are kept in the background.
    pad.samples[0].volume = 16;

    XmInstrumentDesc drum;
    drum.name = "noise drum";
    drum.samples = {Looped(noise, false, 0)};
    drum.samples[0].loopLength = 0;

    return {lead, bass, pad, drum};
}

// Channels 0-2 lead with vibrato, 3-5 bass with volume slides, 6-8 pads with arpeggios, 9 a
// tone portamento, 10-11 drums.
XmPatternDesc BusyPattern(int index) {
    XmPatternDesc pattern;
    pattern.rows = kRows;
    pattern.cells.assign(size_t{kRows} * kChannels, NoteCell{});
    const uint8_t scale[] = {0, 2, 3, 5, 7, 8, 10, 12};
    for (uint16_t row = 0; row < kRows; ++row) {
        for (uint16_t c = 0; c < kChannels; ++c) {
            NoteCell& cell = pattern.cells[size_t{row} * kChannels + c];
            const uint8_t degree = scale[(NextRandom() + c) % 8];
            if (c < 3) {
                if (row % 8 == c * 2) cell = {uint8_t(49 + degree + 12 * (index % 2)), 1, 0, 0, 0};
                else if (row % 8 == 7) cell = {kFileNoteKeyOff, 0, 0, 0, 0};
                else cell = {0, 0, 0, 0x04, 0x46};
            } else if (c < 6) {
                if (row % 4 == 0) cell = {uint8_t(25 + degree), 2, uint8_t(0x10 + 24), 0, 0};
                else cell = {0, 0, 0, 0x0A, 0x04};
            } else if (c < 9) {
                if (row % 16 == 0) cell = {uint8_t(37 + degree + 4 * (c - 6)), 3, 0, 0, 0};
                else cell = {0, 0, 0, 0x00, 0x37};
            } else if (c == 9) {
                if (row % 16 == 0) cell = {uint8_t(40 + degree), 1, 0, 0, 0};
                else if (row % 16 == 8) cell = {uint8_t(52 + degree), 0, 0, 0x03, 0x08};
            } else if (row % 2 == (c - 10)) {
                cell = {uint8_t(c == 10 ? 37 : 61), 4, uint8_t(0x10 + 28 - 6 * (row % 4)), 0, 0};
            }
        }
    }
    return pattern;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: xm_bench_module OUT.xm\n");
        return 2;
    }
    XmModuleDesc module;
    module.name = "bench twelve";
    module.channelCount = kChannels;
    module.defaultSpeed = 6;
    module.defaultBpm = 125;
    // Ten orders of 64 rows of 6 ticks at 125 BPM: 76.8 seconds.
    module.orders = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2};
    for (int p = 0; p < kPatterns; ++p) module.patterns.push_back(BusyPattern(p));
    module.instruments = Instruments();
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
