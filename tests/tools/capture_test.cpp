// The capture tool: its SHA-256 against the standard's vectors, and the built program run end to
// end on a few seconds of show, its files and exit status read back. Nothing here depends on what
// the scenes draw.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/capture/progress.h"
#include "tools/capture/sha256.h"

namespace {

namespace fs = std::filesystem;

std::string Digest(Sha256Engine engine, const std::string& text, size_t repeat, size_t chunk) {
    Sha256 sha;
    StartSha256(&sha, engine);
    std::string all;
    for (size_t i = 0; i < repeat; ++i) all += text;
    for (size_t at = 0; at < all.size(); at += chunk) {
        UpdateSha256(&sha, all.data() + at, std::min(chunk, all.size() - at));
    }
    return FinishSha256(&sha);
}

TEST(CaptureSha256, GivesTheStandardsDigestsOnEveryEngineAndChunking) {
    struct Case {
        std::string text;
        size_t repeat;
        const char* digest;
    };
    const Case cases[] = {
        {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"a", 1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (Sha256Engine engine : {Sha256Engine::Portable, Sha256Engine::ShaExtensions}) {
        if (!Sha256EngineAvailable(engine)) continue;
        for (const Case& c : cases) {
            for (size_t chunk : {size_t{1}, size_t{63}, size_t{1} << 20}) {
                EXPECT_EQ(Digest(engine, c.text, c.repeat, chunk), c.digest)
                    << c.text.substr(0, 8) << " in chunks of " << chunk;
            }
        }
    }
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A PNG's width and height, from its header.
std::pair<uint32_t, uint32_t> PngSize(const fs::path& path) {
    const std::string b = ReadText(path);
    if (b.size() < 24 || b.compare(1, 3, "PNG") != 0) return {0, 0};
    const auto u32 = [&b](size_t at) {
        return static_cast<uint32_t>(
            static_cast<uint8_t>(b[at]) << 24 | static_cast<uint8_t>(b[at + 1]) << 16 |
            static_cast<uint8_t>(b[at + 2]) << 8 | static_cast<uint8_t>(b[at + 3]));
    };
    return {u32(16), u32(20)};
}

// Whether rows 0, 1, 198 and 199 of a 320 x 200 PNG frame are black, as the display shows them.
bool HiddenRowsBlack(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (image.width != 320 || image.height != 200 ||
        !png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    for (const int32_t row : {0, 1, 198, 199}) {
        const auto* first = rgb.data() + row * 320 * 3;
        if (std::any_of(first, first + 320 * 3, [](uint8_t v) { return v != 0; })) return false;
    }
    return true;
}

// Rows of the contact sheet: a 4-pixel margin, then 200 + 22 pixels a row.
uint32_t SheetRows(const fs::path& path) { return (PngSize(path).second - 4) / 222; }

// The bar's line is shorter than the terminal: the frame count goes first, the time left last, and
// the bar takes what room is over, 10 to 30 cells.
TEST(CaptureProgress, FitsTheTerminalLeavingOutTheLeastUsefulFirst) {
    const std::pair<int32_t, const char*> cases[] = {
        {120, "[###############...............]  5000 frames  scene 3  71.43 s  2.5x  0:32 left"},
        {80, "[##############...............]  5000 frames  scene 3  71.43 s  2.5x  0:32 left"},
        {70, "[#########..........]  5000 frames  scene 3  71.43 s  2.5x  0:32 left"},
        {45, "[######.......]  scene 3  71.43 s  0:32 left"},
        {25, "[#####......]  0:32 left"},
        {12, "0:32 left"},
    };
    for (const auto& [columns, expected] : cases) {
        const std::string line = FormatProgressLine(5000, 10000, 3, 71.43, 2.5, 32.4, columns);
        EXPECT_EQ(line, expected) << columns;
        EXPECT_LT(line.size(), static_cast<size_t>(columns));
    }
}

class Capture : public ::testing::Test {
   protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "capture_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Standard output goes to `out`, read back, unless another place is named.
    Outcome Run(const std::string& arguments, const std::string& environment = "",
                const std::string& out = "") {
        const std::string command = environment + " " + CAPTURE_PATH + " " + arguments + " >" +
                                    (out.empty() ? (dir / "out").string() : out) + " 2>" +
                                    (dir / "err").string();
        const int raw = std::system(command.c_str());
        Outcome run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(dir / "out"),
                    ReadText(dir / "err")};
        fs::remove(dir / "out");
        fs::remove(dir / "err");
        return run;
    }

    // What the folder holds but the files a test put there itself.
    std::vector<std::string> Left() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    std::string P(const char* name) const { return (dir / name).string(); }

    fs::path dir;
};

// The capture started as a shell starts a job: in a process group of its own, its messages in
// `err`, the signals it handles at their default action.
pid_t StartJob(std::vector<std::string> args, const fs::path& err) {
    args.insert(args.begin(), CAPTURE_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        const int null = open("/dev/null", O_RDWR);
        const int messages = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(null, 0);
        dup2(null, 1);
        dup2(messages, 2);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal, SIG_DFL);
        execv(argv[0], argv.data());
        _exit(127);
    }
    setpgid(pid, pid);
    return pid;
}

// The processes `pid` has started and not yet reaped.
std::vector<pid_t> Children(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                             "/children";
    std::istringstream in(ReadText(path));
    std::vector<pid_t> children;
    for (pid_t child; in >> child;) children.push_back(child);
    return children;
}

// 1.01 s at 70 fps: frames 0..70 (71), and floor(1.01 x 44100) = 44541 sound frames.
TEST_F(Capture, SameOptionsGiveTheSameBytesAndTheAskedLengths) {
    fs::create_directory(P("frames"));
    fs::create_directory(P("at"));
    const Outcome first = Run("--seconds 1.01 --hash --wav " + P("a.wav") + " --frames " +
                              P("frames") + " --every 10");
    ASSERT_EQ(first.status, 0) << first.err;
    // The contact sheet's survey of the scenes must not change what the capture records.
    const Outcome second = Run("--seconds 1.01 --hash --quiet --contact-sheet " + P("s.png"));
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(first.out.size(), 65u) << first.out;
    EXPECT_EQ(first.out, second.out);
    EXPECT_NE(first.err.find("71 frames at 70 fps"), std::string::npos) << first.err;
    // One summary line and nothing else when stderr is not a terminal.
    EXPECT_EQ(std::count(first.err.begin(), first.err.end(), '\n'), 1) << first.err;

    EXPECT_EQ(fs::file_size(P("a.wav")), 44u + 44541u * 4u);
    std::vector<std::string> frames;
    for (const auto& entry : fs::directory_iterator(P("frames"))) {
        frames.push_back(entry.path().filename().string());
        EXPECT_EQ(PngSize(entry.path()), (std::pair<uint32_t, uint32_t>{320, 200}));
        EXPECT_TRUE(HiddenRowsBlack(entry.path())) << entry.path();
    }
    std::sort(frames.begin(), frames.end());
    ASSERT_EQ(frames.size(), 8u);  // 0, 10, ..., 70
    EXPECT_EQ(frames.front(), "frame-000000.png");
    EXPECT_EQ(frames.back(), "frame-000070.png");

    // --at names the frame on screen at each time: floor(T x fps).
    ASSERT_EQ(Run("--seconds 1 --fps 50 --frames " + P("at") + " --at 0.5,0.99,0.011").status, 0);
    for (const char* name : {"frame-000000.png", "frame-000025.png", "frame-000049.png"}) {
        EXPECT_TRUE(fs::exists(dir / "at" / name)) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(P("at")), fs::directory_iterator()), 3);
}

// Escape pressed in scene 1 ends it: the white flash and scene 2 follow, each a row of the sheet.
TEST_F(Capture, EscapeAtEndsTheSceneAndTheSheetHasARowPerStretchReached) {
    const Outcome plain = Run("--seconds 1 --contact-sheet " + P("plain.png"));
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.err.find("last scene 1,"), std::string::npos) << plain.err;
    EXPECT_EQ(SheetRows(P("plain.png")), 1u);
    EXPECT_EQ(PngSize(P("plain.png")).first, 4u + 3u * 324u);

    const Outcome escaped = Run("--seconds 1 --escape-at 0.5 --contact-sheet " + P("esc.png"));
    ASSERT_EQ(escaped.status, 0) << escaped.err;
    EXPECT_NE(escaped.err.find("last scene 2,"), std::string::npos) << escaped.err;
    EXPECT_EQ(SheetRows(P("esc.png")), 3u);  // scene 1, the flash, scene 2
}

// A press ends one scene however long the capture runs on; a hold of half a second ends the show.
TEST_F(Capture, HoldEscapeAtEndsEveryRemainingSceneAndEscapeAtOnlyOne) {
    struct Case {
        const char* arguments;
        const char* lastScene;
    };
    const Case cases[] = {
        {"--hash --seconds 2 --escape-at 0.5", "last scene 2,"},
        {"--hash --seconds 2 --hold-escape-at 0.5", "last scene 8,"},
        {"--hash --seconds 2 --escape-at 0.2 --hold-escape-at 1", "last scene 8,"},
    };
    for (const Case& c : cases) {
        const Outcome run = Run(c.arguments);
        ASSERT_EQ(run.status, 0) << c.arguments << ": " << run.err;
        EXPECT_NE(run.err.find(c.lastScene), std::string::npos) << c.arguments << ": " << run.err;
    }
}

// The whole show at 10 fps, each frame's sound played in steps the mixer keeps up with. Row 0 of
// order 18 sounds 6285320 audio frames in (32 + 17 x 64 rows of 6 ticks of 934 frames, plus the
// 8840 of the first pass over the silent ring), so scene 8 begins on the frame after the first
// end test that hears it: 1426 x 4410 passes it. --end-after 0.5 then holds Escape on its 5th.
// The last frame, 1430, is on screen until 143.1 s: --at just before it is taken (143.1 itself is
// refused below).
TEST_F(Capture, EndAfterEndsScene8AndTheSheetHoldsEveryScene) {
    fs::create_directory(P("at"));
    const Outcome run = Run("--fps 10 --end-after 0.5 --contact-sheet " + P("sheet.png") +
                            " --frames " + P("at") + " --at 143.09");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("1431 frames at 10 fps"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::exists(dir / "at" / "frame-001430.png"));
    EXPECT_NE(run.err.find("last scene 8,"), std::string::npos) << run.err;
    EXPECT_EQ(SheetRows(P("sheet.png")), 10u);  // eight scenes, two flashes
}

TEST_F(Capture, RefusesWhatItCannotDoWithOneLineAndLeavesNothingBehind) {
    struct Case {
        std::string arguments;
        std::string environment;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"--bogus", "", 2, "unknown option --bogus"},
        {"--fps 5", "", 2, "--fps 5 is out of range (10 to 240)"},
        {"--seconds 1x", "", 2, "--seconds needs a number of seconds such as 90 or 1.5, not '1x'"},
        {"--seconds 1e9", "", 2, "--seconds 1e9 is too long (at most 86400 seconds)"},
        {"--hash extra", "", 2, "unexpected operand 'extra'"},
        {"--hash=yes", "", 2, "--hash takes no value"},
        {"--seconds 1 --frames " + P("missing"), "", 1, "missing: no such folder"},
        {"--seconds 1 --wav " + P("missing/a.wav"), "", 1, "No such file or directory"},
        {"--seconds 1 --end-after 2", "", 2, "cannot both be given"},
        {"--every 2", "", 2, "need --frames"},
        {"--video " + P("v.avi"), "", 2, ".mp4 or .mkv"},
        {"--wav " + P("same") + " --contact-sheet " + P("same"), "", 2, "the same file"},
        {"--digest " + P("same") + " --wav " + P("same"), "", 2, "the same file"},
        {"--hash --digest -", "", 2, "--hash prints on standard output"},
        {"--seconds 1 --digest " + P("no/such/d.txt"), "", 1, "cannot write"},
        {"--seconds 1 --wav " + P("no/such/a.wav"), "", 1, "cannot write"},
        {"--seconds 1 --contact-sheet " + dir.string(), "", 1, "cannot write"},
        {"--seconds 1 --wav /dev/full", "", 1, "cannot write /dev/full"},
        {"--seconds 1 --wav " + P("a.wav") + " --video " + P("v.mp4"), "PATH=/nonexistent", 1,
         "Debian package ffmpeg"},
        {"--seconds 1", "", 2, "nothing to write: name an output"},
        {"--seconds 1 --crf 20 --video " + P("v.mkv"), "", 2, "--crf sets the quality of an .mp4"},
        {"--seconds 1 --crf 52 --video " + P("v.mp4"), "", 2, "--crf 52 is out of range (0 to 51)"},
        // Times the capture would never reach, against --seconds or the show's own end.
        {"--seconds 1 --frames " + P("f") + " --at 0.5,1", "", 2, "--at 1 is beyond --seconds 1"},
        {"--seconds 1.5 --escape-at 1.5 --hash", "", 2, "--escape-at 1.5 is beyond --seconds 1.5"},
        {"--fps 10 --end-after 0.5 --frames " + P("f") + " --at 143.1", "", 2,
         "--at 143.1 is after the show's end: the show runs 143.100 s"},
        {"--fps 10 --end-after 0.5 --escape-at 143.09 --hash", "", 2,
         "--escape-at 143.09 is after the show's end: the show runs 143.100 s"},
    };
    for (const Case& c : cases) {
        const Outcome run = Run(c.arguments, c.environment);
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << "\n" << run.err;
        EXPECT_EQ(run.err.rfind("novaline-capture: ", 0), 0u) << run.err;
        // One line, and for a bad command line the pointer to --help.
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), c.status) << run.err;
        if (c.status == 2) {
            EXPECT_NE(run.err.find("\nTry 'novaline-capture --help'.\n"), std::string::npos);
        }
        EXPECT_TRUE(Left().empty()) << c.arguments << " left " << Left().front();
    }
    const Outcome full = Run("--seconds 0.1 --hash", "", "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("cannot write the hash on standard output: No space left on device"),
              std::string::npos)
        << full.err;
}

// Files already there stay unless -f is given; a folder for the frames must exist already.
TEST_F(Capture, KeepsExistingFilesUnlessForced) {
    std::ofstream(P("show.wav")) << "keep";
    fs::create_directory(P("frames"));
    std::ofstream(P("frames/frame-000000.png")) << "keep";
    for (const std::string& output : {"--wav " + P("show.wav"), "--frames " + P("frames")}) {
        const Outcome kept = Run("--seconds 0.1 " + output);
        EXPECT_EQ(kept.status, 1) << output;
        EXPECT_NE(kept.err.find("the file already exists (-f replaces it)"), std::string::npos)
            << kept.err;
    }
    EXPECT_EQ(ReadText(P("show.wav")), "keep");
    EXPECT_EQ(ReadText(P("frames/frame-000000.png")), "keep");
    const Outcome forced =
        Run("--seconds 0.1 -f --wav " + P("show.wav") + " --frames " + P("frames"));
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(fs::file_size(P("show.wav")), 44u + 4410u * 4u);
    EXPECT_EQ(PngSize(P("frames/frame-000000.png")), (std::pair<uint32_t, uint32_t>{320, 200}));
}

// The digest: one line per stretch reached, the frames in order without a gap, and each
// stretch's sound the very samples the WAV holds for it, in their order.
TEST_F(Capture, DigestHashesEachStretchsFramesAndTheSoundPlayedWithThem) {
    const Outcome run =
        Run("--escape-at 2 --seconds 6 --digest " + P("d.txt") + " --wav " + P("w.wav"));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string wav = ReadText(dir / "w.wav");
    std::istringstream lines(ReadText(dir / "d.txt"));
    std::vector<std::string> stretches;
    uint64_t nextFrame = 0;
    size_t soundAt = 44;  // after the WAV's header
    for (std::string line; std::getline(lines, line);) {
        if (line[0] == '#') continue;
        std::istringstream in(line);
        std::string kind, number, framesWord, range, pictureWord, picture, soundWord, sound;
        uint64_t soundFrames = 0;
        in >> kind >> number >> framesWord >> range >> pictureWord >> picture >> soundWord >>
            soundFrames >> sound;
        ASSERT_TRUE(in) << line;
        stretches.push_back(kind + " " + number);
        EXPECT_EQ(range.substr(0, range.find('+')), std::to_string(nextFrame)) << line;
        nextFrame += std::stoull(range.substr(range.find('+') + 1));
        EXPECT_EQ(picture.size(), 64u) << line;
        ASSERT_LE(soundAt + soundFrames * 4, wav.size()) << line;
        Sha256 sha;
        StartSha256(&sha);
        UpdateSha256(&sha, wav.data() + soundAt, soundFrames * 4);
        EXPECT_EQ(sound, FinishSha256(&sha)) << line;
        soundAt += soundFrames * 4;
    }
    EXPECT_EQ(stretches, (std::vector<std::string>{"scene 1", "flash 1", "scene 2"}));
    EXPECT_EQ(nextFrame, 420u);  // 6 s at 70 fps
    EXPECT_EQ(soundAt, wav.size());
}

// The picture in whole blocks of N x N pixels, marked to be shown 4:3, with the sound beside it.
TEST_F(Capture, WritesVideoThatFfprobeReads) {
    if (std::system("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    struct Case {
        const char* name;
        const char* options;
        const char* expected;
    };
    const Case cases[] = {
        {"v.mp4", "", "h264,1280,800,5:6|aac|"},
        {"v.mkv", "--native", "ffv1,320,200,5:6|flac|"},
        {"v51.mp4", "--crf 51", "h264,1280,800,5:6|aac|"},
    };
    uintmax_t defaultBytes = 0;
    for (const Case& c : cases) {
        const Outcome run =
            Run(std::string("--seconds 1 ") + c.options + " --video " + P(c.name));
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string probe =
            "ffprobe -v error -show_entries "
            "stream=codec_name,width,height,sample_aspect_ratio "
            "-of csv=p=0 " +
            P(c.name) + " | tr '\\n' '|' >" + P("probe");
        ASSERT_EQ(std::system(probe.c_str()), 0);
        std::string streams = ReadText(dir / "probe");
        // ffprobe puts empty fields of the sound stream at the end of its line.
        streams.erase(std::remove(streams.begin(), streams.end(), ','), streams.end());
        std::string expected = c.expected;
        expected.erase(std::remove(expected.begin(), expected.end(), ','), expected.end());
        EXPECT_EQ(streams, expected) << c.name;
        const std::string duration = "ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                     P(c.name) + " >" + P("probe");
        ASSERT_EQ(std::system(duration.c_str()), 0);
        EXPECT_NEAR(std::stod(ReadText(dir / "probe")), 1.0, 0.05) << c.name;
        // Every frame of the MP4 lasts 1/70 s exactly, none rounded to a millisecond.
        const std::string frames = "ffprobe -v error -select_streams v:0 -show_entries "
                                   "packet=duration -of csv=p=0 " +
                                   P(c.name) + " | sort -u | wc -l >" + P("probe");
        ASSERT_EQ(std::system(frames.c_str()), 0);
        if (fs::path(c.name).extension() == ".mp4") {
            EXPECT_EQ(ReadText(dir / "probe"), "1\n") << c.name;
        }
        fs::remove(dir / "probe");
        // The coarsest quality must be what it says: far smaller than the default.
        if (std::string(c.name) == "v.mp4") defaultBytes = fs::file_size(P(c.name));
        if (std::string(c.name) == "v51.mp4") {
            EXPECT_LT(fs::file_size(P(c.name)) * 4, defaultBytes);
        }
        fs::remove(dir / c.name);
        EXPECT_TRUE(Left().empty()) << Left().front();
    }
}

// A small tmpfs at `where` holding `keep` ("keep") and a filler that takes every byte left:
// mounted by the test when it runs as root (as CI does); false when it cannot be.
bool MountFullDisk(const fs::path& where) {
    fs::create_directory(where);
    if (geteuid() != 0 || mount("tmpfs", where.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0) {
        return false;
    }
    std::ofstream(where / "keep") << "keep";
    fs::create_directory(where / "frames");
    std::ofstream filler(where / "filler", std::ios::binary);
    const std::vector<char> block(4096, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
    return true;
}

// Every output on a full disk, a tmpfs and /dev/full: exit 1, one line naming the output and the
// reason, what the disk held kept and nothing of the run left on it.
TEST_F(Capture, FullDisksFailNamingTheReasonAndKeepWhatWasThere) {
    const fs::path full = dir.string() + ".full";
    const bool mounted = MountFullDisk(full);
    struct Unmount {
        fs::path where;
        ~Unmount() {
            umount2(where.c_str(), MNT_DETACH);
            fs::remove_all(where);
        }
    } unmount{full};
    if (!mounted) GTEST_SKIP() << "mounting a tmpfs needs root";
    const std::string F = full.string();
    fs::create_symlink("/dev/full", dir / "v.mkv");
    struct Case {
        std::string options;
        std::string message;  // empty: not checked
    };
    const Case cases[] = {
        {"--wav " + F + "/a.wav", "cannot write " + F + "/a.wav: No space left on device"},
        {"--frames " + F + "/frames",
         "cannot write " + F + "/frames/frame-000000.png: No space left on device"},
        {"--video " + F + "/v.mp4", "No space left on device"},
        {"--hash >" + F + "/hash", "on standard output: No space left on device"},
        {"--contact-sheet /dev/full", "cannot write /dev/full: No space left on device"},
        {"--video " + P("v.mkv"), "No space left on device"},
        {"--hash >/dev/full", "on standard output: No space left on device"},
        {"--wav " + F + "/keep", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        // Standard output where the case sends it, else nowhere.
        const fs::path errFile = dir.string() + ".err";
        const std::string command = std::string(CAPTURE_PATH) + " --seconds 0.5 --quiet " +
                                    (c.options.find('>') == std::string::npos ? ">/dev/null " : "") +
                                    c.options + " 2>" + errFile.string();
        const int raw = std::system(command.c_str());
        const std::string err = ReadText(errFile);
        fs::remove(errFile);
        fs::remove(full / "hash");  // the shell's, for standard output
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
        const std::string last = err.substr(err.rfind('\n', err.size() - 2) + 1);
        EXPECT_EQ(last.rfind("novaline-capture: ", 0), 0u) << err;
        EXPECT_NE(last.find(c.message), std::string::npos) << err;
        std::istringstream lines(err);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_EQ(line.rfind("novaline-capture: ", 0), 0u) << "a line not of the capture's";
        }
        EXPECT_EQ(Left(), std::vector<std::string>{"v.mkv"});
        std::vector<std::string> onDisk;
        for (const auto& e : fs::recursive_directory_iterator(full)) {
            onDisk.push_back(e.path().lexically_relative(full));
        }
        std::sort(onDisk.begin(), onDisk.end());
        EXPECT_EQ(onDisk, (std::vector<std::string>{"filler", "frames", "keep"}));
        EXPECT_EQ(ReadText(full / "keep"), "keep");
    }
}

// An interrupt, early or while ffmpeg encodes, from a kill or from the terminal (to the whole
// job): the capture ends ffmpeg and waits for it before removing its files, so nothing of the run
// is left, nothing outlives it, ffmpeg says nothing, and the capture ends by the signal.
TEST_F(Capture, AnInterruptEndsFfmpegFirstAndLeavesNothing) {
    if (std::system("command -v ffmpeg >/dev/null") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    struct Case {
        int signal;
        bool toJob;         // to the process group, as the terminal sends it
        bool whileEncoding; // once ffmpeg runs, else 50 ms after the start
    };
    const Case cases[] = {{SIGTERM, false, false}, {SIGINT, true, true}, {SIGHUP, false, true},
                          {SIGTERM, true, true}};
    const fs::path err = dir.string() + ".err";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.toJob ? " to the job" : "") +
                     (c.whileEncoding ? " while encoding" : " at once"));
        const pid_t pid = StartJob({"--seconds", "20", "--video", P("v.mp4"), "--wav", P("a.wav")},
                                   err);
        std::vector<pid_t> ffmpeg;
        if (c.whileEncoding) {
            for (int ms = 0; ffmpeg.empty() && ms < 10000; ms += 10) {
                usleep(10000);
                ffmpeg = Children(pid);
            }
            ASSERT_FALSE(ffmpeg.empty()) << "ffmpeg never started";
            usleep(300000);  // frames on their way down the pipe
        } else {
            usleep(50000);
            ffmpeg = Children(pid);
        }
        kill(c.toJob ? -pid : pid, c.signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        for (const pid_t child : ffmpeg) {
            EXPECT_TRUE(kill(child, 0) != 0 && errno == ESRCH) << "ffmpeg " << child << " runs on";
        }
        if (!c.whileEncoding) usleep(1000000);  // time for an ffmpeg left running to write
        EXPECT_TRUE(Left().empty()) << Left().front();
        EXPECT_EQ(ReadText(err), "");
        for (const pid_t child : ffmpeg) kill(child, SIGKILL);
    }
    fs::remove(err);
}

// When ffmpeg itself fails, what it said is in the capture's one line of error, not beside it:
// an ffmpeg that takes no frames at all, and one that takes them all and then fails.
TEST_F(Capture, FfmpegsOwnLinesAreInTheMessageWhenItFails) {
    const fs::path bin = dir.string() + ".bin";
    fs::create_directory(bin);
    struct Case {
        const char* script;
        const char* message;
    };
    const Case cases[] = {
        {"echo 'Unknown encoder x' >&2; exit 1",
         "ffmpeg stopped taking frames for "},
        {"cat >/dev/null; echo 'Disk quota exceeded' >&2; echo 'Conversion failed!' >&2; exit 1",
         "ffmpeg failed to encode the picture of "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        std::ofstream(bin / "ffmpeg") << "#!/bin/sh\n" << c.script << "\n";
        fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
        const Outcome run = Run("--seconds 0.5 --video " + P("v.mp4"), "PATH=" + bin.string() + ":/usr/bin:/bin");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(c.message + P("v.mp4")), std::string::npos) << run.err;
        const std::string said = c.script[0] == 'e' ? "(ffmpeg: Unknown encoder x)"
                                                    : "(ffmpeg: Disk quota exceeded; Conversion failed!)";
        EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
        EXPECT_TRUE(Left().empty()) << Left().front();
    }
    fs::remove_all(bin);
}

// An interrupt just after the WAV took its name waits until the contact sheet has taken its own:
// both names new, never one new beside one missing (the interrupt's cleaning removes the other).
TEST_F(Capture, AnInterruptBetweenTheCommitsWaitsForTheLast) {
    const Outcome run = Run("--seconds 0.2 --quiet --wav " + P("a.wav") + " --contact-sheet " +
                                P("s.png"),
                            "LD_PRELOAD=" SIGNAL_AFTER_RENAME_PATH
                            " ASAN_OPTIONS=verify_asan_link_order=0");
    EXPECT_NE(run.status, 0) << "ended by the signal";
    std::vector<std::string> left = Left();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a.wav", "s.png"}));
}

}  // namespace
