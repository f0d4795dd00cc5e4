// The demo. The show itself takes no command line; --help and --version answer without taking the
// screen, and anything else is refused before a window opens.
#include <cstdio>
#include <cstring>

#include "director/entry.h"
#include "project_version.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) return RunDemo();
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
