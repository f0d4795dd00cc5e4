// The novaline-play program end to end on SDL's dummy audio driver, which plays in real time
// without a sound card: a module written to a temporary folder, the built binary run on it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sound/xm_writer.h"
#include "tests/support/module_builders.h"

namespace {

namespace fs = std::filesystem;

// SDL's dummy driver unless DRIVER names another; SDL leaves allocations for the process exit to
// free.
constexpr char kEnvironment[] =
    "ASAN_OPTIONS=${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0 "
    "SDL_AUDIODRIVER=${DRIVER:-dummy} ";

struct PlayRun {
    int status;
    std::string err;
};

class NovalinePlay : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "novaline_play_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        module = dir / "short.xm";
        // Four rows at speed 3: a quarter of a second of a looped sine.
        const XmSampleDesc sine = Sample16(Sine(64, 12000), {kSampleTypeForward, 0, 64});
        const std::vector<uint8_t> bytes =
            WriteXm(MakeModule(1, 3, {0}, {MakePattern(4, 1, {{0, 0, Cell(kNoteC0 + 48, 1)}})},
                               {InstrumentWith({sine})}));
        std::ofstream(module, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    void TearDown() override { fs::remove_all(dir); }

    // `prefix` goes before the program on the shell's line, `args` after it unquoted.
    PlayRun Play(const std::string& args, const std::string& prefix = "") {
        const fs::path err = dir / "stderr.txt";
        const std::string command = prefix + kEnvironment + "timeout 20 " + NOVALINE_PLAY_PATH +
                                    " " + args + " 2>" + err.string();
        const int raw = std::system(command.c_str());
        std::ifstream in(err);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
                std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
    }

    fs::path dir;
    fs::path module;
};

TEST_F(NovalinePlay, PlaysToTheEndOrUntilQuitAndReportsFailuresInOneLine) {
    EXPECT_EQ(Play(module.string() + " </dev/null").status, 0);
    // Looped, it ends only on a key; without a terminal they come from standard input.
    const PlayRun quit = Play("--loop " + module.string(), "(sleep 1; printf q) | ");
    EXPECT_EQ(quit.status, 0) << quit.err;
    EXPECT_EQ(quit.err, "");
    // SIGTERM ends it the same way.
    const std::string term = kEnvironment + std::string(NOVALINE_PLAY_PATH) + " --loop " +
                             module.string() +
                             " </dev/null & p=$!; sleep 1; kill -TERM $p; wait $p";
    EXPECT_EQ(WEXITSTATUS(std::system(term.c_str())), 0);

    struct Case {
        std::string prefix;
        std::string args;
        int status;
    };
    const Case failures[] = {
        {"", (dir / "missing.xm").string(), 1},
        {"DRIVER=no_such_driver ", module.string(), 1},
        {"", "", 2},
        {"", "--volume 3 " + module.string(), 2},
        {"", "--loop=3 " + module.string(), 2},
    };
    for (const Case& c : failures) {
        const PlayRun run = Play(c.args + " </dev/null", c.prefix);
        EXPECT_EQ(run.status, c.status) << c.args;
        // One line; a bad command line adds the pointer to --help.
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), c.status) << run.err;
        EXPECT_EQ(run.err.rfind("novaline-play: ", 0), 0u) << run.err;
    }
}

// Several modules play one after the other: n and p move between them even when each loops, it
// ends after the last, and a module that cannot be read is one line and status 1 at the end.
TEST_F(NovalinePlay, PlaysAPlaylistMovingWithNAndP) {
    const std::string two = module.string() + " " + module.string();
    struct Case {
        std::string keys;
        std::string args;
        int status;
        int errorLines;
    };
    const Case cases[] = {
        {"", two + " </dev/null", 0, 0},
        {"(sleep 0.5; printf n; sleep 0.5; printf n) | ", "--loop " + two, 0, 0},
        {"(sleep 0.5; printf p; sleep 0.5; printf nn) | ", "--loop " + two, 0, 0},
        {"(sleep 0.5; printf nn) | ", "--loop " + (dir / "missing.xm").string() + " " + two, 1, 1},
    };
    for (const Case& c : cases) {
        const PlayRun run = Play(c.args, c.keys);
        EXPECT_EQ(run.status, c.status) << c.keys << c.args << "\n" << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), c.errorLines) << run.err;
    }
}

// On a terminal the player goes raw; whatever signal ends it, the terminal has its echo and its
// line editing back: the ones it quits on cleanly (exit 0) and every other (ended by the signal).
TEST_F(NovalinePlay, EverySignalThatEndsItPutsTheTerminalBack) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    const auto cooked = [terminal] {
        termios settings{};
        tcgetattr(terminal, &settings);
        return (settings.c_lflag & (ECHO | ICANON)) == (ECHO | ICANON);
    };
    ASSERT_TRUE(cooked());
    const std::string err = (dir / "stderr.txt").string();
    struct Case {
        int signal;
        bool quits;  // handled: a clean quit
    };
    const Case cases[] = {{SIGTERM, true}, {SIGINT, true},   {SIGQUIT, false},
                          {SIGPIPE, false}, {SIGUSR1, false}, {SIGALRM, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(strsignal(c.signal));
        const pid_t pid = fork();
        if (pid == 0) {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            dup2(terminal, STDIN_FILENO);
            const int messages = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(messages, STDERR_FILENO);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            execl(NOVALINE_PLAY_PATH, NOVALINE_PLAY_PATH, "--loop", module.c_str(), nullptr);
            _exit(127);
        }
        for (int ms = 0; cooked() && ms < 10000; ms += 10) usleep(10000);
        ASSERT_FALSE(cooked()) << "the player never took the terminal";
        usleep(100000);
        kill(pid, c.signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        if (c.quits) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        }
        EXPECT_TRUE(cooked()) << "the terminal is left raw";
        // Put back by hand for the next case, whatever this one left.
        termios settings{};
        tcgetattr(terminal, &settings);
        settings.c_lflag |= ECHO | ICANON;
        tcsetattr(terminal, TCSANOW, &settings);
    }
    close(terminal);
    close(master);
}

}  // namespace
