// The voice pool and the mixer: up to 256 Samples played at any rate with linear interpolation,
// forward and ping-pong loops and short linear gain ramps, added into a float stereo buffer.
#pragma once

#include <cstdint>

#include "sound/module.h"

constexpr int kVoiceCount = 256;
constexpr int32_t kMinVoiceFrequencyHz = 100;
constexpr int32_t kMaxVoiceFrequencyHz = 705600;  // 16 sample values per frame at 44100 Hz

constexpr int32_t kDirectionForward = 1;
constexpr int32_t kDirectionBackward = 2;  // the return leg of a ping-pong loop

struct Voice : ListNode {
    int32_t index;         // 0..255
    int32_t volume;        // last volume given, 0..255
    int32_t frequency;     // last rate given in Hz, before clamping
    int32_t panning;       // 0 full left .. 255 full right
    int32_t startOffset;   // value at which the next bind starts; consumed by the bind
    const Sample* sample;  // null = silent, skipped by the mixer
    uint8_t leftVolume;    // target gains x 255
    uint8_t rightVolume;
    uint32_t positionInt;  // play position, 32.32 in sample values
    uint32_t positionFrac;
    uint32_t stepFrac;     // position change per output frame, 32.32
    uint32_t stepInt;
    int32_t direction;     // kDirectionForward or kDirectionBackward
    uint8_t rampTargetLeft;  // the target gains the current ramp runs toward
    uint8_t rampTargetRight;
    uint8_t currentLeft;   // gains reached so far, x 255
    uint8_t currentRight;
    float rampStepLeft;    // gain change per frame, 1.0 = full gain
    float rampStepRight;
    int32_t rampFramesLeft;  // 0 = no ramp running
};

// The pool exists from OpenAudioOutput to CloseAudioOutput; null and an empty list otherwise.
Voice* VoicePool();
ListNode* VoiceList();
// Creates the 256 voices on the voice list and sets the ramp length for the output rate.
void CreateVoicePool(int32_t rateHz);
void ReleaseVoicePool();
// Frames a gain ramp takes at the current rate: 128 at 44100 Hz.
int32_t RampLengthFrames();

// The voice operations take a pool index; with no pool, or an index outside it, they do nothing.
// Returns the voice's index, or -1 when the pool does not exist or sample is null.
int32_t BindVoiceSample(int32_t voiceIndex, const Sample* sample);
void StopVoice(int32_t voiceIndex);
void SetVoiceFrequency(int32_t voiceIndex, int32_t hz);
void SetVoiceVolume(int32_t voiceIndex, int32_t volume);
void SetVoicePanning(int32_t voiceIndex, int32_t panning);
// Where the next bind of the voice starts playing, in sample values (a sample offset command); 0
// forgets an offset not yet used.
void SetVoiceStartOffset(int32_t voiceIndex, int32_t values);
// Silences every voice playing the sample, before it is released.
void StopVoicesPlaying(const Sample* sample);

// Adds `frames` stereo frames (left, right) of every active voice on the list to `out`.
void MixVoices(float* out, ListNode* listHead, int32_t frames);
// Rounds each of 2 x frames floats to the nearest integer (ties to even), clamped to 16 bits.
void ConvertToPcm16(int16_t* destination, const float* source, int32_t frames);
