#include "tests/support/module_builders.h"

#include <cmath>
#include <utility>

namespace {

// 2 pi to eight digits, as the modules written so far were made with: the exact value would turn
// a few sine values over an integer and change their bytes.
constexpr double kSineTurn = 6.2831853;

XmSampleDesc SampleOf(bool sixteenBit, std::vector<int16_t> values, SampleLoop loop,
                      std::string name) {
    XmSampleDesc sample;
    sample.name = std::move(name);
    sample.sixteenBit = sixteenBit;
    sample.values = std::move(values);
    sample.loopBits = loop.type;
    sample.loopStart = loop.start;
    sample.loopLength = loop.length;
    return sample;
}

}  // namespace

XmPatternDesc MakePattern(uint16_t rows, uint16_t channels, const std::vector<PlacedCell>& placed) {
    XmPatternDesc pattern;
    pattern.rows = rows;
    pattern.cells.assign(size_t{rows} * channels, NoteCell{});
    for (const PlacedCell& p : placed) pattern.cells[size_t{p.row} * channels + p.channel] = p.cell;
    return pattern;
}

NoteCell& CellAt(XmModuleDesc& module, int pattern, int row, int channel) {
    return module.patterns[pattern].cells[static_cast<size_t>(row) * module.channelCount + channel];
}

std::vector<int16_t> Sine(size_t count, int amplitude) {
    std::vector<int16_t> values(count);
    for (size_t i = 0; i < count; ++i) {
        const double phase = kSineTurn * double(i) / double(count);
        values[i] = static_cast<int16_t>(amplitude * std::sin(phase));
    }
    return values;
}

XmSampleDesc Sample8(std::vector<int16_t> values, SampleLoop loop, std::string name) {
    return SampleOf(false, std::move(values), loop, std::move(name));
}

XmSampleDesc Sample16(std::vector<int16_t> values, SampleLoop loop, std::string name) {
    return SampleOf(true, std::move(values), loop, std::move(name));
}

XmInstrumentDesc InstrumentWith(std::vector<XmSampleDesc> samples, std::string name) {
    XmInstrumentDesc instrument;
    instrument.name = std::move(name);
    instrument.samples = std::move(samples);
    return instrument;
}

XmModuleDesc MakeModule(uint16_t channels, uint16_t speed, std::vector<uint8_t> orders,
                        std::vector<XmPatternDesc> patterns,
                        std::vector<XmInstrumentDesc> instruments) {
    XmModuleDesc module;
    module.channelCount = channels;
    module.defaultSpeed = speed;
    module.defaultBpm = 125;
    module.flags = kLinearFrequencyFlag;
    module.orders = std::move(orders);
    module.patterns = std::move(patterns);
    module.instruments = std::move(instruments);
    return module;
}

XmModuleDesc ModuleWith(std::vector<XmInstrumentDesc> instruments) {
    return MakeModule(2, 6, {0}, {MakePattern(1, 2)}, std::move(instruments));
}
