// The calls between the page's two copies of the program. The sound worklet (sound_worklet.js)
// runs its copy's sound only: it opens the output as the show does and starts the song at once,
// renders each quantum, and hands every mixed block's record to the page, whose copy never mixes
// and answers the song's heard position from those records.
#include <emscripten/emscripten.h>

#include "director/entry.h"
#include "platform/web_audio_device.h"
#include "sound/audio_output.h"
#include "replay/song_control.h"
#include "sound/heard_position.h"

namespace {

Song* workletSong = nullptr;
float workletFrames[2 * kWorkletMaxFrames];
MixedBlockRecord workletBlock;

}  // namespace

// The worklet's: the show's sound from its start. In the show, StartSong follows the output's
// opening in the same turn of the page's event loop, before the first frame yields, so starting
// the song with the output starts it in the same block as natively: the first one mixed.
extern "C" EMSCRIPTEN_KEEPALIVE void NovalineWorkletStart() {
    UseWorkletAudio();
    FreeSong(workletSong);
    workletSong = OpenShowSound();
    StartSong(workletSong);
}

extern "C" EMSCRIPTEN_KEEPALIVE void NovalineWorkletStop() {
    FreeSong(workletSong);
    workletSong = nullptr;
    CloseAudioOutput();
}

// The next `frames` frames, left then right; the pointer stays the same for every call.
extern "C" EMSCRIPTEN_KEEPALIVE const float* NovalineWorkletRender(uint32_t frames) {
    RenderWorkletAudio(workletFrames, frames);
    return workletFrames;
}

extern "C" EMSCRIPTEN_KEEPALIVE double NovalineWorkletBlocks() {
    return static_cast<double>(OutputBlocksRecorded());
}

// Block n of the record, laid out as MixedBlockRecord; null when it is not kept.
extern "C" EMSCRIPTEN_KEEPALIVE const MixedBlockRecord* NovalineWorkletBlock(double n) {
    return CopyMixedBlock(static_cast<uint64_t>(n), &workletBlock) ? &workletBlock : nullptr;
}

// The page's: one block as the worklet reported it.
extern "C" EMSCRIPTEN_KEEPALIVE void NovalineRecordBlock(double firstFrame, uint32_t peak,
                                                         uint32_t markCount, uint32_t mark0,
                                                         uint32_t mark1, uint32_t mark2,
                                                         uint32_t mark3, uint32_t mark4,
                                                         uint32_t mark5, uint32_t mark6,
                                                         uint32_t mark7) {
    MixedBlockRecord record{static_cast<uint64_t>(firstFrame), peak, markCount,
                            {mark0, mark1, mark2, mark3, mark4, mark5, mark6, mark7}};
    RecordMixedBlock(record);
}
