#include "generators/composer/notation.h"

#include <stdexcept>
#include <string>

namespace composer {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int EffectNumber(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

[[noreturn]] void Fail(std::string_view what, std::string_view token) {
    throw std::invalid_argument(std::string(what) + ": \"" + std::string(token) + "\"");
}

// One token into a cell; the line's instrument goes with every note.
void WriteToken(NoteCell& cell, std::string_view token, uint8_t instrument) {
    std::string_view rest = token;
    std::string_view effect;
    if (const auto comma = rest.find(','); comma != std::string_view::npos) {
        effect = rest.substr(comma + 1);
        rest = rest.substr(0, comma);
    }
    std::string_view volume;
    if (const auto colon = rest.find(':'); colon != std::string_view::npos) {
        volume = rest.substr(colon + 1);
        rest = rest.substr(0, colon);
    }
    if (rest == "==") {
        cell.note = kFileNoteKeyOff;
    } else if (rest != ".") {
        const uint8_t note = NoteByte(rest);
        if (note == kNoteNone) Fail("not a note", token);
        cell.note = note;
        cell.instrument = instrument;
    }
    if (!volume.empty()) {
        int value = 0;
        for (char c : volume) {
            if (c < '0' || c > '9') Fail("not a volume", token);
            value = value * 10 + (c - '0');
        }
        if (value > 64) Fail("volume above 64", token);
        cell.volume = VolumeByte(value);
    }
    if (!effect.empty()) {
        if (effect.size() != 3) Fail("not an effect", token);
        const int number = EffectNumber(effect[0]);
        const int high = HexDigit(effect[1]);
        const int low = HexDigit(effect[2]);
        if (number < 0 || high < 0 || low < 0) Fail("not an effect", token);
        cell.effect = uint8_t(number);
        cell.parameter = uint8_t(high * 16 + low);
    }
}

}  // namespace

XmPatternDesc EmptyPattern() {
    XmPatternDesc pattern;
    pattern.rows = kRows;
    pattern.cells.assign(size_t{kRows} * kChannels, NoteCell{});
    return pattern;
}

NoteCell& CellAt(XmPatternDesc& pattern, int row, int channel) {
    if (row < 0 || row >= pattern.rows || channel < 0 || channel >= kChannels) {
        throw std::invalid_argument("cell outside the pattern: row " + std::to_string(row) +
                                    ", channel " + std::to_string(channel));
    }
    return pattern.cells[size_t(row) * kChannels + size_t(channel)];
}

uint8_t NoteByte(std::string_view name) {
    if (name.size() != 3) return kNoteNone;
    static const int semitones[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name[0] < 'A' || name[0] > 'G') return kNoteNone;
    int semitone = semitones[name[0] - 'A'];
    if (name[1] == '#') {
        ++semitone;
    } else if (name[1] != '-') {
        return kNoteNone;
    }
    if (name[2] < '0' || name[2] > '7') return kNoteNone;
    const int aboveC0 = (name[2] - '0') * 12 + semitone;
    return aboveC0 < kNoteCount ? uint8_t(kNoteC0 + aboveC0) : kNoteNone;
}

uint8_t VolumeByte(int volume) { return uint8_t(kVolumeSetFirst + volume); }

int Line(XmPatternDesc& pattern, int channel, int firstRow, uint8_t instrument,
         std::string_view tokens) {
    int row = firstRow;
    size_t at = 0;
    while (at < tokens.size()) {
        // Bar lines separate tokens as spaces do, so lines joined without a space still read.
        while (at < tokens.size() && (tokens[at] == ' ' || tokens[at] == '|')) ++at;
        if (at >= tokens.size()) break;
        size_t end = tokens.find_first_of(" |", at);
        if (end == std::string_view::npos) end = tokens.size();
        const std::string_view token = tokens.substr(at, end - at);
        at = end;
        WriteToken(CellAt(pattern, row, channel), token, instrument);
        ++row;
    }
    return row;
}

int Drums(XmPatternDesc& pattern, int channel, int firstRow, std::string_view grid,
          std::span<const DrumSound> kit) {
    int row = firstRow;
    for (char c : grid) {
        if (c == ' ' || c == '|') continue;
        if (c != '.') {
            const DrumSound* sound = nullptr;
            for (const DrumSound& candidate : kit) {
                if (candidate.step == c) sound = &candidate;
            }
            if (!sound) throw std::invalid_argument(std::string("not a drum step: '") + c + "'");
            NoteCell& cell = CellAt(pattern, row, channel);
            cell.note = sound->note;
            cell.instrument = sound->instrument;
            cell.volume = VolumeByte(sound->volume);
        }
        ++row;
    }
    return row;
}

void Fx(XmPatternDesc& pattern, int row, int channel, uint8_t effect, uint8_t parameter) {
    NoteCell& cell = CellAt(pattern, row, channel);
    cell.effect = effect;
    cell.parameter = parameter;
}

void VolumeColumn(XmPatternDesc& pattern, int row, int channel, uint8_t volumeByte) {
    CellAt(pattern, row, channel).volume = volumeByte;
}

}  // namespace composer
