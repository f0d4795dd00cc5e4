#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "sound/mix_kernels.h"
#include "sound/voice.h"

namespace {

// Positions and steps are 32.32 fixed point in sample values, held as one 64-bit number.
constexpr int kFracBits = 32;
constexpr uint64_t kNeverFrames = std::numeric_limits<uint64_t>::max();

uint64_t PositionOf(const Voice& voice) {
    return (static_cast<uint64_t>(voice.positionInt) << kFracBits) | voice.positionFrac;
}

void StorePosition(Voice& voice, uint64_t position) {
    voice.positionInt = static_cast<uint32_t>(position >> kFracBits);
    voice.positionFrac = static_cast<uint32_t>(position);
}

// Frames after which the voice has reached or passed the end it is heading for, such that every
// frame rendered before then lies inside [loopStart, loopEnd). Each step first clears the lowest
// fraction bit, so a forward step moves between step - 1 and step, a backward one between step
// and step + 1; the bounds use the move that gets closest to the end. The boundary may therefore
// be a hair short of reached after these frames: the caller then renders another chunk.
uint64_t FramesToBoundary(uint64_t position, uint64_t step, uint64_t loopStart, uint64_t loopEnd,
                          int32_t direction) {
    if (direction == kDirectionBackward) {
        if (position <= loopStart) return 0;
        const uint64_t distance = position - loopStart;
        return (distance + step) / (step + 1);  // ceil(distance / (step + 1))
    }
    if (position >= loopEnd) return 0;
    if (step == 0) return kNeverFrames;  // a voice given no frequency never arrives
    const uint64_t distance = loopEnd - position;
    return distance / step + (distance % step != 0);
}

uint8_t GainToByte(float gain) {
    // Nearest, so a ramp that ran its full length lands exactly on its target.
    const float scaled = std::nearbyint(gain * 255.0f);
    return static_cast<uint8_t>(std::clamp(scaled, 0.0f, 255.0f));
}

// Starts a ramp toward the current target gains unless one toward them is already running.
void SetUpRamp(Voice& voice) {
    if (voice.rampFramesLeft != 0 && voice.leftVolume == voice.rampTargetLeft &&
        voice.rightVolume == voice.rampTargetRight) {
        return;
    }
    voice.rampTargetLeft = voice.leftVolume;
    voice.rampTargetRight = voice.rightVolume;
    const int32_t length = RampLengthFrames();
    const float perFrame = 1.0f / static_cast<float>(length);
    const int32_t diffLeft = voice.rampTargetLeft - voice.currentLeft;
    const int32_t diffRight = voice.rampTargetRight - voice.currentRight;
    voice.rampStepLeft = static_cast<float>(diffLeft) / 255.0f * perFrame;
    voice.rampStepRight = static_cast<float>(diffRight) / 255.0f * perFrame;
    voice.rampFramesLeft = (diffLeft != 0 || diffRight != 0) ? length : 0;
}

// Signed and wide enough for a position that has just stepped below 0 or past 2 x the loop end.
using WidePosition = __int128;

// Moves a voice that has reached its loop end (or start, going backward) on: around the loop,
// back the other way, or to silence. Returns the position inside the loop.
uint64_t HandleBoundary(Voice& voice, WidePosition position) {
    const Sample& sample = *voice.sample;
    const WidePosition loopStart = static_cast<WidePosition>(sample.loopStart) << kFracBits;
    const WidePosition loopLength = static_cast<WidePosition>(sample.loopLength) << kFracBits;
    const WidePosition loopEnd = loopStart + loopLength;
    // A loop of no length cannot be played around; the loader never makes one, but a hand-made
    // Sample might, and it must end rather than spin.
    if (sample.loopType == kLoopForward && loopLength != 0) {
        while (position >= loopEnd) position -= loopLength;
        return static_cast<uint64_t>(position);
    }
    if (sample.loopType == kLoopPingPong && loopLength != 0) {
        // Reflections are 2 x end - P - u (u = 2^-32), so a turn never lands on the end itself.
        // A voice that overshoots by more than the loop turns again, as often as needed.
        for (;;) {
            if (voice.direction == kDirectionForward && position >= loopEnd) {
                position = 2 * loopEnd - position - 1;
                voice.direction = kDirectionBackward;
            } else if (voice.direction == kDirectionBackward && position <= loopStart) {
                position = 2 * loopStart - position - 1;
                // Turning exactly on the loop start would land a hair below it, which for a loop
                // starting at 0 is outside the data: stay on the start instead.
                if (position < loopStart) position = loopStart;
                voice.direction = kDirectionForward;
            } else {
                return static_cast<uint64_t>(position);
            }
        }
    }
    voice.sample = nullptr;
    return 0;
}

void MixVoice(const MixKernels& kernels, Voice& voice, float* out, int32_t frames) {
    uint64_t position = PositionOf(voice);
    const uint64_t step = (static_cast<uint64_t>(voice.stepInt) << kFracBits) | voice.stepFrac;
    while (frames > 0) {
        const Sample& sample = *voice.sample;
        const uint64_t loopStart = static_cast<uint64_t>(sample.loopStart) << kFracBits;
        const uint64_t loopEnd = (static_cast<uint64_t>(sample.loopStart) + sample.loopLength)
                                 << kFracBits;
        const uint64_t toBoundary =
            FramesToBoundary(position, step, loopStart, loopEnd, voice.direction);
        int32_t chunk =
            toBoundary <= static_cast<uint64_t>(frames) ? static_cast<int32_t>(toBoundary) : frames;

        SetUpRamp(voice);
        const bool ramping = voice.rampFramesLeft != 0;
        if (ramping) chunk = std::min(chunk, voice.rampFramesLeft);

        const uint64_t chunkStart = position;
        if (chunk > 0) {
            const uint64_t delta = voice.direction == kDirectionBackward ? 0 - step : step;
            if (ramping) {
                // Where the ramp stands, taken from its frames left rather than from the gains
                // stored as bytes: a ramp cut by loop ends or tick boundaries then stays one
                // straight line and lands exactly on its target.
                float gainLeft = voice.rampTargetLeft / 255.0f -
                                 static_cast<float>(voice.rampFramesLeft) * voice.rampStepLeft;
                float gainRight = voice.rampTargetRight / 255.0f -
                                  static_cast<float>(voice.rampFramesLeft) * voice.rampStepRight;
                position = kernels.ramp(out, sample.data, position, delta, chunk, gainLeft,
                                        gainRight, voice.rampStepLeft, voice.rampStepRight);
                voice.currentLeft = GainToByte(gainLeft);
                voice.currentRight = GainToByte(gainRight);
                voice.rampFramesLeft -= chunk;
            } else {
                position = kernels.steady(out, sample.data, position, delta, chunk,
                                          voice.leftVolume / 255.0f, voice.rightVolume / 255.0f);
            }
            out += 2 * chunk;
            frames -= chunk;
        }

        // Moving backward only ever lowers the position, so a rise means the last step went
        // below 0 and wrapped.
        WidePosition exact = position;
        if (voice.direction == kDirectionBackward && position > chunkStart) {
            exact -= static_cast<WidePosition>(1) << 64;
        }
        const bool reached = voice.direction == kDirectionBackward
                                 ? exact <= static_cast<WidePosition>(loopStart)
                                 : position >= loopEnd;
        if (reached) {
            position = HandleBoundary(voice, exact);
            if (!voice.sample) break;
        }
    }
    StorePosition(voice, position);
}

}  // namespace

void MixVoices(float* out, ListNode* listHead, int32_t frames) {
    if (frames < 1 || !out || !listHead) return;
    const MixKernels& kernels = ActiveMixKernels();
    for (ListNode* node = listHead->next; node != listHead; node = node->next) {
        Voice& voice = *static_cast<Voice*>(node);
        if (voice.sample) MixVoice(kernels, voice, out, frames);
    }
}

void ConvertToPcm16(int16_t* destination, const float* source, int32_t frames) {
    if (frames <= 0 || !destination || !source) return;
    ActiveMixKernels().toPcm16(destination, source, frames);
}
