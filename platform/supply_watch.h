// Whether a device that pulls its sound through a callback ran dry: the sound server plays
// silence when the callback comes too late, and the song then goes on late by as much. The wall
// clock against the frames handed over tells it: time runs on while nothing more is handed, and
// once the lag of the frames behind the clock grows beyond what the device can have held, the
// difference was played as silence.
#pragma once

#include <cstdint>

struct SupplyWatch {
    int64_t thresholdFrames = 0;  // more than the device holds between two callbacks
    int64_t warmUpFrames = 0;     // frames handed over before the lag is trusted
    int64_t baselineFrames = 0;   // the largest lag that was not a dry spell
    bool started = false;
    uint32_t drySpells = 0;
    int64_t dryFrames = 0;
};

// At a callback: `elapsedFrames` the wall time since the first callback, in frames,
// `deliveredFrames` what the callbacks handed over before this one. True when the device ran dry
// since the last call. A lag that grows slowly (one clock running a little slower than the other)
// moves the baseline and is never counted.
bool NoteSupply(SupplyWatch* watch, int64_t elapsedFrames, int64_t deliveredFrames);
