#include "sound/song_timing.h"

#include "sound/audio_output.h"

namespace {

constexpr int32_t kFallbackBpm = 125;

}  // namespace

void SetSongBpm(Song* song, int32_t bpm) {
    if (bpm < 1) bpm = kFallbackBpm;
    song->bpm = bpm;
    const int64_t rateHz = OutputRateHz();
    // The tick is 2.5 / bpm seconds, truncated to whole frames; never 0 frames while the output
    // runs, or the mixing loop would call the tick routine without ever advancing.
    const int64_t frames = 5 * rateHz / (2 * static_cast<int64_t>(bpm));
    song->samplesPerTick = static_cast<int32_t>(rateHz > 0 && frames < 1 ? 1 : frames);
}
