#include <cstdint>

#include "sound/voice.h"

namespace {

Voice* voicePool = nullptr;
ListNode voiceList{&voiceList, &voiceList};
int32_t outputRateHz = 0;
int32_t rampLengthFrames = 0;

Voice* VoiceAt(int32_t voiceIndex) {
    if (!voicePool || voiceIndex < 0 || voiceIndex >= kVoiceCount) return nullptr;
    return &voicePool[voiceIndex];
}

// Linear pan law: the centre (128) gives the left 127/255 and the right 128/255 of the volume.
void UpdateGains(Voice& voice) {
    // Inputs outside 0..255 are clamped here so a gain can never wrap in its byte.
    const int32_t volume = voice.volume < 0 ? 0 : (voice.volume > 255 ? 255 : voice.volume);
    const int32_t panning = voice.panning < 0 ? 0 : (voice.panning > 255 ? 255 : voice.panning);
    // Integer divisions truncate: full volume at centre is 127 left, 128 right.
    voice.leftVolume = static_cast<uint8_t>((255 - panning) * volume / 255);
    voice.rightVolume = static_cast<uint8_t>(panning * volume / 255);
}

}  // namespace

Voice* VoicePool() { return voicePool; }
ListNode* VoiceList() { return &voiceList; }
int32_t RampLengthFrames() { return rampLengthFrames; }

void CreateVoicePool(int32_t rateHz) {
    ReleaseVoicePool();
    outputRateHz = rateHz;
    // 128 frames at 44100 Hz (about 2.9 ms): long enough to hide clicks, short enough for attacks.
    rampLengthFrames = rateHz * 128 / 44100;
    if (rampLengthFrames < 1) rampLengthFrames = 1;
    voicePool = new Voice[kVoiceCount]();
    for (int32_t i = 0; i < kVoiceCount; ++i) {
        voicePool[i].index = i;
        ListInsertBefore(&voicePool[i], &voiceList);
    }
}

void ReleaseVoicePool() {
    ListMakeSelfLinked(&voiceList);
    delete[] voicePool;
    voicePool = nullptr;
    outputRateHz = 0;
    rampLengthFrames = 0;
}

int32_t BindVoiceSample(int32_t voiceIndex, const Sample* sample) {
    Voice* voice = VoiceAt(voiceIndex);
    if (!voice || !sample) return -1;
    voice->sample = sample;
    const uint64_t loopEnd = static_cast<uint64_t>(sample->loopStart) + sample->loopLength;
    const int32_t start = voice->startOffset;
    voice->positionInt = (start < 0 || static_cast<uint64_t>(start) >= loopEnd) ? 0 : start;
    voice->positionFrac = 0;
    voice->startOffset = 0;
    voice->direction = kDirectionForward;
    return voice->index;
}

void StopVoice(int32_t voiceIndex) {
    Voice* voice = VoiceAt(voiceIndex);
    if (!voice) return;
    voice->positionInt = 0;
    voice->positionFrac = 0;
    voice->sample = nullptr;
}

void SetVoiceFrequency(int32_t voiceIndex, int32_t hz) {
    Voice* voice = VoiceAt(voiceIndex);
    if (!voice) return;
    voice->frequency = hz;
    int64_t clamped = hz;
    if (clamped < kMinVoiceFrequencyHz) clamped = kMinVoiceFrequencyHz;
    if (clamped > kMaxVoiceFrequencyHz) clamped = kMaxVoiceFrequencyHz;
    const uint64_t rate = static_cast<uint64_t>(outputRateHz);
    voice->stepInt = static_cast<uint32_t>(clamped / rate);
    voice->stepFrac = static_cast<uint32_t>((static_cast<uint64_t>(clamped % rate) << 32) / rate);
}

void SetVoiceVolume(int32_t voiceIndex, int32_t volume) {
    Voice* voice = VoiceAt(voiceIndex);
    if (!voice) return;
    voice->volume = volume;
    UpdateGains(*voice);
}

void SetVoiceStartOffset(int32_t voiceIndex, int32_t values) {
    Voice* voice = VoiceAt(voiceIndex);
    if (!voice) return;
    voice->startOffset = values;
}

void StopVoicesPlaying(const Sample* sample) {
    if (!voicePool) return;
    for (int32_t i = 0; i < kVoiceCount; ++i) {
        if (voicePool[i].sample == sample) StopVoice(i);
    }
}

void SetVoicePanning(int32_t voiceIndex, int32_t panning) {
    Voice* voice = VoiceAt(voiceIndex);
    if (!voice) return;
    voice->panning = panning;
    UpdateGains(*voice);
}
