// Loads arbitrary bytes and, when the loader accepts them, plays the song for a while through the
// replay and the mixer: whatever the pattern data, the effects and envelopes must stay defined
// and every voice must read inside its sample.
#include <cstddef>
#include <cstdint>

#include "platform/virtual_audio_device.h"
#include "replay/song_control.h"
#include "sound/audio_output.h"
#include "sound/memory_files.h"

namespace {

constexpr int kBlocks = 40;  // 0.8 s of song at 44100 Hz, a few dozen rows at most speeds

bool OpenOnce() {
    UseMemoryFileHooks();
    SetBufferLength(20);
    return OpenAudioOutput(44100);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool open = OpenOnce();
    if (!open) return 0;
    AddMemoryFileView("fuzz.xm", data, size);
    Song* song = CreateSong("fuzz.xm", nullptr);
    if (song) {
        StartSong(song);
        for (int block = 0; block < kBlocks; ++block) AdvanceVirtualAudio(OutputBlockFrames());
        FreeSong(song);
    }
    RemoveMemoryFiles();
    return 0;
}
