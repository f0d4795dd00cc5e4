#include <cinttypes>
#include <cstdio>

#include "director/entry.h"
#include "sound/audio_output.h"

int main() {
    const int status = RunDemo();
    // The show itself says nothing; sound that did not reach the loudspeaker as mixed is worth a
    // line, so that a gap heard is never taken for the song.
    const MissedSound missed = OutputMissedSound();
    if (missed.lateBlocks > 0 || missed.deviceDrySpells > 0) {
        std::fprintf(stderr,
                     "novaline: the sound missed blocks: %" PRIu64
                     " mixed too late, %u gaps where the sound device ran dry (%.1f ms of "
                     "silence, the song going on late)\n",
                     missed.lateBlocks, missed.deviceDrySpells,
                     missed.rateHz > 0
                         ? static_cast<double>(missed.deviceDryFrames) * 1000.0 / missed.rateHz
                         : 0.0);
    }
    return status;
}
