#include "replay/song_control.h"

#include <algorithm>
#include <mutex>

#include "replay/channel.h"
#include "replay/sequencer.h"
#include "sound/audio_output.h"
#include "sound/file_hooks.h"
#include "sound/voice.h"
#include "sound/xm_loader.h"

Sample emptySample{};

namespace {

// `playing` of a started Song that PauseSong holds; the mixing loop advances only those at 1.
constexpr uint8_t kSongPaused = 2;

// Starts counted since the process began, under the mix lock; 0 stays free for "never started".
uint32_t startsSoFar = 0;

void StopSongLocked(Song* song) {
    // What was mixed last is heard last: once it has played, the Song is heard where it stopped.
    if (song->playing == 1) {
        song->quietPosition.store(MixedSongPosition(song), std::memory_order_release);
    }
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
    StopVoicesPlaying(sample);
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
    // The engine calls up into the replay through this pointer alone.
    song->tickCallback = ReplayTick;
    return song;
}

bool StartSong(Song* song) {
    if (!song) return false;
    std::lock_guard<std::mutex> lock(MixMutex());
    if (!VoicePool()) return false;
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
    if (++startsSoFar == 0) startsSoFar = 1;
    song->quietPosition.store(0, std::memory_order_release);
    song->startSerial.store(startsSoFar, std::memory_order_release);
    SetSongBpm(song, song->defaultBpm);
    song->channels = new Channel[song->channelCount]();
    for (int32_t i = 0; i < song->channelCount; ++i) {
        song->channels[i].voiceIndex = i;
        song->channels[i].bound = true;
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

bool PauseSong(Song* song, bool paused) {
    if (!song) return false;
    std::lock_guard<std::mutex> lock(MixMutex());
    if (song->playing == 0) return false;
    if (paused && song->playing == 1) {
        // Once what was mixed before has played, the Song is heard where it was held.
        song->quietPosition.store(MixedSongPosition(song), std::memory_order_release);
    }
    song->playing = paused ? kSongPaused : 1;
    return true;
}

void JumpToOrder(Song* song, int32_t order) {
    if (!song || song->songLength == 0) return;
    song->nextOrder = std::clamp<int32_t>(order, 0, song->songLength - 1);
    song->nextRow = 0;
    song->tick = 0;
    song->patternDelay = 0;
    song->samplesLeftInTick = 0;
}
