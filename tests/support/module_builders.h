// Builders of XM module descriptions for the tests and for the programs that write modules for
// them (the fuzzers' seed corpus, the bench module): cells, patterns, samples, instruments and
// whole modules, in the writer's terms and with the format's own numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sound/xm_format.h"
#include "sound/xm_writer.h"

// ---- cells ------------------------------------------------------------------------------------

inline constexpr uint8_t kNoteB7 = kNoteC0 + kNoteCount - 1;  // the highest note

constexpr NoteCell Cell(uint8_t note, uint8_t instrument = 0, uint8_t volume = 0,
                        uint8_t effect = 0, uint8_t parameter = 0) {
    return NoteCell{note, instrument, volume, effect, parameter};
}

// A cell that carries an effect and nothing else.
constexpr NoteCell Effect(uint8_t effect, uint8_t parameter) {
    return Cell(kNoteNone, 0, 0, effect, parameter);
}

// A cell that carries an E effect and nothing else.
constexpr NoteCell ExtendedEffect(uint8_t command, uint8_t value) {
    return Effect(kEffectExtended, SubCommand(command, value));
}

// ---- patterns ---------------------------------------------------------------------------------

struct PlacedCell {
    uint16_t row;
    uint16_t channel;
    NoteCell cell;
};

// A pattern of `rows` x `channels` empty cells but for the `placed` ones.
XmPatternDesc MakePattern(uint16_t rows, uint16_t channels,
                          const std::vector<PlacedCell>& placed = {});

// The cell at (row, channel) of one of the module's patterns.
NoteCell& CellAt(XmModuleDesc& module, int pattern, int row, int channel);

// ---- samples and instruments ------------------------------------------------------------------

// One period of a sine over `count` values, peaking at `amplitude`.
std::vector<int16_t> Sine(size_t count, int amplitude);

// A sample's loop: kSampleTypeForward or kSampleTypePingPong (0 none) over values
// start..start + length.
struct SampleLoop {
    uint8_t type = 0;
    uint32_t start = 0;
    uint32_t length = 0;
};

// Samples of `values` at volume 64, centre panning, no finetune or relative note; 8-bit ones take
// values -128..127.
XmSampleDesc Sample8(std::vector<int16_t> values, SampleLoop loop = {}, std::string name = {});
XmSampleDesc Sample16(std::vector<int16_t> values, SampleLoop loop = {}, std::string name = {});

// An instrument of these samples, every note on the first, without envelopes or vibrato.
XmInstrumentDesc InstrumentWith(std::vector<XmSampleDesc> samples, std::string name = {});

// ---- modules ----------------------------------------------------------------------------------

// A module with a linear frequency table at BPM 125 playing `orders` of `patterns`.
XmModuleDesc MakeModule(uint16_t channels, uint16_t speed, std::vector<uint8_t> orders,
                        std::vector<XmPatternDesc> patterns,
                        std::vector<XmInstrumentDesc> instruments = {});

// Two channels and one empty one-row pattern: a module that is only there for its instruments.
XmModuleDesc ModuleWith(std::vector<XmInstrumentDesc> instruments);
