// The novaline-play program end to end on SDL's dummy audio driver, which plays in real time
// without a sound card: a module written to a temporary folder, the built binary run on it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
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

}  // namespace
