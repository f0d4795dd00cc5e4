#include "director/entry.h"

#include "director/mesh_motion.h"
#include "director/module_file.h"
#include "director/song_clock.h"
#include "director/timeline.h"
#include "effects/additive_mesh.h"
#include "effects/colour_table.h"
#include "effects/projection.h"
#include "effects/wave_plane.h"
#include "platform/display.h"
#include "platform/keyboard.h"
#include "sound/audio_output.h"
#include "sound/file_hooks.h"
#include "sound/song_control.h"

namespace {
constexpr int32_t kAudioBufferMs = 100;
constexpr int32_t kOutputRateHz = 44100;
constexpr uint32_t kModeWidth = 320;
constexpr uint32_t kModeHeight = 200;
constexpr uint32_t kModeBitsPerPixel = 16;
}  // namespace

Song* OpenShowSound() {
    // The hooks come first: the output refuses to open without a complete set.
    SetFileHooks(ModuleOpen, ModuleClose, ModuleRead, ModuleSeek, ModuleTell);
    SetBufferLength(kAudioBufferMs);
    // Neither result is tested: without sound the show runs silent, and without a Song its clock
    // stays at 0, so every scene waits for Escape.
    OpenAudioOutput(kOutputRateHz);
    return CreateSong("quindolo.xm", nullptr);
}

int RunDemo() {
    song = OpenShowSound();

    // The effects' tables; the wave plane's map follows the frame buffer.
    BuildAngleTables();
    BuildMotionTables();
    InitTriangleTables();
    InitOverlayColours();

    OpenWindow();
    InitInput();
    // Ends the process with its message when the display cannot start; the sound, already
    // running, ends with it.
    InitDirectDraw();
    SetVideoMode(kModeWidth, kModeHeight, kModeBitsPerPixel);
    CreateFrameBuffer(kModeWidth, kModeHeight, kModeBitsPerPixel);
    InitWavePlane();

    StartSong(song);
    RunTimeline();

    FreeFrameBuffer();
    ReleaseDirectDraw();
    FreeSong(song);
    song = nullptr;
    CloseAudioOutput();
    RequestWindowClose();
    return 0;
}
