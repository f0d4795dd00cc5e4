#include "director/entry.h"

#include <cstdio>

#include "director/module_file.h"
#include "director/timeline.h"
#include "effects/additive_mesh.h"
#include "effects/colour_table.h"
#include "effects/flare_sprite.h"
#include "effects/projection.h"
#include "effects/wave_plane.h"
#include "platform/display.h"
#include "platform/keyboard.h"
#include "replay/song_control.h"
#include "show/mesh_motion.h"
#include "show/song_clock.h"
#include "sound/audio_output.h"
#include "sound/file_hooks.h"

namespace {
// Half the ring: SetBufferLength(100) makes a ring of 200 ms, ten blocks of 20 ms.
constexpr const char* kNoSoundDevice = "no sound device: the show runs silent\n";
constexpr int32_t kAudioBufferMs = 100;
constexpr uint32_t kModeWidth = kFrameWidth;
constexpr uint32_t kModeHeight = kFrameHeight;
constexpr uint32_t kModeBitsPerPixel = 16;
}  // namespace

Song* OpenShowSound() {
    // The hooks come first: the output refuses to open without a complete set.
    SetFileHooks(ModuleOpen, ModuleClose, ModuleRead, ModuleSeek, ModuleTell);
    SetBufferLength(kAudioBufferMs);
    // Without sound the show runs silent, saying so once; without a Song its clock stays at 0, so
    // every scene waits for Escape.
    if (!OpenAudioOutput(kShowOutputRateHz)) std::fputs(kNoSoundDevice, stderr);
    return CreateSong("quindolo.xm", nullptr);
}

int RunDemo() {
    showSong = OpenShowSound();

    // The effects' tables; the wave plane's map follows the frame buffer.
    BuildAngleTables();
    BuildMotionTables();
    InitTriangleTables();
    InitOverlayColours();
    PrepareFlare();

    OpenWindow();
    InitInput();
    // Ends the process with its message when the display cannot start; the sound, already
    // running, ends with it.
    InitDirectDraw();
    SetVideoMode(kModeWidth, kModeHeight, kModeBitsPerPixel);
    CreateFrameBuffer(kModeWidth, kModeHeight, kModeBitsPerPixel);
    InitWavePlane();

    StartSong(showSong);
    RunTimeline();

    FreeFrameBuffer();
    ReleaseDirectDraw();
    FreeSong(showSong);
    showSong = nullptr;
    CloseAudioOutput();
    RequestWindowClose();
    return 0;
}
