// xmrender: renders an XM module offline to a WAV file through the demo's own engine, or prints
// its summary. Exit status 0 on success, 1 when the module cannot be read, loaded or written out,
// 2 for a bad command line.
#include <getopt.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "sound/audio_output.h"
#include "sound/module.h"
#include "sound/song_control.h"
#include "tools/command_line.h"
#include "tools/output_file.h"
#include "tools/song_render.h"
#include "tools/wav_writer.h"
#include "tools/xm_file_reader.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int32_t kDefaultRateHz = 44100;
constexpr int32_t kMinRateHz = 8000;
constexpr int32_t kMaxRateHz = 192000;
constexpr int32_t kStereo = 2;
constexpr char kUsage[] =
    "usage: xmrender [--rate HZ] [--seconds S] [--trace FILE] [-o OUT.wav] INPUT.xm\n"
    "       xmrender --info INPUT.xm\n"
    "       xmrender --help\n"
    "\n"
    "Renders INPUT.xm offline, as fast as the machine goes, to a 16-bit stereo WAV file.\n"
    "  --rate HZ     output rate, 8000..192000 (default 44100)\n"
    "  --seconds S   exactly floor(S x HZ) frames, looping the song as it would play; without\n"
    "                it the song is rendered once, up to the row where it would repeat\n"
    "                (at most 20 minutes)\n"
    "  --trace FILE  CSV of every Voice after every tick of the output\n"
    "  -o OUT.wav    the WAV file (default: INPUT with the extension .wav)\n"
    "                FILE or OUT.wav '-' is standard output\n"
    "  --info        print the module's summary as JSON instead of rendering\n"
    "  --help        print this text\n";

// Seconds as typed, kept as decimal digits so that floor(S x rate) is exact.
struct Seconds {
    uint64_t whole;
    std::string fraction;  // digits after the point
};

struct Options {
    bool help = false;
    bool info = false;
    int32_t rateHz = kDefaultRateHz;
    int64_t frames = kRenderOnce;
    std::string trace;
    std::string output;
    std::string input;
};

bool ParseRate(std::string_view text, int32_t* rateHz, std::string* error) {
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (!AllDigits(text) || ec != std::errc() || end != text.data() + text.size() ||
        value < kMinRateHz || value > kMaxRateHz) {
        *error = "--rate needs a whole number of Hz from 8000 to 192000, not '" +
                 std::string(text) + "'";
        return false;
    }
    *rateHz = value;
    return true;
}

bool ParseSeconds(std::string_view text, Seconds* seconds, std::string* error) {
    if (!text.empty() && text[0] == '-') {
        *error = "--seconds cannot be negative: '" + std::string(text) + "'";
        return false;
    }
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const bool wholeOk = whole.empty() || AllDigits(whole);
    const bool fractionOk = point == std::string_view::npos || fraction.empty() ||
                            AllDigits(fraction);
    uint64_t value = 0;
    const bool fits = whole.empty() ||
                      std::from_chars(whole.data(), whole.data() + whole.size(), value).ec ==
                          std::errc();
    if (!wholeOk || !fractionOk || (whole.empty() && fraction.empty()) || !fits) {
        *error = "--seconds needs a number of seconds such as 90 or 1.5, not '" +
                 std::string(text) + "'";
        return false;
    }
    *seconds = Seconds{value, std::string(fraction)};
    return true;
}

// floor(S x rate) without rounding error: the fraction's digits are multiplied in from the last
// one, each carry being the floor of the value so far over ten.
bool SecondsToFrames(const Seconds& seconds, int32_t rateHz, int64_t* frames) {
    uint64_t carry = 0;
    for (size_t i = seconds.fraction.size(); i-- > 0;) {
        carry = (static_cast<uint64_t>(seconds.fraction[i] - '0') * rateHz + carry) / 10;
    }
    const uint64_t limit = WavMaxFrames(kStereo);
    if (seconds.whole > limit / static_cast<uint64_t>(rateHz)) return false;
    const uint64_t total = seconds.whole * static_cast<uint64_t>(rateHz) + carry;
    if (total > limit) return false;
    *frames = static_cast<int64_t>(total);
    return true;
}

// Long options without a short form are told apart by these values, past any character.
enum LongOption { kOptionRate = 256, kOptionSeconds, kOptionTrace, kOptionInfo };

constexpr option kLongOptions[] = {
    {"rate", required_argument, nullptr, kOptionRate},
    {"seconds", required_argument, nullptr, kOptionSeconds},
    {"trace", required_argument, nullptr, kOptionTrace},
    {"info", no_argument, nullptr, kOptionInfo},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

// An output that is the input, or both outputs one file, would destroy what the other writes.
bool OutputsAreApart(const Options& options, std::string* error) {
    if (options.output == kStandardOutputName && options.trace == kStandardOutputName) {
        *error = "-o - and --trace - cannot both go to standard output";
        return false;
    }
    // An input named "-" is a file of that name, not standard output.
    const std::string input = options.input == kStandardOutputName ? "./-" : options.input;
    if (SameOutputFile(input, options.output)) {
        *error = "the output " + options.output + " is the input file";
        return false;
    }
    if (!options.trace.empty() && SameOutputFile(input, options.trace)) {
        *error = "the trace " + options.trace + " is the input file";
        return false;
    }
    if (!options.trace.empty() && SameOutputFile(options.output, options.trace)) {
        *error = "-o and --trace name the same file";
        return false;
    }
    return true;
}

// False with `error` set for a command line that cannot be followed.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    bool timed = false;
    Seconds seconds{};
    opterr = 0;  // its messages would name the program by its path, not as ours do
    for (int c; (c = getopt_long(argc, argv, ":ho:", kLongOptions, nullptr)) != -1;) {
        if (c == ':') {
            *error = OptionName(kLongOptions, optopt) + " needs a value";
            return false;
        }
        if (c == '?') {
            *error = RefusedOption(kLongOptions, optopt, argv[optind - 1]);
            return false;
        }
        if ((c == 'o' || c == kOptionTrace) && *optarg == '\0') {
            *error = OptionName(kLongOptions, c) + " needs a file name, not an empty one";
            return false;
        }
        switch (c) {
            case 'h': options->help = true; break;
            case kOptionInfo: options->info = true; break;
            case kOptionRate:
                if (!ParseRate(optarg, &options->rateHz, error)) return false;
                break;
            case kOptionSeconds:
                if (!ParseSeconds(optarg, &seconds, error)) return false;
                timed = true;
                break;
            case kOptionTrace: options->trace = optarg; break;
            case 'o': options->output = optarg; break;
        }
    }
    if (optind < argc) options->input = argv[optind];
    if (optind + 1 < argc) {
        *error = "one input file only, not also " + std::string(argv[optind + 1]);
        return false;
    }
    if (options->help) return true;
    if (options->input.empty()) {
        *error = "no input file";
        return false;
    }
    // The rate may follow --seconds on the line, so the length is known only here.
    if (timed && !SecondsToFrames(seconds, options->rateHz, &options->frames)) {
        *error = "--seconds is too long for one WAV file";
        return false;
    }
    if (options->output.empty()) {
        std::filesystem::path derived(options->input);
        derived.replace_extension(".wav");
        // A module already named .wav must not be overwritten by its own render.
        options->output = derived == options->input ? options->input + ".wav" : derived.string();
    }
    return options->info || OutputsAreApart(*options, error);
}

void PrintInfo(const Song* song) {
    int32_t samples = 0;
    for (int32_t i = 0; i < song->instrumentCount; ++i) {
        samples += song->instruments[i].sampleCount;
    }
    std::string orders;
    for (int32_t k = 0; k < song->songLength; ++k) {
        if (k) orders += ", ";
        orders += std::to_string(song->orderTable[k]);
    }
    std::printf(
        "{\"channels\": %d, \"songLength\": %d, \"restartPosition\": %d, \"orders\": [%s], "
        "\"patterns\": %d, \"instruments\": %d, \"samples\": %d, \"speed\": %d, \"bpm\": %d, "
        "\"frequencyTable\": \"%s\"}\n",
        song->channelCount, song->songLength, song->restartPosition, orders.c_str(),
        song->patternSlots, song->instrumentCount, samples, song->defaultSpeed, song->defaultBpm,
        (song->flags & kLinearFrequencyFlag) ? "linear" : "amiga");
}

void ReportUnwritable(const std::string& path) {
    std::fprintf(stderr, "xmrender: cannot write %s: %s\n",
                 path == kStandardOutputName ? "standard output" : path.c_str(),
                 std::strerror(errno));
}

std::string SongTime(int64_t frames, int32_t rateHz) {
    const int64_t centiseconds = frames * 100 / rateHz;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%02lld",
                  static_cast<long long>(centiseconds / 6000),
                  static_cast<long long>(centiseconds / 100 % 60),
                  static_cast<long long>(centiseconds % 100));
    return text;
}

// A failed render leaves every name as it was, but where the trace's rename fails after the WAV's
// went through: the WAV is complete then, and stays.
int Render(const Options& options, Song* song) {
    if (!OpenAudioOutput(options.rateHz)) {
        std::fprintf(stderr, "xmrender: the audio output does not open at %d Hz\n",
                     options.rateHz);
        return kExitFailure;
    }

    OutputFile wavFile;
    OutputFile traceFile;
    WavFile wav{};
    bool ok = OpenOutputFile(&wavFile, options.output);
    if (!ok) ReportUnwritable(options.output);
    if (ok && !options.trace.empty() && !OpenOutputFile(&traceFile, options.trace)) {
        ReportUnwritable(options.trace);
        ok = false;
    }
    // A render of known length gets its exact header at once; one played once to its end gets the
    // stream header, made exact at the end wherever the output can seek.
    if (ok) {
        ok = OpenWavStream(&wav, wavFile.file, options.rateHz, kStereo,
                           options.frames == kRenderOnce ? kWavUnknownFrames : options.frames);
        if (!ok) ReportUnwritable(options.output);
    }

    RenderResult result{};
    if (ok) {
        ok = RenderSong(song, RenderSettings{options.frames, &wav, traceFile.file}, &result) &&
             FinishWav(&wav);
        if (!ok) {
            // The file whose write failed, and why (a full disk: No space left on device).
            if (errno == 0) errno = EIO;
            const bool traceFailed = traceFile.file && std::ferror(traceFile.file);
            ReportUnwritable(traceFailed ? options.trace : options.output);
        }
    }
    CloseAudioOutput();
    // Both are written out before either takes its name, so that a last write failing in one
    // leaves both names as they were.
    const auto unwritable = [&ok](const std::string& path) {
        ReportUnwritable(path);
        ok = false;
    };
    if (ok && !CloseOutputFile(&wavFile)) unwritable(options.output);
    if (ok && !CloseOutputFile(&traceFile)) unwritable(options.trace);
    {
        // One interrupt cannot fall between the two names: both are new, or both as they were.
        const HandledSignalsHeld held;
        if (ok && !CommitOutputFile(&wavFile)) unwritable(options.output);
        if (ok && !options.trace.empty() && !CommitOutputFile(&traceFile)) {
            unwritable(options.trace);
        }
        DiscardOutputFile(&wavFile);
        DiscardOutputFile(&traceFile);
    }
    if (!ok) return kExitFailure;

    const double songSeconds = static_cast<double>(result.frames) / options.rateHz;
    std::fprintf(stderr, "xmrender: %lld frames, song time %s%s, %.1fx real time\n",
                 static_cast<long long>(result.frames),
                 SongTime(result.frames, options.rateHz).c_str(),
                 result.capped ? " (cut at the 20-minute cap)" : "",
                 result.wallSeconds > 0 ? songSeconds / result.wallSeconds : 0.0);
    return 0;
}

// What went to standard output must have arrived there: a full disk is a failure too.
int FlushStandardOutput(int status) {
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && status == 0) {
        std::fprintf(stderr, "xmrender: cannot write standard output: %s\n",
                     std::strerror(errno));
        return kExitFailure;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    RemoveTemporariesOnSignals();
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "xmrender: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return FlushStandardOutput(0);
    }
    std::string loadError;
    Song* song = LoadXmFile(options.input, &loadError);
    if (!song) {
        std::fprintf(stderr, "xmrender: %s\n", loadError.c_str());
        return kExitFailure;
    }
    int status = 0;
    if (options.info) {
        PrintInfo(song);
    } else {
        status = Render(options, song);
    }
    FreeSong(song);
    return FlushStandardOutput(status);
}
