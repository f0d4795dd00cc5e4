// The replay state of one pattern channel. Channel i of a started Song always drives Voice i.
#pragma once

#include <cstdint>

#include "sound/module.h"

// Bits of `updateFlags`: what UpdateVoice sends to the Voice this tick.
constexpr uint8_t kUpdateFrequency = 1 << 0;
constexpr uint8_t kUpdateVolume = 1 << 1;
constexpr uint8_t kUpdatePanning = 1 << 2;
constexpr uint8_t kUpdateTrigger = 1 << 3;
constexpr uint8_t kUpdateStop = 1 << 5;

struct Channel {
    uint8_t note;         // 0-based: 0 = C-0, 95 = B-7
    uint8_t updateFlags;
    int32_t voiceIndex;   // the Voice this Channel drives: i for Channel i, for its whole start
    // The Voice took this Channel's last trigger and follows its volume, panning and pitch; false
    // after a trigger that found no sample (or no voice pool) until one binds again, so that the
    // sound still playing on the Voice is left as it was.
    bool bound;
    int32_t period;       // linear or Amiga units, as the Song's flags say
    int32_t volume;       // 0..64
    int32_t panning;      // 0 left, 128 centre, 255 right
    int32_t volumeOffset; // this tick only
    int32_t pitchOffset;  // this tick only
    int32_t volEnvTick;
    int32_t volEnvPoint;
    int32_t volEnvValueQ16;  // 16.16
    int32_t volEnvOutput; // 0..64
    int32_t volEnvStepQ16;   // 16.16 per tick
    uint8_t volEnvDone;
    int32_t panEnvTick;
    int32_t panEnvPoint;
    int32_t panEnvValueQ16;  // 16.16
    int32_t panEnvOutput; // 0..64, 32 = no shift
    int32_t panEnvStepQ16;   // 16.16 per tick
    uint8_t panEnvDone;
    int32_t fadeoutVolumeQ16;  // 16.16: 65536 = full
    int32_t autoVibratoPosition;
    int32_t autoVibratoSweepCount;
    uint8_t keyOff;
    uint8_t instrument;   // 0-based
    uint8_t realNote;
    int32_t notePeriod;
    int32_t sampleOffsetMemory;
    uint8_t portaDownMemory;
    uint8_t portaUpMemory;
    uint8_t extraFineDownMemory;
    uint8_t extraFineUpMemory;
    uint8_t volumeSlideMemory;
    uint8_t panningSlideMemory;
    uint8_t retrigVolumeChange;
    uint8_t retrigInterval;
    int32_t portaTarget;
    uint8_t portaSpeed;
    int8_t vibratoPosition;  // -32..31
    uint8_t vibratoSpeed;
    uint8_t vibratoDepth;
    uint8_t tremorCount;
    uint8_t tremorOn;
    uint8_t tremorOff;
    int32_t loopStartRow;
    int32_t loopCount;
    uint8_t waveControl;
    uint8_t fineVolumeSlideMemory;
};
