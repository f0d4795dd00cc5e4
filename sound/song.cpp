#include "sound/song.h"

#include "sound/file_hooks.h"
#include "sound/xm_loader.h"

Sample emptySample{};

Song* CreateSong(const char* name, SampleDataHook hook) {
    auto* song = new Song{};
    ListMakeSelfLinked(song);
    Stream* stream = StreamOpen(name);
    if (!stream) {
        delete song;
        return nullptr;
    }
    song->sampleDataHook = hook;
    const bool loaded = LoadXm(song, stream);
    StreamClose(stream);
    if (!loaded) {
        FreeSong(song);
        return nullptr;
    }
    return song;
}

void FreeSample(Sample* sample) {
    // emptySample fills unused slots of every Instrument and is never owned.
    if (!sample || sample == &emptySample) return;
    delete[] sample->data;
    delete sample;
}

bool FreeSong(Song* song) {
    if (!song) return false;
    ListUnlink(song);
    if (song->instruments) {
        for (int i = 0; i < song->instrumentCount; ++i) {
            const Instrument& instrument = song->instruments[i];
            for (int j = 0; j < instrument.sampleCount; ++j) FreeSample(instrument.samples[j]);
        }
        delete[] song->instruments;
    }
    if (song->patterns) {
        for (int p = 0; p < song->patternSlots; ++p) delete[] song->patterns[p].cells;
        delete[] song->patterns;
    }
    delete song;
    return true;
}
