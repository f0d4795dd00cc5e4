// End-to-end tests of the xmrender program: crafted modules written to a temporary folder, the
// built binary run on them, and its files, streams and exit status read back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "sound/xm_writer.h"
#include "tests/support/module_builders.h"

namespace {

namespace fs = std::filesystem;

// Frames of one tick at 125 BPM: floor(5 x rate / 250).
constexpr int64_t kTick44100 = 882;
constexpr int64_t kTick8000 = 160;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    const std::string text = ReadText(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
std::string Tag(const std::vector<uint8_t>& b, size_t at) {
    return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
}

struct Wav {
    uint32_t rate = 0;
    std::vector<int16_t> values;  // interleaved left, right
    int64_t Frames() const { return static_cast<int64_t>(values.size() / 2); }
};

// Reads a WAV back, checking every header field against the canonical 16-bit stereo layout and
// the data size against the file size.
Wav ParseWav(const fs::path& path) {
    Wav wav;
    const std::vector<uint8_t> b = ReadBytes(path);
    EXPECT_GE(b.size(), 44u) << path;
    if (b.size() < 44) return wav;
    const uint32_t dataBytes = U32(b, 40);
    EXPECT_EQ(Tag(b, 0), "RIFF");
    EXPECT_EQ(U32(b, 4), 36 + dataBytes);
    EXPECT_EQ(Tag(b, 8), "WAVE");
    EXPECT_EQ(Tag(b, 12), "fmt ");
    EXPECT_EQ(U32(b, 16), 16u);
    EXPECT_EQ(U16(b, 20), 1u) << "PCM";
    EXPECT_EQ(U16(b, 22), 2u) << "stereo";
    wav.rate = U32(b, 24);
    EXPECT_EQ(U32(b, 28), wav.rate * 4) << "bytes per second";
    EXPECT_EQ(U16(b, 32), 4u) << "block align";
    EXPECT_EQ(U16(b, 34), 16u) << "bits";
    EXPECT_EQ(Tag(b, 36), "data");
    EXPECT_EQ(b.size(), 44u + dataBytes);
    EXPECT_EQ(dataBytes % 4, 0u);
    for (size_t at = 44; at + 1 < b.size(); at += 2) {
        wav.values.push_back(static_cast<int16_t>(U16(b, at)));
    }
    return wav;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct TraceLine {
    int64_t tickIndex, order, row, tick, channel, active, frequency, volume, panning, position;
};

std::vector<TraceLine> ParseTrace(const fs::path& path, std::string* header) {
    std::vector<TraceLine> trace;
    const std::vector<std::string> lines = Lines(ReadText(path));
    if (lines.empty()) return trace;
    *header = lines[0];
    for (size_t i = 1; i < lines.size(); ++i) {
        std::vector<int64_t> f;
        std::stringstream fields(lines[i]);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(std::stoll(field));
        EXPECT_EQ(f.size(), 10u) << lines[i];
        if (f.size() != 10) continue;
        trace.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9]});
    }
    return trace;
}

// Instrument 1 of the modules that must be heard: `samples` looped sines, each of 64 values.
XmInstrumentDesc SineInstrument(size_t samples = 1) {
    const XmSampleDesc sine = Sample16(Sine(64, 12000), {kSampleTypeForward, 0, 64}, "sine");
    return InstrumentWith(std::vector<XmSampleDesc>(samples, sine), "sine");
}

class XmRender : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "xmrender_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Writes the module under the title these tests have always given it, so its bytes stay
    // those the renders were first checked on.
    fs::path Write(const std::string& name, XmModuleDesc module) {
        module.name = "xmrender test";
        const fs::path path = dir / name;
        WriteBytes(path, WriteXm(module));
        return path;
    }

    // `prefix` goes before the program on the shell's line ("cd FOLDER && ", "timeout 20 ").
    Outcome Xmrender(const std::vector<std::string>& args, const std::string& prefix = "") {
        std::string command = prefix + Quote(XMRENDER_PATH);
        for (const std::string& arg : args) command += " " + Quote(arg);
        const fs::path out = dir / "stdout.txt";
        const fs::path err = dir / "stderr.txt";
        command += " >" + Quote(out.string()) + " 2>" + Quote(err.string()) + " </dev/null";
        const int raw = std::system(command.c_str());
        Outcome run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
        fs::remove(out);
        fs::remove(err);
        return run;
    }

    // Renders and returns the WAV, expecting success and the one-line report.
    Wav Render(const fs::path& input, std::vector<std::string> options = {}) {
        const fs::path wav = dir / "out.wav";
        options.insert(options.end(), {"-o", wav.string(), input.string()});
        const Outcome run = Xmrender(options);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        Wav parsed = ParseWav(wav);
        fs::remove(wav);
        return parsed;
    }

    std::vector<fs::path> Entries() const {
        std::vector<fs::path> entries;
        for (const auto& e : fs::directory_iterator(dir)) entries.push_back(e.path().filename());
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    fs::path dir;
};

// xmrender in a child process, its streams on /dev/null and the signals it handles at their
// default action. It runs once released, so that the test may act on its process id first.
struct Child {
    pid_t pid;
    int hold;  // write end of the pipe it waits on
};

Child Start(std::vector<std::string> args) {
    args.insert(args.begin(), XMRENDER_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int hold[2];
    EXPECT_EQ(pipe(hold), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        char byte;
        close(hold[1]);
        while (read(hold[0], &byte, 1) > 0) {
        }
        const int null = open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3; ++fd) dup2(null, fd);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal, SIG_DFL);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(hold[0]);
    return Child{pid, hold[1]};
}

// Releases the child and returns its wait status, after `meanwhile` ran.
template <typename Meanwhile>
int RunChild(const Child& child, Meanwhile meanwhile) {
    close(child.hold);
    meanwhile();
    int status = 0;
    waitpid(child.pid, &status, 0);
    return status;
}

// ---- length -----------------------------------------------------------------------------------

TEST_F(XmRender, SecondsGiveExactlyFloorOfSecondsTimesRateFrames) {
    const fs::path input = Write("short.xm", MakeModule(2, 3, {0}, {MakePattern(4, 2)}));
    struct Case {
        const char* seconds;
        const char* rate;
        int64_t frames;
    };
    const Case cases[] = {
        {"1.5", "22050", 33075},
        {"0", "44100", 0},
        {"2.3", "44100", 101430},        // 101429.99999999999 in binary floating point
        {"0.01", "8000", 80},
        {".5", "11025", 5512},
        {"3.", "8000", 24000},
        {"0.0000226757", "44100", 0},    // just under one frame
        {"0.00002268", "44100", 1},      // just over one frame
        {"1", "192000", 192000},
        {"0.02", "44100", 882},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.seconds) + " s at " + c.rate);
        const Wav wav = Render(input, {"--seconds", c.seconds, "--rate", c.rate});
        EXPECT_EQ(wav.rate, static_cast<uint32_t>(std::stoi(c.rate)));
        EXPECT_EQ(wav.Frames(), c.frames);
    }
}

TEST_F(XmRender, SongRenderedOnceEndsWhereItWouldRepeat) {
    struct Case {
        const char* name;
        XmModuleDesc module;
        int64_t ticks;  // at 125 BPM throughout
    };
    XmModuleDesc restart =
        MakeModule(1, 3, {0, 1, 2}, {MakePattern(4, 1), MakePattern(4, 1), MakePattern(4, 1)});
    restart.restartPosition = 1;
    XmModuleDesc restartOutside = MakeModule(1, 3, {0, 1}, {MakePattern(4, 1), MakePattern(2, 1)});
    restartOutside.restartPosition = 7;
    const Case cases[] = {
        {"two orders of four rows, wrapping to order 0",
         MakeModule(2, 3, {0, 1}, {MakePattern(4, 2), MakePattern(4, 2)}), 8 * 3},
        {"the same pattern in both orders is played twice",
         MakeModule(1, 3, {0, 0}, {MakePattern(4, 1)}), 8 * 3},
        {"ends with a jump to its own order",
         MakeModule(2, 3, {0, 1},
                    {MakePattern(4, 2),
                     MakePattern(4, 2, {{1, 1, Effect(kEffectPositionJump, 1)}})}),
         6 * 3},
        {"one order jumping to itself",
         MakeModule(1, 4, {0}, {MakePattern(8, 1, {{2, 0, Effect(kEffectPositionJump, 0)}})}),
         3 * 4},
        {"a backward jump",
         MakeModule(1, 3, {0, 1, 2},
                    {MakePattern(4, 1), MakePattern(4, 1),
                     MakePattern(4, 1, {{1, 0, Effect(kEffectPositionJump, 1)}})}),
         10 * 3},
        {"a forward jump over an order",
         MakeModule(1, 3, {0, 1, 2},
                    {MakePattern(4, 1, {{0, 0, Effect(kEffectPositionJump, 2)}}),
                     MakePattern(4, 1), MakePattern(4, 1)}),
         5 * 3},
        {"a pattern loop played twice does not stop the render",
         MakeModule(1, 3, {0},
                    {MakePattern(4, 1, {{0, 0, ExtendedEffect(kExtendedPatternLoop, 0)},
                                        {2, 0, ExtendedEffect(kExtendedPatternLoop, 1)}})}),
         7 * 3},
        {"a pattern loop played three times in the second order",
         MakeModule(2, 3, {0, 1},
                    {MakePattern(2, 2),
                     MakePattern(4, 2, {{1, 1, ExtendedEffect(kExtendedPatternLoop, 0)},
                                        {2, 1, ExtendedEffect(kExtendedPatternLoop, 2)}})}),
         (2 + 1 + 2 * 3 + 1) * 3},
        {"restart position inside the song", restart, 12 * 3},
        {"restart position outside the song starts over at order 0", restartOutside, 6 * 3},
        {"a break into the next order",
         MakeModule(1, 3, {0, 1},
                    {MakePattern(4, 1, {{1, 0, Effect(kEffectPatternBreak, 0x02)}}),
                     MakePattern(4, 1)}),
         4 * 3},
        {"a break past the end of the shorter first pattern plays its row 0, already played",
         MakeModule(1, 3, {0, 1},
                    {MakePattern(4, 1),
                     MakePattern(8, 1, {{3, 0, Effect(kEffectPatternBreak, 0x05)}})}),
         8 * 3},
        {"a speed change counts the new ticks",
         MakeModule(1, 3, {0}, {MakePattern(4, 1, {{1, 0, Effect(kEffectSpeed, 2)}})}), 3 + 3 * 2},
        {"a pattern delay lengthens its row",
         MakeModule(1, 3, {0},
                    {MakePattern(4, 1, {{1, 0, ExtendedEffect(kExtendedPatternDelay, 2)}})}),
         4 * 3 + 2 * 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path input = Write("once.xm", c.module);
        EXPECT_EQ(Render(input).Frames(), c.ticks * kTick44100);
        EXPECT_EQ(Render(input, {"--rate", "8000"}).Frames(), c.ticks * kTick8000);
    }
}

TEST_F(XmRender, TempoChangeTakesEffectOnItsOwnRow) {
    // BPM 150 from row 2: 6 ticks of 882 frames, then 6 of floor(5 x 44100 / 300) = 735.
    const XmModuleDesc tempo =
        MakeModule(1, 3, {0}, {MakePattern(4, 1, {{2, 0, Effect(kEffectSpeed, 150)}})});
    const fs::path input = Write("tempo.xm", tempo);
    EXPECT_EQ(Render(input).Frames(), 6 * 882 + 6 * 735);
}

TEST_F(XmRender, SongThatNeverRepeatsStopsAtTwentyMinutes) {
    // 512 rows of 31 ticks at 32 BPM last 20 min 40 s.
    XmModuleDesc module = MakeModule(1, 31, {0, 1}, {MakePattern(256, 1), MakePattern(256, 1)});
    module.defaultBpm = 32;
    const fs::path input = Write("long.xm", module);
    const fs::path wav = dir / "long.wav";
    const Outcome run = Xmrender({"--rate", "8000", "-o", wav.string(), input.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("20-minute cap"), std::string::npos) << run.err;
    EXPECT_EQ(fs::file_size(wav), 44u + 20 * 60 * 8000 * 4);
    EXPECT_EQ(ParseWav(wav).Frames(), 20 * 60 * 8000);
}

TEST_F(XmRender, ReportsFramesSongTimeAndSpeedOnOneLine) {
    const fs::path input =
        Write("report.xm", MakeModule(2, 3, {0, 1}, {MakePattern(4, 2), MakePattern(4, 2)}));
    const Outcome run = Xmrender({"-o", (dir / "r.wav").string(), input.string()});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_TRUE(std::regex_match(
        run.err, std::regex("xmrender: 21168 frames, song time 0:00\\.48, [0-9]+\\.[0-9]x real "
                            "time\n")))
        << run.err;

    const Outcome minutes = Xmrender({"-f", "--seconds", "151.456", "-o", (dir / "r.wav").string(),
                                      input.string()});
    EXPECT_NE(minutes.err.find(" 6679209 frames, song time 2:31.45,"), std::string::npos)
        << minutes.err;
}

TEST_F(XmRender, WithoutOutputNameWritesBesideTheInput) {
    const fs::path input = Write("beside.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    const Outcome run = Xmrender({input.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ParseWav(dir / "beside.wav").Frames(), 2 * 3 * kTick44100);
}

// ---- content ----------------------------------------------------------------------------------

XmModuleDesc AudibleModule() {
    // Channel 0 plays a note at once and a second one in order 1; channel 1 stays silent.
    return MakeModule(2, 3, {0, 1},
                      {MakePattern(4, 2, {{0, 0, Cell(kNoteC4, 1)}}),
                       MakePattern(4, 2, {{0, 0, Cell(kNoteC4 + 12, 1)}})},
                      {SineInstrument()});
}

TEST_F(XmRender, PlayingSampleIsHeardAndSilenceIsZero) {
    const Wav audible = Render(Write("audible.xm", AudibleModule()));
    ASSERT_EQ(audible.Frames(), 8 * 3 * kTick44100);
    int64_t loud = 0;
    for (int16_t v : audible.values) loud += std::abs(v) > 1000;
    EXPECT_GT(loud, audible.Frames()) << "most of the song should be clearly audible";
    // The note starts on the first tick, so the first block already sounds.
    int64_t firstBlock = 0;
    for (size_t i = 0; i < 2 * 882; ++i) firstBlock += audible.values[i] != 0;
    EXPECT_GT(firstBlock, 0);

    XmModuleDesc silent = AudibleModule();
    silent.patterns = {MakePattern(4, 2), MakePattern(4, 2)};
    const Wav quiet = Render(Write("silent.xm", silent));
    ASSERT_EQ(quiet.Frames(), audible.Frames());
    EXPECT_EQ(quiet.values, std::vector<int16_t>(quiet.values.size(), 0));
}

TEST_F(XmRender, SongOnceIsThePrefixOfALongerRender) {
    const fs::path input = Write("prefix.xm", AudibleModule());
    const Wav once = Render(input);
    const Wav longer = Render(input, {"--seconds", "1"});
    ASSERT_EQ(once.Frames(), 21168);
    ASSERT_EQ(longer.Frames(), 44100);
    EXPECT_TRUE(std::equal(once.values.begin(), once.values.end(), longer.values.begin()));
    // Past its end the song starts over: once the retriggered note's gain ramp is over, the
    // second pass sounds as the first did through order 0.
    const size_t tick = 2 * 882;
    const auto second = longer.values.begin() + static_cast<long>(once.values.size());
    EXPECT_TRUE(std::equal(second + tick, second + 12 * tick, longer.values.begin() + tick));
}

// `-o -` is standard output. Redirected to a file it gets the same bytes as -o FILE; through a
// pipe, a render played once announces the stream sizes in its header, since its length is known
// only at the end, and a render of given seconds its exact ones.
TEST_F(XmRender, DashWritesTheWavToStandardOutput) {
    const fs::path input = Write("piped.xm", AudibleModule());
    for (const std::vector<std::string>& length : {std::vector<std::string>{},
                                                   std::vector<std::string>{"--seconds", "1"}}) {
        SCOPED_TRACE(length.empty() ? "once" : "one second");
        std::vector<std::string> args = length;
        args.insert(args.end(), {"-f", "-o", (dir / "file.wav").string(), input.string()});
        ASSERT_EQ(Xmrender(args).status, 0);
        const std::vector<uint8_t> file = ReadBytes(dir / "file.wav");
        ASSERT_GT(file.size(), 44u);

        args = length;
        args.insert(args.end(), {"-o", "-", input.string()});
        const Outcome redirected = Xmrender(args);
        EXPECT_EQ(redirected.status, 0) << redirected.err;
        EXPECT_TRUE(file == std::vector<uint8_t>(redirected.out.begin(), redirected.out.end()));
        EXPECT_EQ(Lines(redirected.err).size(), 1u) << redirected.err;

        std::string command = "cd " + Quote(dir.string()) + " && " + Quote(XMRENDER_PATH);
        for (const std::string& arg : args) command += " " + Quote(arg);
        command += " 2>/dev/null | cat >piped.wav";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::vector<uint8_t> piped = ReadBytes(dir / "piped.wav");
        ASSERT_EQ(piped.size(), file.size());
        const uint32_t announced = length.empty() ? 0xFFFFFFFF : U32(file, 40);
        EXPECT_EQ(U32(piped, 4), length.empty() ? 0xFFFFFFFF : U32(file, 4));
        EXPECT_EQ(U32(piped, 40), announced);
        EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), piped.begin() + 44));
        EXPECT_FALSE(fs::exists(dir / "-"));
    }
}

TEST_F(XmRender, SameInputGivesIdenticalBytes) {
    const fs::path input = Write("twice.xm", AudibleModule());
    std::vector<uint8_t> wavs[2];
    std::string traces[2];
    for (int i = 0; i < 2; ++i) {
        const fs::path wav = dir / ("run" + std::to_string(i) + ".wav");
        const fs::path trace = dir / ("run" + std::to_string(i) + ".csv");
        const Outcome run = Xmrender({"--seconds", "2", "--trace", trace.string(), "-o",
                                      wav.string(), input.string()});
        ASSERT_EQ(run.status, 0) << run.err;
        wavs[i] = ReadBytes(wav);
        traces[i] = ReadText(trace);
    }
    EXPECT_EQ(wavs[0].size(), 44u + 2 * 44100 * 4);
    EXPECT_TRUE(wavs[0] == wavs[1]);
    EXPECT_EQ(traces[0], traces[1]);
}

// ---- trace ------------------------------------------------------------------------------------

constexpr char kTraceHeader[] =
    "tick_index,order,row,tick,channel,active,frequency,volume,panning,position";

// (order, row, tick) of every traced tick, one per tick (channel 0's line).
std::vector<std::tuple<int64_t, int64_t, int64_t>> Positions(const std::vector<TraceLine>& trace) {
    std::vector<std::tuple<int64_t, int64_t, int64_t>> positions;
    for (const TraceLine& t : trace) {
        if (t.channel == 0) positions.emplace_back(t.order, t.row, t.tick);
    }
    return positions;
}

TEST_F(XmRender, TraceHasOneLinePerChannelForEveryTickOfTheOutput) {
    const fs::path input = Write("trace.xm", AudibleModule());
    const fs::path csv = dir / "trace.csv";
    const Outcome run = Xmrender({"--trace", csv.string(), "-o", (dir / "t.wav").string(),
                                  input.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string header;
    const std::vector<TraceLine> trace = ParseTrace(csv, &header);
    EXPECT_EQ(header, kTraceHeader);
    ASSERT_EQ(trace.size(), 8u * 3 * 2);

    std::vector<std::tuple<int64_t, int64_t, int64_t>> expected;
    for (int order = 0; order < 2; ++order) {
        for (int row = 0; row < 4; ++row) {
            for (int tick = 0; tick < 3; ++tick) expected.emplace_back(order, row, tick);
        }
    }
    EXPECT_EQ(Positions(trace), expected);
    for (size_t i = 0; i < trace.size(); ++i) {
        EXPECT_EQ(trace[i].tickIndex, static_cast<int64_t>(i / 2)) << "line " << i;
        EXPECT_EQ(trace[i].channel, static_cast<int64_t>(i % 2)) << "line " << i;
    }

    // Channel 0 plays from the first tick, an octave higher from order 1; channel 1 never does.
    const TraceLine& first = trace[0];
    EXPECT_EQ(first.active, 1);
    EXPECT_GT(first.frequency, 0);
    EXPECT_GT(first.volume, 0);
    EXPECT_EQ(first.position, 0) << "nothing is mixed before the first tick";
    const TraceLine& secondTick = trace[2];
    EXPECT_GT(secondTick.position, first.position) << "the voice moved through its sample";
    const TraceLine& octave = trace[2 * 12];
    ASSERT_EQ(octave.order, 1);
    EXPECT_NEAR(static_cast<double>(octave.frequency) / first.frequency, 2.0, 0.01);
    for (const TraceLine& t : trace) {
        if (t.channel == 1) {
            EXPECT_EQ(t.active, 0) << "tick " << t.tickIndex;
        }
    }
}

TEST_F(XmRender, TraceFollowsPatternLoopsAndStopsAtTheRepeat) {
    const fs::path input = Write(
        "loop.xm",
        MakeModule(1, 2, {0, 1},
                   {MakePattern(3, 1, {{0, 0, ExtendedEffect(kExtendedPatternLoop, 0)},
                                       {1, 0, ExtendedEffect(kExtendedPatternLoop, 1)}}),
                    MakePattern(2, 1, {{1, 0, Effect(kEffectPositionJump, 1)}})}));
    const fs::path csv = dir / "loop.csv";
    const Wav wav = Render(input, {"--trace", csv.string()});
    std::string header;
    const std::vector<TraceLine> trace = ParseTrace(csv, &header);
    const std::vector<std::pair<int64_t, int64_t>> rows = {{0, 0}, {0, 1}, {0, 0}, {0, 1},
                                                           {0, 2}, {1, 0}, {1, 1}};
    std::vector<std::tuple<int64_t, int64_t, int64_t>> expected;
    for (const auto& [order, row] : rows) {
        for (int tick = 0; tick < 2; ++tick) expected.emplace_back(order, row, tick);
    }
    EXPECT_EQ(Positions(trace), expected);
    EXPECT_EQ(wav.Frames(), static_cast<int64_t>(expected.size()) * kTick44100);
}

// Two loop ends on one channel share its count: row 2 starts the loop afresh each time row 1 has
// finished it, so the song never leaves the pattern. It ends where its loops first go back in a
// state they went back in before: rows 0, 1, 0, 1, 2, and then row 0 with the count of the second
// pass.
TEST_F(XmRender, LoopThatNeverEndsStopsWhereItsStateRepeats) {
    const fs::path input = Write(
        "endless.xm",
        MakeModule(1, 2, {0},
                   {MakePattern(4, 1, {{1, 0, ExtendedEffect(kExtendedPatternLoop, 1)},
                                       {2, 0, ExtendedEffect(kExtendedPatternLoop, 1)}})}));
    const fs::path csv = dir / "endless.csv";
    const Wav wav = Render(input, {"--trace", csv.string()});
    std::string header;
    std::vector<std::tuple<int64_t, int64_t, int64_t>> expected;
    for (int64_t row : {0, 1, 0, 1, 2}) {
        for (int tick = 0; tick < 2; ++tick) expected.emplace_back(0, row, tick);
    }
    EXPECT_EQ(Positions(ParseTrace(csv, &header)), expected);
    EXPECT_EQ(wav.Frames(), 5 * 2 * kTick44100);
}

TEST_F(XmRender, TraceWithSecondsCoversTheTicksThatStartInTheOutput) {
    const fs::path input = Write("secs.xm", MakeModule(3, 3, {0}, {MakePattern(2, 3)}));
    struct Case {
        const char* seconds;
        size_t ticks;
    };
    // Ticks start at 0, 882, 1764, ... frames.
    const Case cases[] = {{"0", 0}, {"0.02", 1}, {"0.05", 3}, {"0.04", 2}, {"1", 50}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        const fs::path csv = dir / "secs.csv";
        Render(input, {"-f", "--seconds", c.seconds, "--trace", csv.string()});
        std::string header;
        const std::vector<TraceLine> trace = ParseTrace(csv, &header);
        EXPECT_EQ(header, kTraceHeader);
        ASSERT_EQ(trace.size(), c.ticks * 3);
        // The song loops on past its end with --seconds: rows 0, 1, 0, 1, ...
        for (size_t i = 0; i < trace.size(); ++i) {
            EXPECT_EQ(trace[i].tickIndex, static_cast<int64_t>(i / 3));
            EXPECT_EQ(trace[i].row, static_cast<int64_t>(i / 9 % 2));
            EXPECT_EQ(trace[i].tick, static_cast<int64_t>(i / 3 % 3));
        }
    }
}

// ---- refusals and the command line ------------------------------------------------------------

TEST_F(XmRender, RefusedInputsExitOneNamingFileAndReasonAndWriteNothing) {
    XmModuleDesc seventeen = MakeModule(1, 6, {0}, {MakePattern(4, 1)});
    seventeen.instruments = {SineInstrument(17)};
    WriteBytes(dir / "text.xm", {'h', 'e', 'l', 'l', 'o', '\n'});
    Write("seventeen.xm", seventeen);
    WriteBytes(dir / "empty.xm", {});
    fs::create_directory(dir / "folder.xm");
    struct Case {
        const char* input;
        std::string message;
    };
    const Case cases[] = {
        {"text.xm", "text.xm: not an XM module"},
        {"empty.xm", "empty.xm: not an XM module"},
        {"seventeen.xm", "seventeen.xm: too many samples in an instrument (more than 16)"},
        {"missing.xm", "cannot read " + (dir / "missing.xm").string() +
                           ": No such file or directory"},
        {"folder.xm", "cannot read " + (dir / "folder.xm").string() + ": Is a directory"},
    };
    const std::vector<fs::path> before = Entries();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const std::string input = (dir / c.input).string();
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"-o", (dir / "out.wav").string(), "--trace",
                                       (dir / "out.csv").string(), input},
              std::vector<std::string>{input}, std::vector<std::string>{"--info", input}}) {
            const Outcome run = Xmrender(args);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
            EXPECT_EQ(run.err.rfind("xmrender: ", 0), 0u) << run.err;
            EXPECT_TRUE(run.out.empty()) << run.out;
            EXPECT_EQ(Entries(), before) << "a refused input leaves no file behind";
        }
    }
}

// A file cut short is refused naming what is cut, unless only sample data is missing: that plays
// as silence, with one warning. Module: header (336 bytes), two patterns of 4 empty cells (13
// bytes each), two instruments of one 64-value 16-bit sine.
TEST_F(XmRender, FilesCutShortAreRefusedNamingWhatIsCut) {
    XmModuleDesc module = MakeModule(1, 3, {0, 1}, {MakePattern(4, 1), MakePattern(4, 1)},
                                     {SineInstrument(), SineInstrument()});
    const std::vector<uint8_t> whole = ReadBytes(Write("whole.xm", module));
    const size_t instrument1 = 336 + 2 * 13;
    const size_t headerBytes = U32(whole, instrument1);
    const size_t instrumentBytes = headerBytes + 40 + 128;
    ASSERT_EQ(whole.size(), instrument1 + 2 * instrumentBytes);
    struct Case {
        size_t bytes;
        std::string message;
    };
    const Case refused[] = {
        {40, "not an XM module (40 bytes)"},
        {335, "not an XM module (335 bytes)"},
        {340, "the file ends inside pattern 0"},
        {336 + 13 + 12, "the file ends inside pattern 1"},
        {instrument1 + 100, "the file ends inside the header of instrument 1"},
        {instrument1 + headerBytes + 39, "the file ends inside the sample headers of instrument 1"},
        {instrument1 + instrumentBytes - 1, "the file ends inside the sample data of instrument 1"},
        {instrument1 + instrumentBytes + 20, "the file ends inside the header of instrument 2"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.bytes);
        const fs::path cut = dir / "cut.xm";
        WriteBytes(cut, std::vector<uint8_t>(whole.begin(), whole.begin() + long(c.bytes)));
        for (const char* mode : {"--info", "-f"}) {
            const Outcome run = Xmrender({mode, cut.string()});
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, "xmrender: " + cut.string() + ": " + c.message + "\n");
            EXPECT_FALSE(fs::exists(dir / "cut.wav"));
        }
    }
    // The last sample 100 bytes short: 14 of its 64 values are there, the rest is silence.
    const fs::path shortData = dir / "short.xm";
    WriteBytes(shortData, std::vector<uint8_t>(whole.begin(), whole.end() - 100));
    const Outcome info = Xmrender({"--info", shortData.string()});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("\"samples\": 2,"), std::string::npos) << info.out;
    EXPECT_EQ(info.err, "xmrender: " + shortData.string() +
                            ": the file ends 100 bytes short of the sample data of instrument 2, "
                            "which play as silence\n");
    const Outcome render = Xmrender({shortData.string()});
    EXPECT_EQ(render.status, 0) << render.err;
    EXPECT_EQ(Lines(render.err).size(), 2u) << render.err;
}

// An existing file is replaced only with -f; several inputs each get their own WAV.
TEST_F(XmRender, ExistingFilesAreKeptUnlessForcedAndEachInputGetsItsOwnWav) {
    const fs::path a = Write("a.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    const fs::path b = Write("b.xm", MakeModule(1, 3, {0}, {MakePattern(4, 1)}));
    WriteBytes(dir / "a.wav", {'k', 'e', 'e', 'p'});
    WriteBytes(dir / "t.csv", {'k', 'e', 'e', 'p'});
    const std::vector<std::vector<std::string>> kept = {
        {a.string()},
        {"-o", (dir / "a.wav").string(), b.string()},
        {"-o", (dir / "new.wav").string(), "--trace", (dir / "t.csv").string(), b.string()},
    };
    for (const std::vector<std::string>& args : kept) {
        SCOPED_TRACE(args.back());
        const std::vector<fs::path> before = Entries();
        const Outcome run = Xmrender(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(": the file already exists (-f replaces it)\n"), std::string::npos)
            << run.err;
        EXPECT_EQ(ReadText(dir / "a.wav"), "keep");
        EXPECT_EQ(ReadText(dir / "t.csv"), "keep");
        EXPECT_EQ(Entries(), before);
    }
    // Both inputs rendered, a.wav replaced as asked; without -f a.xm alone fails and b.xm is
    // rendered all the same.
    ASSERT_EQ(Xmrender({a.string(), "-f", b.string()}).status, 0);
    EXPECT_EQ(ParseWav(dir / "a.wav").Frames(), 2 * 3 * kTick44100);
    EXPECT_EQ(ParseWav(dir / "b.wav").Frames(), 4 * 3 * kTick44100);
    fs::remove(dir / "b.wav");
    const Outcome partly = Xmrender({a.string(), b.string()});
    EXPECT_EQ(partly.status, 1);
    EXPECT_EQ(ParseWav(dir / "b.wav").Frames(), 4 * 3 * kTick44100);
    EXPECT_EQ(Lines(partly.err).size(), 2u) << partly.err;
    // What the system says of outputs that cannot be written.
    const std::pair<const char*, const char*> devices[] = {
        {"/proc/version", "cannot write /proc/version: not writable"},
        {"/dev/full", "cannot write /dev/full: No space left on device"},
    };
    for (const auto& [output, message] : devices) {
        const Outcome run = Xmrender({"-f", "-o", output, a.string()});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, std::string("xmrender: ") + message + "\n");
    }
}

TEST_F(XmRender, UnwritableOutputExitsOneAndLeavesNothing) {
    const fs::path input = Write("fine.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    const std::vector<fs::path> before = Entries();
    const Outcome run = Xmrender({"-o", (dir / "no" / "such" / "dir.wav").string(), "--trace",
                                  (dir / "t.csv").string(), input.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
    EXPECT_EQ(Entries(), before);
    const Outcome badTrace = Xmrender({"-o", (dir / "o.wav").string(), "--trace",
                                       (dir / "no" / "t.csv").string(), input.string()});
    EXPECT_EQ(badTrace.status, 1);
    EXPECT_NE(badTrace.err.find("cannot write"), std::string::npos) << badTrace.err;
    EXPECT_EQ(Entries(), before);
}

TEST_F(XmRender, BadCommandLinesExitTwoWithOneLineAndAPointerToHelp) {
    const std::string input = Write("ok.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)})).string();
    const std::string out = (dir / "bad.wav").string();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"-o", out},
        {"--bogus", input},
        {"-x", input},
        {input, "--rate"},
        {input, "--seconds"},
        {input, "--trace"},
        {input, "-o"},
        {"--rate", "abc", input},
        {"--rate", "", input},
        {"--rate", "7999", input},
        {"--rate", "192001", input},
        {"--rate", "44100.5", input},
        {"--rate", "-44100", input},
        {"--rate", "+44100", input},
        {"--rate", "99999999999", input},
        {"--seconds", "-1", input},
        {"--seconds", "-0.5", input},
        {"--seconds", "abc", input},
        {"--seconds", "1.2.3", input},
        {"--seconds", ".", input},
        {"--seconds", "", input},
        {"--seconds", "1e", input},
        {"--seconds", "e3", input},
        {"--seconds", "1e9", input},
        {"--seconds", "0.0000000000000000001", input},  // finer than 18 decimals
        {"-o", out, input, input},  // one output for two inputs
        {"--seconds", "99999999999999999999999", input},
        {"--seconds", "30000", "--rate", "192000", input},  // more than a WAV file can hold
        {input, input},
        {"-o", "-", "--trace", "-", input},  // one standard output for two streams
        {"-o", "", input},
        {"--trace", "", input},
        {"--trace=", input},
    };
    for (const std::vector<std::string>& args : cases) {
        std::string line;
        for (const std::string& a : args) line += "[" + a + "] ";
        SCOPED_TRACE(line);
        const Outcome run = Xmrender(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("xmrender: ", 0), 0u) << run.err;
        EXPECT_EQ(Lines(run.err).size(), 2u) << run.err;
        EXPECT_NE(run.err.find("\nTry 'xmrender --help'.\n"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
        EXPECT_FALSE(fs::exists(out));
        EXPECT_FALSE(fs::exists(dir / "ok.wav"));
    }
}

// getopt_long's conventions: a value after '=', or joined on to a short option; "--" ends the
// options, so an input may begin with '-'.
TEST_F(XmRender, OptionsFollowTheCommandLineConventions) {
    Write("-dash.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    const Outcome run = Xmrender({"--rate=8000", "--seconds=0.5", "-ojoined.wav", "--", "-dash.xm"},
                                 "cd " + Quote(dir.string()) + " && ");
    EXPECT_EQ(run.status, 0) << run.err;
    const Wav wav = ParseWav(dir / "joined.wav");
    EXPECT_EQ(wav.rate, 8000u);
    EXPECT_EQ(wav.Frames(), 4000);
}

TEST_F(XmRender, WriteErrorOnStandardOutputExitsOne) {
    const fs::path input = Write("ok.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    for (const std::string& args : {std::string(" --help"), " --info " + Quote(input.string())}) {
        SCOPED_TRACE(args);
        const std::string command = Quote(XMRENDER_PATH) + args + " >/dev/full 2>/dev/null";
        const int raw = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
    }
}

TEST_F(XmRender, RateBoundsAreAccepted) {
    const fs::path input = Write("bounds.xm", MakeModule(1, 3, {0}, {MakePattern(1, 1)}));
    EXPECT_EQ(Render(input, {"--rate", "8000"}).Frames(), 3 * 160);
    // floor(5 x 192000 / 250) = 3840 frames a tick.
    EXPECT_EQ(Render(input, {"--rate", "192000"}).Frames(), 3 * 3840);
}

TEST_F(XmRender, HelpPrintsUsageOnStdout) {
    const Outcome run = Xmrender({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage: xmrender [-f] [--rate HZ] [--seconds S] [--trace FILE] "
                            "[-o OUT.wav] INPUT.xm...\n",
                            0),
              0u)
        << run.out;
    EXPECT_TRUE(run.err.empty());
}

TEST_F(XmRender, InfoPrintsTheSummaryAsJson) {
    XmModuleDesc linear = MakeModule(3, 5, {0, 1, 0}, {MakePattern(4, 3), MakePattern(8, 3)});
    linear.defaultBpm = 140;
    linear.restartPosition = 1;
    linear.instruments = {SineInstrument(1), SineInstrument(2)};
    XmModuleDesc amiga = MakeModule(8, 6, {2, 0, 1, 2, 4},
                                    {MakePattern(1, 8), MakePattern(1, 8), MakePattern(1, 8)});
    amiga.flags = 0;
    struct Case {
        const char* name;
        XmModuleDesc module;
        std::string json;
    };
    linear.instruments[1].name = "two \"quoted\"";
    // Played once: orders 0, 1, 2 (16 rows of 5 ticks of 787 frames), then back to order 1.
    const Case cases[] = {
        {"linear.xm", linear,
         "{\"title\": \"xmrender test\", \"tracker\": \"novaline xm writer\", "
         "\"durationSeconds\": 1.428, \"durationCapped\": false, "
         "\"channels\": 3, \"songLength\": 3, \"restartPosition\": 1, \"orders\": [0, 1, 0], "
         "\"patterns\": 2, \"instruments\": 2, \"samples\": 3, \"speed\": 5, \"bpm\": 140, "
         "\"frequencyTable\": \"linear\", \"instrumentNames\": [\"sine\", \"two \\\"quoted\\\"\"], "
         "\"sampleNames\": [\"sine\", \"sine\", \"sine\"]}\n"},
        // Order 4 names a pattern the file lacks: the loader supplies empty ones of 64 rows up to
        // it. 4 + 64 rows of 6 ticks of 882 frames.
        {"amiga.xm", amiga,
         "{\"title\": \"xmrender test\", \"tracker\": \"novaline xm writer\", "
         "\"durationSeconds\": 8.160, \"durationCapped\": false, "
         "\"channels\": 8, \"songLength\": 5, \"restartPosition\": 0, \"orders\": [2, 0, 1, 2, "
         "4], \"patterns\": 5, \"instruments\": 0, \"samples\": 0, \"speed\": 6, \"bpm\": 125, "
         "\"frequencyTable\": \"amiga\", \"instrumentNames\": [], \"sampleNames\": []}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<fs::path> before = Entries();
        const fs::path input = Write(c.name, c.module);
        const Outcome run = Xmrender({"--info", input.string()});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.json);
        EXPECT_TRUE(run.err.empty()) << run.err;
        std::vector<fs::path> after = before;
        after.push_back(c.name);
        std::sort(after.begin(), after.end());
        EXPECT_EQ(Entries(), after) << "--info renders nothing";
    }
}

// ---- what is written and what is kept ----------------------------------------------------------

// A module's ID text is read before anything else of the file, and no more than the bound after.
TEST_F(XmRender, InputIsCheckedBeforeItIsReadInFull) {
    ASSERT_EQ(mkfifo((dir / "unwritten.xm").c_str(), 0600), 0);
    const std::string id = "Extended Module: ";
    WriteBytes(dir / "huge.xm", std::vector<uint8_t>(id.begin(), id.end()));
    fs::resize_file(dir / "huge.xm", (64 << 20) + 1);
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/zero", ": not an XM module"},
        {(dir / "unwritten.xm").string(), ": not an XM module"},
        {(dir / "huge.xm").string(), ": more than 64 MiB, larger than any XM module"},
    };
    for (const auto& [input, message] : cases) {
        SCOPED_TRACE(input);
        const Outcome run = Xmrender({"--info", input}, "timeout 20 ");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "xmrender: " + input + message + "\n");
    }
}

TEST_F(XmRender, OutputThatIsTheInputOrTheOtherOutputIsRefused) {
    const fs::path input = Write("in.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    const std::vector<uint8_t> module = ReadBytes(input);
    fs::create_symlink("in.xm", dir / "link.xm");
    WriteBytes(dir / "same.wav", {'k', 'e', 'e', 'p'});
    const std::string in = input.string();
    const std::string same = (dir / "same.wav").string();
    const std::string fresh = (dir / "fresh.wav").string();
    const std::vector<fs::path> before = Entries();
    const std::vector<std::vector<std::string>> cases = {
        {"-o", in, in},
        {"-o", (dir / "link.xm").string(), in},
        {"--trace", in, "-o", fresh, in},
        {"-o", same, "--trace", same, in},
        {"-o", fresh, "--trace", (dir / "." / "fresh.wav").string(), in},
    };
    for (const std::vector<std::string>& args : cases) {
        std::string line;
        for (const std::string& a : args) line += "[" + a + "] ";
        SCOPED_TRACE(line);
        const Outcome run = Xmrender(args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_TRUE(ReadBytes(input) == module);
        EXPECT_EQ(ReadText(same), "keep");
        EXPECT_EQ(Entries(), before);
    }
}

// Links are followed to the file they name, which takes the output; a device or a FIFO is written
// as it is, never replaced by a file.
TEST_F(XmRender, LinksAreFollowedAndDevicesAndFifosWrittenInPlace) {
    const fs::path input = Write("in.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    const auto render = [&](const fs::path& output) {
        return Xmrender({"-f", "--rate", "8000", "--seconds", "0.1", "-o", output.string(),
                         input.string()});
    };
    ASSERT_EQ(render(dir / "plain.wav").status, 0);
    const std::vector<uint8_t> wav = ReadBytes(dir / "plain.wav");
    ASSERT_EQ(wav.size(), 44u + 800 * 4);

    WriteBytes(dir / "real.wav", {'o', 'l', 'd'});
    fs::create_symlink("real.wav", dir / "link.wav");
    fs::create_directory(dir / "sub");
    fs::create_symlink("sub/new.wav", dir / "dangling.wav");
    for (const auto& [link, target] : {std::pair{"link.wav", "real.wav"},
                                       std::pair{"dangling.wav", "sub/new.wav"}}) {
        SCOPED_TRACE(link);
        EXPECT_EQ(render(dir / link).status, 0);
        EXPECT_TRUE(fs::is_symlink(dir / link));
        EXPECT_TRUE(ReadBytes(dir / target) == wav);
    }

    fs::create_symlink("/dev/null", dir / "null.wav");
    EXPECT_EQ(render(dir / "null.wav").status, 0);
    EXPECT_TRUE(fs::is_symlink(dir / "null.wav"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // Held open for reading, the FIFO takes the whole WAV, smaller than its buffer, at once.
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    const int reader = open((dir / "pipe.wav").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(render(dir / "pipe.wav").status, 0);
    std::vector<uint8_t> piped(wav.size() + 1);
    const ssize_t got = read(reader, piped.data(), piped.size());
    close(reader);
    piped.resize(static_cast<size_t>(std::max<ssize_t>(got, 0)));
    EXPECT_TRUE(piped == wav);
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.wav"));
}

// A run that fails leaves the names as they were: only its own temporaries go.
TEST_F(XmRender, FailedRunKeepsExistingFiles) {
    const fs::path input = Write("in.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    WriteBytes(dir / "keep.wav", {'k', 'e', 'e', 'p'});
    fs::create_directory(dir / "folder");
    // The trace's last write fails, after the WAV was complete.
    fs::create_symlink("/dev/full", dir / "full.csv");
    const std::vector<fs::path> before = Entries();
    for (const char* trace : {"folder", "full.csv"}) {
        SCOPED_TRACE(trace);
        const Outcome run = Xmrender({"--seconds", "0.1", "--trace", (dir / trace).string(), "-o",
                                      (dir / "keep.wav").string(), input.string()});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(ReadText(dir / "keep.wav"), "keep");
        EXPECT_EQ(Entries(), before);
    }
}

// The temporary is created afresh under a short name of its own: a link planted where a name made
// from the output's would be is not written through, and an output name as long as the folder
// allows still leaves room for it.
TEST_F(XmRender, TemporaryIsCreatedAfreshUnderAShortName) {
    const fs::path input = Write("in.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    WriteBytes(dir / "victim.txt", {'m', 'i', 'n', 'e'});
    const Child child = Start({"--seconds", "0.1", "-o", (dir / "out.wav").string(),
                               input.string()});
    const fs::path planted = dir / ("out.wav.partial-" + std::to_string(child.pid));
    fs::create_symlink("victim.txt", planted);
    EXPECT_EQ(RunChild(child, [] {}), 0);
    EXPECT_EQ(ReadText(dir / "victim.txt"), "mine");
    EXPECT_TRUE(fs::is_symlink(planted)) << "not the tool's to remove";
    EXPECT_EQ(ParseWav(dir / "out.wav").Frames(), 4410);

    const std::string longest = std::string(251, 'n') + ".wav";  // 255 bytes
    std::vector<fs::path> after = Entries();
    after.push_back(longest);
    std::sort(after.begin(), after.end());
    const Outcome run = Xmrender({"--seconds", "0.1", "-o", (dir / longest).string(),
                                  input.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Entries(), after);
}

TEST_F(XmRender, SignalsRemoveTheTemporariesAndEndTheRunByTheSignal) {
    const fs::path input = Write("in.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    const std::vector<fs::path> before = Entries();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        SCOPED_TRACE(strsignal(signal));
        // 100 minutes of song: seconds of work, against the milliseconds it takes to start.
        const Child child = Start({"--rate", "8000", "--seconds", "6000", "--trace",
                                   (dir / "t.csv").string(), "-o", (dir / "o.wav").string(),
                                   input.string()});
        const int status = RunChild(child, [&] {
            for (int ms = 0; Entries().size() < before.size() + 2 && ms < 10000; ++ms) {
                usleep(1000);
            }
            EXPECT_EQ(Entries().size(), before.size() + 2) << "the WAV's and trace's temporaries";
            kill(child.pid, signal);
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(Entries(), before);
    }
}

// An interrupt just after the WAV took its name waits until the trace has taken its own: the
// run leaves both names new (and ends by the signal), never a new WAV beside an old trace (here
// none, which the interrupt's cleaning would leave).
TEST_F(XmRender, AnInterruptBetweenTheCommitsWaitsForTheLast) {
    const fs::path input = Write("in.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)}));
    const Outcome run = Xmrender(
        {"--seconds", "0.1", "--trace", (dir / "t.csv").string(), "-o", (dir / "o.wav").string(),
         input.string()},
        "LD_PRELOAD=" + Quote(SIGNAL_AFTER_RENAME_PATH) + " ASAN_OPTIONS=verify_asan_link_order=0 ");
    EXPECT_NE(run.status, 0) << "ended by the signal";
    EXPECT_EQ(Entries(), (std::vector<fs::path>{"in.xm", "o.wav", "t.csv"}));
    EXPECT_EQ(ParseWav(dir / "o.wav").Frames(), 4410);
}

// A small tmpfs at `where` holding `keep.wav` ("keep") and a filler that takes every byte left:
// mounted by the test when it runs as root (as CI does); false when it cannot be.
bool MountFullDisk(const fs::path& where) {
    fs::create_directory(where);
    if (geteuid() != 0 || mount("tmpfs", where.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0) {
        return false;
    }
    WriteBytes(where / "keep.wav", {'k', 'e', 'e', 'p'});
    std::ofstream filler(where / "filler", std::ios::binary);
    const std::vector<char> block(4096, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
    return true;
}

// Every output on a full disk, a tmpfs and /dev/full: exit 1, one line naming the output and the
// reason, what the disk held kept and nothing of the run left on it.
TEST_F(XmRender, FullDisksFailNamingTheReasonAndKeepWhatWasThere) {
    const fs::path full = dir / "full";
    const bool mounted = MountFullDisk(full);
    struct Unmount {
        fs::path where;
        ~Unmount() { umount2(where.c_str(), MNT_DETACH); }
    } unmount{full};
    if (!mounted) GTEST_SKIP() << "mounting a tmpfs needs root";
    const std::string input =
        Write("in.xm", MakeModule(1, 3, {0}, {MakePattern(2, 1)})).string();
    const std::string fullWav = (full / "w.wav").string();
    const std::string fullTrace = (full / "t.csv").string();
    const std::string wav = (dir / "o.wav").string();
    struct Case {
        std::string options;  // before the input; "> FILE" sends standard output there
        std::string message;  // empty: not checked
    };
    const Case cases[] = {
        {"-o " + fullWav, "cannot write " + fullWav + ": No space left on device"},
        {"--trace " + fullTrace + " -o " + wav,
         "cannot write " + fullTrace + ": No space left on device"},
        {"-o - >" + (full / "s.out").string(),
         "cannot write standard output: No space left on device"},
        {"-o /dev/full", "cannot write /dev/full: No space left on device"},
        {"--trace /dev/full -o " + wav, "cannot write /dev/full: No space left on device"},
        {"-o - >/dev/full", "cannot write standard output: No space left on device"},
        // An existing file is kept, whether refused or failed on the full disk.
        {"-o " + (full / "keep.wav").string(), ""},
    };
    const std::vector<fs::path> before = Entries();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const fs::path err = dir.string() + ".err";
        const std::string command = Quote(XMRENDER_PATH) + " --rate 8000 --seconds 60 " + input +
                                    " " + c.options + " 2>" + Quote(err.string());
        const int raw = std::system(command.c_str());
        const std::string message = ReadText(err);
        fs::remove(err);
        fs::remove(full / "s.out");  // the shell's, for standard output
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
        EXPECT_EQ(Lines(message).size(), 1u) << message;
        if (!c.message.empty()) {
            EXPECT_EQ(message, "xmrender: " + c.message + "\n");
        }
        EXPECT_EQ(Entries(), before);
        std::vector<std::string> onDisk;
        for (const auto& e : fs::directory_iterator(full)) onDisk.push_back(e.path().filename());
        std::sort(onDisk.begin(), onDisk.end());
        EXPECT_EQ(onDisk, (std::vector<std::string>{"filler", "keep.wav"}));
        EXPECT_EQ(ReadText(full / "keep.wav"), "keep");
    }
}

// ---- the module the render speed is measured on ------------------------------------------------

TEST_F(XmRender, BenchModuleKeepsTwelveChannelsBusyForOverAMinute) {
    const fs::path input = dir / "bench.xm";
    ASSERT_EQ(std::system((Quote(XM_BENCH_MODULE_PATH) + " " + Quote(input.string())).c_str()), 0);
    const Outcome info = Xmrender({"--info", input.string()});
    EXPECT_NE(info.out.find("\"channels\": 12,"), std::string::npos) << info.out;

    const fs::path csv = dir / "bench.csv";
    const Wav wav = Render(input, {"--trace", csv.string()});
    // Ten orders of 64 rows of 6 ticks.
    EXPECT_EQ(wav.Frames(), 10 * 64 * 6 * kTick44100);
    EXPECT_GE(wav.Frames(), 60 * 44100);
    std::string header;
    const std::vector<TraceLine> trace = ParseTrace(csv, &header);
    ASSERT_EQ(trace.size(), 10u * 64 * 6 * 12);
    std::vector<int64_t> activeTicks(12, 0);
    for (const TraceLine& t : trace) activeTicks[static_cast<size_t>(t.channel)] += t.active;
    for (size_t c = 0; c < 12; ++c) {
        EXPECT_GT(activeTicks[c], 10 * 64 * 6 / 2) << "channel " << c << " is mostly silent";
    }
}

}  // namespace
