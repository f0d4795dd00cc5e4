// novaline-play: plays an XM module live through the engine's audio output, with one status line
// and a few keys. Exit status 0 when the song has ended or the user quit, 1 when the module cannot
// be read or loaded or no audio device opens, 2 for a bad command line.
#include <getopt.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "replay/song_control.h"
#include "sound/audio_output.h"
#include "tools/play/player_session.h"
#include "tools/play/raw_terminal.h"
#include "tools/play/status_line.h"
#include "tools/xm_file_reader.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int32_t kRateHz = 44100;
// The demo's ring: SetBufferLength(100) makes a ring of 200 ms (twice the length it is given),
// 200 ms between a key and its sound, slack enough for a busy machine.
constexpr int32_t kBufferLengthMs = 100;
constexpr int kKeyWaitMs = 20;
constexpr int kStatusEveryMs = 100;
constexpr size_t kStatusBytes = 160;
constexpr char kUsage[] =
    "usage: novaline-play [--loop] INPUT.xm\n"
    "       novaline-play --help\n"
    "\n"
    "Plays INPUT.xm on the sound card, once (up to the row where it would repeat, at most 20\n"
    "minutes) or, with --loop, until you quit.\n"
    "  space         pause and go on\n"
    "  left, right   one order back, one order on\n"
    "  q, Escape     quit (so do Ctrl+C and SIGTERM)\n";

volatile std::sig_atomic_t quitSignal = 0;

void OnQuitSignal(int) { quitSignal = 1; }

void CatchQuitSignals() {
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: the wait for a key ends at once and the loop sees the flag.
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

struct Options {
    bool help = false;
    bool loop = false;
    std::string input;
};

constexpr option kLongOptions[] = {
    {"loop", no_argument, nullptr, 'l'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    opterr = 0;  // its messages would name the program by its path, not as ours do
    for (int c; (c = getopt_long(argc, argv, "h", kLongOptions, nullptr)) != -1;) {
        switch (c) {
            case 'h':
                options->help = true;
                break;
            case 'l':
                options->loop = true;
                break;
            default:
                *error = "unknown option " + std::string(argv[optind - 1]);
                return false;
        }
    }
    if (options->help) return true;
    if (optind == argc) {
        *error = "no input file";
        return false;
    }
    if (optind + 1 < argc) {
        *error = "one input file only, not also " + std::string(argv[optind + 1]);
        return false;
    }
    options->input = argv[optind];
    return true;
}

void DrawStatus(const PlayerSession& session) {
    char line[kStatusBytes];
    FormatStatusLine(ReadPlayerStatus(&session), line, sizeof line);
    // Back to the line's start, and the rest of a longer earlier line cleared.
    std::fprintf(stderr, "\r%s\x1b[K", line);
    std::fflush(stderr);
}

// Until the song has ended and been heard, or the user or a signal quits.
void Play(PlayerSession* session) {
    const bool showStatus = isatty(STDERR_FILENO);
    int sinceStatusMs = kStatusEveryMs;
    bool quit = false;
    while (!quit && !quitSignal) {
        quit = ApplyPlayerKey(session, ReadTerminalKey(kKeyWaitMs));
        if (!UpdatePlayer(session)) break;
        // Counted in waits: a key cuts a wait short, which only redraws the line sooner.
        sinceStatusMs += kKeyWaitMs;
        if (showStatus && sinceStatusMs >= kStatusEveryMs) {
            DrawStatus(*session);
            sinceStatusMs = 0;
        }
    }
    if (showStatus) {
        DrawStatus(*session);
        std::fputc('\n', stderr);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "novaline-play: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::string loadError;
    Song* song = LoadXmFile(options.input, &loadError);
    if (!song) {
        std::fprintf(stderr, "novaline-play: %s\n", loadError.c_str());
        return kExitFailure;
    }
    SetBufferLength(kBufferLengthMs);
    if (!OpenAudioOutput(kRateHz)) {
        std::fprintf(stderr, "novaline-play: no audio device opens for 16-bit stereo at %d Hz\n",
                     kRateHz);
        FreeSong(song);
        return kExitFailure;
    }
    PlayerSession session;
    if (!StartPlayer(&session, song, options.loop)) {
        std::fprintf(stderr, "novaline-play: %s does not start\n", options.input.c_str());
        FreeSong(song);
        CloseAudioOutput();
        return kExitFailure;
    }
    CatchQuitSignals();
    EnterRawTerminal();
    Play(&session);
    RestoreTerminal();
    StopPlayer(&session);
    FreeSong(song);
    CloseAudioOutput();
    return 0;
}
