#include "replay/voice_update.h"

#include <cstdlib>

#include "replay/channel.h"
#include "replay/pitch.h"
#include "sound/module.h"
#include "sound/voice.h"

namespace {
// 255 / 2^35: full settings (64 x 64 x 65536 x 64) give 127.5, truncated to 127.
constexpr int kFinalVolumeShift = 35;
}  // namespace

int32_t FinalVolume(const Channel* ch, const Song* song) {
    // Exact in 64 bits; truncated toward zero.
    const int64_t product = static_cast<int64_t>(ch->volume + ch->volumeOffset) * ch->volEnvOutput *
                            ch->fadeoutVolumeQ16 * song->globalVolume * 255;
    return static_cast<int32_t>(product / (int64_t{1} << kFinalVolumeShift));
}

int32_t FinalPanning(const Channel* ch) {
    // The division comes first and truncates: the envelope's reach is 0..4 steps of its offset.
    const int32_t reach = (128 - std::abs(ch->panning - 128)) / 32;
    return reach * (ch->panEnvOutput - 32) + ch->panning;
}

void UpdateVoice(Channel* ch, const Sample* sample, const Song* song) {
    const int64_t periodWithOffset = static_cast<int64_t>(ch->period) + ch->pitchOffset;
    if (periodWithOffset == 0) ch->updateFlags &= static_cast<uint8_t>(~kUpdateFrequency);
    if (ch->updateFlags & kUpdateTrigger) {
        ch->bound = BindVoiceSample(ch->voiceIndex, sample) >= 0;
    }
    // An unbound Channel sends nothing: its Voice keeps what it was playing.
    const int32_t voice = ch->bound ? ch->voiceIndex : -1;
    if (ch->updateFlags & kUpdateVolume) SetVoiceVolume(voice, FinalVolume(ch, song));
    if (ch->updateFlags & kUpdatePanning) SetVoicePanning(voice, FinalPanning(ch));
    if (ch->updateFlags & kUpdateFrequency) {
        SetVoiceFrequency(voice, FrequencyForPeriod(song, ch->period, ch->pitchOffset));
    }
    if (ch->updateFlags & kUpdateStop) {
        StopVoice(voice);
        // A sample offset waiting for the next trigger belongs to the note that was stopped.
        SetVoiceStartOffset(ch->voiceIndex, 0);
    }
}
