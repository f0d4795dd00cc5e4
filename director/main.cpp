// The demo. The show itself takes no command line; --help and --version answer without taking the
// screen, and anything else is refused before a window opens.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "director/entry.h"
#include "project_version.h"
#include "sound/audio_output.h"

namespace {

constexpr int kExitUsage = 2;
constexpr char kHelp[] =
    "usage: novaline\n"
    "       novaline --help | --version\n"
    "\n"
    "Runs the show full screen with its sound; it takes no other command line.\n"
    "  Escape        end the current scene; held down, end the show\n"
    "  Alt+Enter     switch between full screen and a window\n"
    "  --help        print this text\n"
    "  --version     print the version\n";

// The show itself says nothing; sound that did not reach the loudspeaker as mixed is worth a line,
// so that a gap heard is never taken for the song.
void ReportMissedSound() {
    const MissedSound missed = OutputMissedSound();
    if (missed.lateBlocks == 0 && missed.deviceDrySpells == 0) return;
    std::fprintf(stderr,
                 "novaline: the sound missed blocks: %" PRIu64
                 " mixed too late, %u gaps where the sound device ran dry (%.1f ms of silence, "
                 "the song going on late)\n",
                 missed.lateBlocks, missed.deviceDrySpells,
                 missed.rateHz > 0
                     ? static_cast<double>(missed.deviceDryFrames) * 1000.0 / missed.rateHz
                     : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) {
        const int status = RunDemo();
        ReportMissedSound();
        return status;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return PrintVersion("novaline");
    std::fprintf(stderr,
                 "novaline: the show takes no command line (only --help or --version), not '%s'\n",
                 argv[1]);
    return kExitUsage;
}
