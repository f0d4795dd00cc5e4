// Feeds arbitrary bytes to the XM loader. Besides the sanitizers' checks it traps when a song
// that the loader accepted breaks a promise the replay relies on without checking it again.
#include <cstddef>
#include <cstdint>

#include "replay/song_control.h"
#include "sound/memory_files.h"
#include "sound/module.h"

namespace {

volatile int64_t sink;

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

int64_t CheckSample(const Sample* sample) {
    Require(sample != nullptr && sample != &emptySample);
    Require(uint64_t{sample->loopStart} + sample->loopLength <= sample->length);
    Require(sample->loopLength != 0 || sample->length == 0);
    Require((sample->data == nullptr) == (sample->length == 0));
    int64_t sum = 0;
    if (sample->data) {
        // The mixer reads the guard values past the end without a bounds check.
        const uint64_t values = uint64_t{sample->length} + kSampleGuardValues;
        for (uint64_t i = 0; i < values; ++i) sum += sample->data[i];
    }
    return sum;
}

int64_t CheckInstrument(const Instrument& instrument) {
    Require(instrument.sampleCount >= 0 && instrument.sampleCount <= kMaxSamplesPerInstrument);
    int64_t sum = 0;
    for (int i = 0; i < kMaxSamplesPerInstrument; ++i) {
        if (i < instrument.sampleCount) {
            sum += CheckSample(instrument.samples[i]);
        } else {
            Require(instrument.samples[i] == &emptySample);
        }
    }
    return sum;
}

int64_t CheckSong(const Song& song) {
    Require(song.channelCount >= 1 && song.channelCount <= kMaxChannels);
    Require(song.songLength <= kOrderTableSize);
    // The replay indexes the pattern array with every played order entry.
    for (int i = 0; i < song.songLength; ++i) Require(song.orderTable[i] < song.patternSlots);
    Require(song.patternSlots == 0 || song.patterns != nullptr);

    int64_t sum = 0;
    for (int32_t p = 0; p < song.patternSlots; ++p) {
        const Pattern& pattern = song.patterns[p];
        Require(pattern.rows >= 1 && pattern.rows <= 256);
        Require(pattern.cells != nullptr);
        const int64_t cells = int64_t{pattern.rows} * song.channelCount;
        for (int64_t c = 0; c < cells; ++c) {
            const NoteCell& cell = pattern.cells[c];
            sum += cell.note + cell.instrument + cell.volume + cell.effect + cell.parameter;
        }
    }

    Require(song.instrumentCount == 0 || song.instruments != nullptr);
    for (int i = 0; i < song.instrumentCount; ++i) sum += CheckInstrument(song.instruments[i]);
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AddMemoryFileView("fuzz.xm", data, size);
    UseMemoryFileHooks();
    Song* song = CreateSong("fuzz.xm", nullptr);
    // Every path out of the loader, refusals included, must close what it opened.
    Require(OpenMemoryFileCount() == 0);
    if (song) {
        sink = CheckSong(*song);
        FreeSong(song);
    }
    // The shared empty sample must come out of every load untouched.
    Require(emptySample.data == nullptr && emptySample.length == 0);
    RemoveMemoryFiles();
    return 0;
}
