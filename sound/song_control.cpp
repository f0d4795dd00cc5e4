#include "sound/song_control.h"

#include <mutex>

#include "replay/channel.h"
#include "sound/audio_output.h"
#include "sound/file_hooks.h"
#include "sound/voice.h"
#include "sound/xm_loader.h"

Sample emptySample{};

namespace {

constexpr int32_t kFallbackBpm = 125;

void StopSongLocked(Song* song) {
    ListUnlink(song);
    song->playing = 0;
    if (song->channels) {
        for (int32_t i = 0; i < song->channelCount; ++i) StopVoice(i);
        delete[] song->channels;
        song->channels = nullptr;
    }
}

// Silences every Voice bound to the Sample, then releases it.
void ReleaseSampleLocked(Sample* sample) {
    if (!sample || sample == &emptySample) return;
    if (Voice* pool = VoicePool()) {
        for (int32_t i = 0; i < kVoiceCount; ++i) {
            if (pool[i].sample == sample) StopVoice(i);
        }
    }
    delete[] sample->data;
    delete sample;
}

}  // namespace

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

bool StartSong(Song* song) {
    if (!song) return false;
    std::lock_guard<std::mutex> lock(MixMutex());
    Voice* pool = VoicePool();
    if (!pool) return false;
    StopSongLocked(song);
    song->globalVolume = song->initialGlobalVolume;
    song->nextOrder = -1;
    song->nextRow = -1;
    song->speed = song->defaultSpeed;
    song->row.store(0, std::memory_order_relaxed);
    song->order.store(0, std::memory_order_relaxed);
    song->samplesLeftInTick = 0;  // the first tick is due at once
    song->tick = 0;
    song->patternDelay = 0;
    SetSongBpm(song, song->defaultBpm);
    song->channels = new Channel[song->channelCount]();
    for (int32_t i = 0; i < song->channelCount; ++i) {
        song->channels[i].voice = &pool[i];
        song->channels[i].voiceIndex = i;
    }
    ListInsertBefore(song, PlayingSongs());
    song->playing = 1;
    return true;
}

bool StopSong(Song* song) {
    if (!song) return false;
    std::lock_guard<std::mutex> lock(MixMutex());
    StopSongLocked(song);
    return true;
}

void FreeSample(Sample* sample) {
    if (!sample || sample == &emptySample) return;
    std::lock_guard<std::mutex> lock(MixMutex());
    ReleaseSampleLocked(sample);
}

bool FreeSong(Song* song) {
    if (!song) return false;
    std::lock_guard<std::mutex> lock(MixMutex());
    StopSongLocked(song);
    if (song->instruments) {
        for (int i = 0; i < song->instrumentCount; ++i) {
            const Instrument& instrument = song->instruments[i];
            for (int j = 0; j < instrument.sampleCount; ++j) {
                ReleaseSampleLocked(instrument.samples[j]);
            }
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

void SetSongBpm(Song* song, int32_t bpm) {
    if (bpm < 1) bpm = kFallbackBpm;
    song->bpm = bpm;
    const int64_t rateHz = OutputRateHz();
    // The tick is 2.5 / bpm seconds, truncated to whole frames; never 0 frames while the output
    // runs, or the mixing loop would call the tick routine without ever advancing.
    const int64_t frames = 5 * rateHz / (2 * static_cast<int64_t>(bpm));
    song->samplesPerTick = static_cast<int32_t>(rateHz > 0 && frames < 1 ? 1 : frames);
}
