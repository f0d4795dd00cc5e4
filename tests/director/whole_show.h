// The whole show, run once per test program as the capture runs it by default (70 fps, Escape
// held once scene 8 has run 10 seconds), with every recorder that asked for it watching. Each
// whole-show test reads what its recorder kept; the show is not run again per test.
#pragma once

#include <cstdint>

#include "platform/headless.h"

struct WholeShowRecorder {
    FrameSink frame = nullptr;
    PlayedAudioSink sound = nullptr;
    PlatformCallHook call = nullptr;
};

// Called before main (from a static initialiser), so every recorder sees the one run.
bool AddWholeShowRecorder(const WholeShowRecorder& recorder);

// Runs the show the first time it is called; RunDemo's exit status, every time.
int RunWholeShowOnce();

// The frame from whose poll on Escape was held: the show's last frame.
uint64_t WholeShowEndFrame();
