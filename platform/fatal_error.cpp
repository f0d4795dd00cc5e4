#include <cstdio>
#include <cstdlib>

#include "platform/display.h"

void FatalError(const char* text, const char* detail) {
    ShowMessage(text);
    std::fprintf(stderr, "%s\n", text);
    if (detail) std::fprintf(stderr, "%s\n", detail);
    std::fflush(nullptr);
    // _Exit: no static destructors while the mixing thread and the audio device still run.
    std::_Exit(1);
}
