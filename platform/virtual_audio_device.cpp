#include "platform/virtual_audio_device.h"

#include <atomic>

#include "platform/audio_device.h"

namespace {

// The clock may be moved from a thread other than the one opening and closing the output, so its
// state is atomic; no lock is held while the mixing callback runs, which takes the mix lock itself.
std::atomic<const int16_t*> ring{nullptr};
std::atomic<uint32_t> ringBytes{0};
std::atomic<int32_t> rateHz{0};
std::atomic<uint64_t> playedBytes{0};
std::atomic<MixDueBlocksFunction> mixDueBlocks{nullptr};


}  // namespace

bool AudioDeviceOpen(int32_t rate, const int16_t* pcmRing, uint32_t pcmRingBytes) {
    playedBytes = 0;
    rateHz = rate;
    ringBytes = pcmRingBytes;
    ring = pcmRing;
    return true;
}

uint64_t AudioDevicePlayedBytes() { return playedBytes.load(); }
// Its clock is the loudspeaker: what it counts as played has been heard.
uint32_t AudioDeviceHeldBytes() { return 0; }
AudioDeviceGaps AudioDeviceDrySpells() { return {0, 0}; }

void AudioDeviceClose() {
    mixDueBlocks = nullptr;
    ring = nullptr;
    ringBytes = 0;
    rateHz = 0;
    playedBytes = 0;
}

bool AudioDeviceDrivesMixing(MixDueBlocksFunction mixDue) {
    mixDueBlocks = mixDue;
    return true;
}

void AdvanceVirtualAudio(uint32_t frames) {
    if (!ring.load()) return;
    playedBytes += static_cast<uint64_t>(frames) * kBytesPerStereoFrame;
    if (MixDueBlocksFunction mix = mixDueBlocks.load()) mix();
}

const int16_t* VirtualAudioRing() { return ring.load(); }
uint32_t VirtualAudioRingBytes() { return ringBytes.load(); }
int32_t VirtualAudioRateHz() { return rateHz.load(); }
