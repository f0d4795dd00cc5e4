// The files the tools write, on a scratch folder: what a name holds before, during and after a
// write that is committed, discarded or fails; links, devices and folders; the temporaries left
// by nothing, not even a signal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/output_file.h"

namespace {

namespace fs = std::filesystem;

class OutputFileTest : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("output_file_test-" + std::to_string(getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string P(const std::string& name) const { return (dir / name).string(); }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    // Names in the folder that look like temporaries.
    std::vector<std::string> Partials() const {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            const std::string name = e.path().filename().string();
            if (name.rfind(".partial-", 0) == 0) names.push_back(name);
        }
        return names;
    }

    fs::path dir;
};

// What the name holds while the file is open, and once it is committed or discarded.
TEST_F(OutputFileTest, ANameKeepsWhatItHeldUntilTheCommit) {
    struct Case {
        const char* name;
        const char* before;  // null: the name is not taken
        bool commit;
        const char* after;   // null: the name is not taken
    };
    const Case cases[] = {
        {"new-committed", nullptr, true, "written"},
        {"new-discarded", nullptr, false, nullptr},
        {"old-committed", "an older and longer text", true, "written"},
        {"old-discarded", "an older and longer text", false, "an older and longer text"},
    };
    for (const Case& c : cases) {
        if (c.before) Write(P(c.name), c.before);
        OutputFile out;
        ASSERT_TRUE(OpenOutputFile(&out, P(c.name), OutputMode::Replace)) << c.name << ": " << std::strerror(errno);
        EXPECT_EQ(fs::path(out.temporary).parent_path(), dir) << "beside its target";
        EXPECT_EQ(Partials().size(), 1u) << c.name;
        std::fputs("written", out.file);
        std::fflush(out.file);
        EXPECT_EQ(fs::exists(P(c.name)), c.before != nullptr) << c.name;
        if (c.before) {
            EXPECT_EQ(Read(P(c.name)), c.before) << c.name;
        }
        if (c.commit) {
            EXPECT_TRUE(CommitOutputFile(&out)) << c.name;
        } else {
            DiscardOutputFile(&out);
        }
        EXPECT_EQ(fs::exists(P(c.name)), c.after != nullptr) << c.name;
        if (c.after) {
            EXPECT_EQ(Read(P(c.name)), c.after) << c.name;
        }
        EXPECT_TRUE(Partials().empty()) << c.name << " left " << Partials().front();
    }
    // A new file gets the mode any new file would, not the temporary's owner-only one.
    const mode_t mask = umask(022);
    OutputFile out;
    ASSERT_TRUE(OpenOutputFile(&out, P("mode"), OutputMode::Replace));
    ASSERT_TRUE(CommitOutputFile(&out));
    umask(mask);
    EXPECT_EQ(fs::status(P("mode")).permissions(), fs::perms(0644));
}

// A link is followed and its file replaced; a device is written in place; what cannot be
// written fails with its reason and leaves nothing.
TEST_F(OutputFileTest, LinksDevicesAndRefusals) {
    fs::create_directories(dir / "real");
    Write(dir / "real" / "file", "old");
    fs::create_symlink("real/file", dir / "link");
    OutputFile out;
    ASSERT_TRUE(OpenOutputFile(&out, P("link"), OutputMode::Replace));
    EXPECT_EQ(fs::path(out.temporary).parent_path(), dir / "real") << "beside the link's file";
    std::fputs("new", out.file);
    ASSERT_TRUE(CommitOutputFile(&out));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(Read(dir / "real" / "file"), "new");

    ASSERT_TRUE(OpenOutputFile(&out, "/dev/null", OutputMode::Replace));
    EXPECT_TRUE(out.temporary.empty()) << "a device is never replaced";
    EXPECT_TRUE(CommitOutputFile(&out));

    fs::create_symlink("loop-b", dir / "loop-a");
    fs::create_symlink("loop-a", dir / "loop-b");
    struct Case {
        std::string path;
        int error;
    };
    const Case refusals[] = {
        {P("no/such/folder/file"), ENOENT},
        {dir.string(), EISDIR},
        {P("loop-a"), ELOOP},
    };
    for (const Case& c : refusals) {
        errno = 0;
        EXPECT_FALSE(OpenOutputFile(&out, c.path, OutputMode::Replace)) << c.path;
        EXPECT_EQ(errno, c.error) << c.path << ": " << std::strerror(errno);
    }
    // A write that fails shows at the close, which removes what it wrote.
    ASSERT_TRUE(OpenOutputFile(&out, "/dev/full", OutputMode::Replace));
    std::fputs("more than fits", out.file);
    errno = 0;
    EXPECT_FALSE(CommitOutputFile(&out));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_TRUE(Partials().empty());

    // Eight outputs open at once, and a ninth is refused until one is done.
    std::vector<OutputFile> open(9);
    for (int k = 0; k < 8; ++k) ASSERT_TRUE(OpenOutputFile(&open[k], P("many" + std::to_string(k)), OutputMode::Replace));
    EXPECT_FALSE(OpenOutputFile(&open[8], P("many8"), OutputMode::Replace));
    EXPECT_EQ(errno, EMFILE);
    DiscardOutputFile(&open[0]);
    EXPECT_TRUE(OpenOutputFile(&open[8], P("many8"), OutputMode::Replace));
    for (int k = 1; k < 9; ++k) DiscardOutputFile(&open[k]);
    EXPECT_TRUE(Partials().empty());
}

TEST_F(OutputFileTest, SameOutputFileByIdentityOrByNameYetToBeMade) {
    Write(P("a"), "x");
    fs::create_hard_link(P("a"), P("hard"));
    fs::create_symlink("a", dir / "soft");
    fs::create_symlink("later", dir / "to-later");
    fs::create_directories(dir / "sub");
    struct Case {
        std::string a, b;
        bool same;
    };
    const Case cases[] = {
        {P("a"), P("a"), true},
        {P("a"), P("hard"), true},
        {P("a"), P("soft"), true},
        {P("a"), P("sub/../a"), true},
        {P("later"), P("to-later"), true},  // a link to a name not yet taken
        {P("later"), P("sub/../later"), true},
        {P("a"), P("later"), false},
        {P("later"), P("other"), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SameOutputFile(c.a, c.b), c.same) << c.a << " and " << c.b;
        EXPECT_EQ(SameOutputFile(c.b, c.a), c.same) << c.b << " and " << c.a;
    }
}

// Ended by a signal, a tool leaves no temporary and dies of that signal, as its parent expects.
TEST_F(OutputFileTest, ASignalRemovesEveryTemporaryAndEndsTheProcessByIt) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RemoveTemporariesOnSignals();
            OutputFile a, b;
            if (!OpenOutputFile(&a, P("a"), OutputMode::Replace) || !OpenOutputFile(&b, P("b"), OutputMode::Replace)) _exit(3);
            raise(signal);
            _exit(4);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
            << "signal " << signal << ", status " << status;
        EXPECT_TRUE(Partials().empty()) << "signal " << signal << " left " << Partials().front();
    }
}

}  // namespace
