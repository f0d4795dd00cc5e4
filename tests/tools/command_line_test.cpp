// The three tools' command lines side by side: the same faults in the same words, one line and a
// pointer to --help for each, and --help and --version on standard output.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "project_version.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Outcome RunTool(const std::string& program, const std::string& args) {
    // Named by the process: ctest runs each test in a process of its own, side by side.
    const std::string stem = "command_line_test_" + std::to_string(getpid());
    const fs::path out = fs::temp_directory_path() / (stem + ".out");
    const fs::path err = fs::temp_directory_path() / (stem + ".err");
    const std::string command = "SDL_AUDIODRIVER=dummy timeout 20 " + program + " " + args +
                                " >" + out.string() + " 2>" + err.string() + " </dev/null";
    const int raw = std::system(command.c_str());
    Outcome run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
}

struct Tool {
    const char* name;
    const char* path;
};
const Tool kTools[] = {
    {"xmrender", XMRENDER_PATH},
    {"novaline-play", NOVALINE_PLAY_PATH},
    {"novaline-capture", CAPTURE_PATH},
};

TEST(CommandLine, SameFaultsGetTheSameWordsInOneLineWithAPointerToHelp) {
    struct Case {
        const char* tool;  // null: every tool
        std::string args;
        std::string message;
    };
    const Case cases[] = {
        {nullptr, "--bogus", "unknown option --bogus"},
        {nullptr, "-x", "unknown option -x"},
        {nullptr, "--help=yes", "--help takes no value"},
        {nullptr, "--version=2", "--version takes no value"},
        {"xmrender", "--seconds 1e9 a.xm", "--seconds 1e9 is too long (at most 86400 seconds)"},
        {"novaline-capture", "--seconds 1e9", "--seconds 1e9 is too long (at most 86400 seconds)"},
        {"xmrender", "--seconds 1.5s a.xm",
         "--seconds needs a number of seconds such as 90 or 1.5, not '1.5s'"},
        {"novaline-capture", "--escape-at 1.5s",
         "--escape-at needs a number of seconds such as 90 or 1.5, not '1.5s'"},
        {"novaline-capture", "--at 1,-2", "--at cannot be negative: '-2'"},
        {"xmrender", "--seconds -1 a.xm", "--seconds cannot be negative: '-1'"},
        {"xmrender", "--rate 8k a.xm", "--rate needs a whole number (8000 to 192000), not '8k'"},
        {"novaline-capture", "--fps 6x", "--fps needs a whole number (10 to 240), not '6x'"},
        {"xmrender", "--rate 200000 a.xm", "--rate 200000 is out of range (8000 to 192000)"},
        {"novaline-capture", "--scale 9", "--scale 9 is out of range (1 to 8)"},
        {"xmrender", "", "no input file"},
        {"novaline-play", "", "no input file"},
        {"novaline-capture", "--hash more", "unexpected operand 'more'"},
        {"novaline-play", "--loop=3 a.xm", "--loop takes no value"},
        {"xmrender", "-o", "-o needs a value"},
        {"novaline-capture", "--wav", "--wav needs a value"},
    };
    for (const Case& c : cases) {
        for (const Tool& tool : kTools) {
            if (c.tool && std::string(c.tool) != tool.name) continue;
            SCOPED_TRACE(std::string(tool.name) + " " + c.args);
            const Outcome run = RunTool(tool.path, c.args);
            EXPECT_EQ(run.status, 2);
            EXPECT_EQ(run.err, std::string(tool.name) + ": " + c.message + "\nTry '" + tool.name +
                                   " --help'.\n");
            EXPECT_EQ(run.out, "");
        }
    }
}

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
    for (const Tool& tool : kTools) {
        SCOPED_TRACE(tool.name);
        const Outcome version = RunTool(tool.path, "--version");
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, std::string(tool.name) + " (novaline) " + kProjectVersion + "\n");
        EXPECT_EQ(version.err, "");
        const Outcome help = RunTool(tool.path, "--help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("usage: ") + tool.name + " ", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("--version"), std::string::npos);
        EXPECT_EQ(help.err, "");
    }
}

}  // namespace
