// novaline-play: plays XM modules live through the engine's audio output, one after the other,
// with one status line and a few keys. Exit status 0 when the last song has ended or the user
// quit, 1 when a module cannot be read or loaded or no audio device opens, 2 for a bad command
// line.
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "project_version.h"
#include "replay/song_control.h"
#include "sound/audio_output.h"
#include "sound/memory_files.h"
#include "tools/command_line.h"
#include "tools/play/player_session.h"
#include "tools/play/raw_terminal.h"
#include "tools/play/status_line.h"
#include "tools/terminal_width.h"
#include "tools/xm_file_reader.h"

namespace {

constexpr char kTool[] = "novaline-play";
constexpr int kExitFailure = 1;
constexpr int32_t kRateHz = 44100;
// The demo's ring: SetBufferLength(100) makes a ring of 200 ms (twice the length it is given),
// 200 ms between a key and its sound, slack enough for a busy machine.
constexpr int32_t kBufferLengthMs = 100;
constexpr int kKeyWaitMs = 20;
constexpr int kStatusEveryMs = 100;
constexpr size_t kStatusBytes = 512;
constexpr char kUsage[] =
    "usage: novaline-play [--loop] INPUT.xm...\n"
    "       novaline-play --help | --version\n"
    "\n"
    "Plays each INPUT.xm on the sound card in turn, once (up to where it would repeat, at most\n"
    "20 minutes) or, with --loop, until you move on.\n"
    "  --loop        play each module until you move on or quit\n"
    "  --help        print this text\n"
    "  --version     print the version\n"
    "Keys:\n"
    "  space         pause and go on\n"
    "  left, right   one order back, one order on\n"
    "  n, p          the next module, the one before\n"
    "  +, -          volume up, down by 3 dB\n"
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
    bool version = false;
    bool loop = false;
    std::vector<std::string> inputs;
};

enum LongOption { kOptionLoop = 256, kOptionVersion };

constexpr option kLongOptions[] = {
    {"loop", no_argument, nullptr, kOptionLoop},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kOptionVersion},
    {nullptr, 0, nullptr, 0},
};

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    opterr = 0;  // its messages would name the program by its path, not as ours do
    for (int c; (c = getopt_long(argc, argv, ":h", kLongOptions, nullptr)) != -1;) {
        if (OptionFault(c, kLongOptions, argv, error)) return false;
        if (c == 'h') options->help = true;
        if (c == kOptionVersion) options->version = true;
        if (c == kOptionLoop) options->loop = true;
    }
    if (options->help || options->version) return true;
    return TakeOperands(argc, argv, optind, 1, -1, "input file", &options->inputs, error);
}

// What ends the play of one module.
enum class Ending : uint8_t { Played, Next, Previous, Quit };

struct Screen {
    bool status = false;  // stderr is a terminal
    int32_t columns = kDefaultColumns;
};

void DrawStatus(Screen* screen, const PlayerSession& session, const std::string& title,
                size_t file, size_t files) {
    if (TerminalWidthChanged()) screen->columns = TerminalColumns(STDERR_FILENO);
    char line[kStatusBytes];
    FormatStatusLine(ReadPlayerStatus(&session), title.c_str(), static_cast<int32_t>(file + 1),
                     static_cast<int32_t>(files), screen->columns, line, sizeof line);
    // Back to the line's start, and the rest of a longer earlier line cleared.
    std::fprintf(stderr, "\r%s\x1b[K", line);
    std::fflush(stderr);
}

// Until the song has ended and been heard, the user moves to another module or quits, or a
// signal quits.
Ending Play(Screen* screen, PlayerSession* session, const std::string& title, size_t file,
            size_t files) {
    int sinceStatusMs = kStatusEveryMs;
    Ending ending = Ending::Played;
    while (!quitSignal) {
        const PlayerKey key = ReadTerminalKey(kKeyWaitMs);
        if (key == PlayerKey::Next || (key == PlayerKey::Previous)) {
            ending = key == PlayerKey::Next ? Ending::Next : Ending::Previous;
            break;
        }
        if (ApplyPlayerKey(session, key)) {
            ending = Ending::Quit;
            break;
        }
        if (!UpdatePlayer(session)) break;
        // Counted in waits: a key or a resize cuts a wait short, which only redraws sooner.
        sinceStatusMs += kKeyWaitMs;
        if (screen->status && sinceStatusMs >= kStatusEveryMs) {
            DrawStatus(screen, *session, title, file, files);
            sinceStatusMs = 0;
        }
    }
    if (quitSignal) ending = Ending::Quit;
    if (screen->status) {
        DrawStatus(screen, *session, title, file, files);
        std::fputc('\n', stderr);
    }
    return ending;
}

// Loads, measures and plays one module; false when it cannot be loaded or started.
bool PlayFile(const Options& options, size_t index, Screen* screen, PlayerSession* session,
              Ending* ending) {
    const std::string& path = options.inputs[index];
    std::string error;
    XmFileSummary summary;
    Song* song = LoadXmFile(path, &error, &summary);
    if (!song) {
        std::fprintf(stderr, "%s: %s\n", kTool, error.c_str());
        return false;
    }
    if (!summary.warning.empty()) std::fprintf(stderr, "%s: %s\n", kTool, summary.warning.c_str());
    // Its length from a copy loaded from the same bytes: the play leaves no trace on the song
    // heard.
    Song* copy = CreateSong(path.c_str(), nullptr);
    session->totalFrames = copy ? MeasureSongOnce(copy) : 0;
    FreeSong(copy);
    const bool started = StartPlayer(session, song, options.loop);
    if (started) {
        const std::string title = summary.title.empty() ? path : summary.title;
        *ending = Play(screen, session, title, index, options.inputs.size());
        StopPlayer(session);
    } else {
        std::fprintf(stderr, "%s: %s does not start\n", kTool, path.c_str());
    }
    FreeSong(song);
    RemoveMemoryFiles();
    return started;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) return ReportUsageError(kTool, error);
    if (options.help) return PrintToStandardOutput(kTool, kUsage);
    if (options.version) return PrintVersion(kTool);

    // The output opens only with a complete set of file hooks: the modules come from memory.
    UseMemoryFileHooks();
    SetBufferLength(kBufferLengthMs);
    if (!OpenAudioOutput(kRateHz)) {
        std::fprintf(stderr, "%s: no audio device opens for 16-bit stereo at %d Hz\n", kTool,
                     kRateHz);
        return kExitFailure;
    }
    Screen screen;
    screen.status = isatty(STDERR_FILENO);
    screen.columns = TerminalColumns(STDERR_FILENO);
    CatchQuitSignals();
    WatchTerminalWidth();
    EnterRawTerminal();
    int status = 0;
    PlayerSession session;
    // It ends after the last module; `p` on the first starts it again.
    for (size_t index = 0; index < options.inputs.size();) {
        Ending ending = Ending::Played;
        if (!PlayFile(options, index, &screen, &session, &ending)) status = kExitFailure;
        if (ending == Ending::Quit) break;
        index = ending == Ending::Previous ? (index == 0 ? 0 : index - 1) : index + 1;
    }
    RestoreTerminal();
    CloseAudioOutput();
    return status;
}
