// xmrender: renders an XM module offline to a WAV file through the demo's own engine, or prints
// its summary. Exit status 0 on success, 1 when the module cannot be read, loaded or written out,
// 2 for a bad command line.
#include <getopt.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "project_version.h"
#include "replay/song_control.h"
#include "sound/audio_output.h"
#include "sound/module.h"
#include "sound/xm_format.h"
#include "tools/command_line.h"
#include "tools/output_file.h"
#include "tools/song_render.h"
#include "tools/wav_writer.h"
#include "tools/xm_file_reader.h"

namespace {

constexpr char kTool[] = "xmrender";
constexpr int kExitFailure = 1;
constexpr int32_t kDefaultRateHz = 44100;
constexpr int32_t kStereo = 2;
constexpr char kUsage[] =
    "usage: xmrender [-f] [--rate HZ] [--seconds S] [--trace FILE] [-o OUT.wav] INPUT.xm...\n"
    "       xmrender --info INPUT.xm...\n"
    "       xmrender --help | --version\n"
    "\n"
    "Renders each INPUT.xm offline, as fast as the machine goes, to a 16-bit stereo WAV file.\n"
    "  --rate HZ     output rate, 8000..192000 (default 44100)\n"
    "  --seconds S   exactly floor(S x HZ) frames, looping the song as it would play; without\n"
    "                it the song is rendered once, up to where it would repeat (at most 20\n"
    "                minutes)\n"
    "  --trace FILE  CSV of every Voice after every tick of the output (one input only)\n"
    "  -o OUT.wav    the WAV file (one input only; default: each INPUT with the extension\n"
    "                .wav); FILE or OUT.wav '-' is standard output\n"
    "  -f, --force   replace files that exist already\n"
    "  --info        print each module's summary as one line of JSON instead of rendering\n"
    "  --help        print this text\n"
    "  --version     print the version\n";

struct Options {
    bool help = false;
    bool version = false;
    bool info = false;
    bool force = false;
    int32_t rateHz = kDefaultRateHz;
    int64_t frames = kRenderOnce;
    std::string trace;
    std::string output;  // given with -o, for the one input
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;  // one for each input
};

// Long options without a short form are told apart by these values, past any character.
enum LongOption { kOptionRate = 256, kOptionSeconds, kOptionTrace, kOptionInfo, kOptionVersion };

constexpr option kLongOptions[] = {
    {"rate", required_argument, nullptr, kOptionRate},
    {"seconds", required_argument, nullptr, kOptionSeconds},
    {"trace", required_argument, nullptr, kOptionTrace},
    {"info", no_argument, nullptr, kOptionInfo},
    {"force", no_argument, nullptr, 'f'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kOptionVersion},
    {nullptr, 0, nullptr, 0},
};

// An input named "-" is a file of that name, not standard input.
std::string InputPath(const std::string& input) {
    return input == kStandardOutputName ? "./-" : input;
}

// An output that is an input, or two outputs one file, would destroy what the other writes.
bool OutputsAreApart(const Options& options, std::string* error) {
    if (options.output == kStandardOutputName && options.trace == kStandardOutputName) {
        *error = "-o - and --trace - cannot both go to standard output";
        return false;
    }
    for (size_t i = 0; i < options.inputs.size(); ++i) {
        const std::string& output = options.outputs[i];
        for (size_t j = 0; j < options.inputs.size(); ++j) {
            if (SameOutputFile(InputPath(options.inputs[j]), output)) {
                *error = "the output " + output + " is the input file " + options.inputs[j];
                return false;
            }
            if (j > i && SameOutputFile(output, options.outputs[j])) {
                *error = options.inputs[i] + " and " + options.inputs[j] +
                         " would both render to " + output;
                return false;
            }
        }
    }
    if (options.trace.empty()) return true;
    if (SameOutputFile(InputPath(options.inputs[0]), options.trace)) {
        *error = "the trace " + options.trace + " is the input file";
        return false;
    }
    if (SameOutputFile(options.outputs[0], options.trace)) {
        *error = "-o and --trace name the same file";
        return false;
    }
    return true;
}

// False with `error` set for a command line that cannot be followed.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    bool timed = false;
    TimeValue seconds;
    int64_t number = 0;
    opterr = 0;  // its messages would name the program by its path, not as ours do
    for (int c; (c = getopt_long(argc, argv, ":fho:", kLongOptions, nullptr)) != -1;) {
        if (OptionFault(c, kLongOptions, argv, error)) return false;
        const std::string name = OptionName(kLongOptions, c);
        bool ok = true;
        switch (c) {
            case 'h': options->help = true; break;
            case kOptionVersion: options->version = true; break;
            case 'f': options->force = true; break;
            case kOptionInfo: options->info = true; break;
            case kOptionRate:
                ok = ParseWholeOption(name, optarg, kMinOutputRateHz, kMaxOutputRateHz, &number,
                                      error);
                options->rateHz = static_cast<int32_t>(number);
                break;
            case kOptionSeconds:
                ok = ParseTimeOption(name, optarg, true, &seconds, error);
                timed = true;
                break;
            case kOptionTrace: ok = ParseFileOption(name, optarg, &options->trace, error); break;
            case 'o': ok = ParseFileOption(name, optarg, &options->output, error); break;
        }
        if (!ok) return false;
    }
    if (options->help || options->version) return true;
    if (!TakeOperands(argc, argv, optind, 1, -1, "input file", &options->inputs, error)) {
        return false;
    }
    const size_t count = options->inputs.size();
    if (count > 1 && !options->info && (!options->output.empty() || !options->trace.empty())) {
        *error = std::string(options->output.empty() ? "--trace" : "-o") + " names one file, but " +
                 std::to_string(count) + " inputs are given";
        return false;
    }
    // The rate may follow --seconds on the line, so the length is known only here.
    if (timed) {
        const uint64_t frames = FloorCount(seconds, static_cast<uint64_t>(options->rateHz));
        if (frames > WavMaxFrames(kStereo)) {
            *error = "--seconds is too long for one WAV file at " +
                     std::to_string(options->rateHz) + " Hz (at most " +
                     std::to_string(WavMaxFrames(kStereo) / options->rateHz) + " seconds)";
            return false;
        }
        options->frames = static_cast<int64_t>(frames);
    }
    for (const std::string& input : options->inputs) {
        if (!options->output.empty()) {
            options->outputs.push_back(options->output);
            continue;
        }
        std::filesystem::path derived(input);
        derived.replace_extension(".wav");
        // A module already named .wav must not be overwritten by its own render.
        options->outputs.push_back(derived == input ? input + ".wav" : derived.string());
    }
    return options->info || OutputsAreApart(*options, error);
}

// A name as a JSON string; the reader made every byte printable ASCII.
std::string JsonText(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string JsonTexts(const std::vector<std::string>& texts) {
    std::string list;
    for (const std::string& text : texts) list += (list.empty() ? "" : ", ") + JsonText(text);
    return "[" + list + "]";
}

// How long the song plays once, as a render to its end finds it; false when the output does not
// open.
bool SongDuration(Song* song, double* seconds, bool* capped) {
    if (!OpenAudioOutput(kDefaultRateHz)) return false;
    RenderResult result{};
    const bool ok = RenderSong(song, RenderSettings{kRenderOnce, nullptr, nullptr}, &result);
    CloseAudioOutput();
    *seconds = static_cast<double>(result.frames) / kDefaultRateHz;
    *capped = result.capped;
    return ok;
}

int PrintInfo(Song* song, const XmFileSummary& summary) {
    double seconds = 0;
    bool capped = false;
    if (!SongDuration(song, &seconds, &capped)) {
        std::fprintf(stderr, "xmrender: the song's length cannot be measured\n");
        return kExitFailure;
    }
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
        "{\"title\": %s, \"tracker\": %s, \"durationSeconds\": %.3f, \"durationCapped\": %s, "
        "\"channels\": %d, \"songLength\": %d, \"restartPosition\": %d, \"orders\": [%s], "
        "\"patterns\": %d, \"instruments\": %d, \"samples\": %d, \"speed\": %d, \"bpm\": %d, "
        "\"frequencyTable\": \"%s\", \"instrumentNames\": %s, \"sampleNames\": %s}\n",
        JsonText(summary.title).c_str(), JsonText(summary.tracker).c_str(), seconds,
        capped ? "true" : "false", song->channelCount, song->songLength, song->restartPosition,
        orders.c_str(), song->patternSlots, song->instrumentCount, samples, song->defaultSpeed,
        song->defaultBpm, (song->flags & kLinearFrequencyFlag) ? "linear" : "amiga",
        JsonTexts(summary.instrumentNames).c_str(), JsonTexts(summary.sampleNames).c_str());
    return 0;
}

void ReportUnwritable(const std::string& path, int error) {
    std::fprintf(stderr, "xmrender: %s\n", CannotWrite(path, error).c_str());
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
int Render(const Options& options, const std::string& output, Song* song) {
    if (!OpenAudioOutput(options.rateHz)) {
        std::fprintf(stderr, "xmrender: the audio output does not open at %d Hz\n",
                     options.rateHz);
        return kExitFailure;
    }

    const OutputMode mode = options.force ? OutputMode::Replace : OutputMode::Keep;
    OutputFile wavFile;
    OutputFile traceFile;
    WavFile wav{};
    bool ok = OpenOutputFile(&wavFile, output, mode);
    if (!ok) ReportUnwritable(output, errno);
    if (ok && !options.trace.empty() && !OpenOutputFile(&traceFile, options.trace, mode)) {
        ReportUnwritable(options.trace, errno);
        ok = false;
    }
    // A render of known length gets its exact header at once; one played once to its end gets the
    // stream header, made exact at the end wherever the output can seek.
    if (ok) {
        ok = OpenWavStream(&wav, wavFile.file, options.rateHz, kStereo,
                           options.frames == kRenderOnce ? kWavUnknownFrames : options.frames);
        if (!ok) ReportUnwritable(output, errno);
    }

    RenderResult result{};
    if (ok) {
        ok = RenderSong(song, RenderSettings{options.frames, &wav, traceFile.file}, &result) &&
             FinishWav(&wav);
        // A failed write that set no errno still names a reason.
        const int error = errno != 0 ? errno : EIO;
        // The file whose write failed is named, with the system's reason.
        if (!ok) {
            const bool traceFailed = traceFile.file && std::ferror(traceFile.file);
            ReportUnwritable(traceFailed ? options.trace : output, error);
        }
    }
    CloseAudioOutput();
    // Both are written out before either takes its name, so that a last write failing in one
    // leaves both names as they were.
    const auto unwritable = [&ok](const std::string& path) {
        ReportUnwritable(path, errno);
        ok = false;
    };
    if (ok && !CloseOutputFile(&wavFile)) unwritable(output);
    if (ok && !CloseOutputFile(&traceFile)) unwritable(options.trace);
    {
        // One interrupt cannot fall between the two names: both are new, or both as they were.
        const HandledSignalsHeld held;
        if (ok && !CommitOutputFile(&wavFile)) unwritable(output);
        if (ok && !options.trace.empty() && !CommitOutputFile(&traceFile)) {
            unwritable(options.trace);
        }
        DiscardOutputFile(&wavFile);
        DiscardOutputFile(&traceFile);
    }
    if (!ok) return kExitFailure;

    const double songSeconds = static_cast<double>(result.frames) / options.rateHz;
    // With several inputs each line says which render it reports.
    const std::string which = options.inputs.size() > 1 ? output + ": " : "";
    std::fprintf(stderr, "xmrender: %s%lld frames, song time %s%s, %.1fx real time\n",
                 which.c_str(), static_cast<long long>(result.frames),
                 SongTime(result.frames, options.rateHz).c_str(),
                 result.capped ? " (cut at the 20-minute cap)" : "",
                 result.wallSeconds > 0 ? songSeconds / result.wallSeconds : 0.0);
    return 0;
}

// One input rendered or summed up; its failure is its own, and the next input is taken all the
// same.
int RenderOrInfo(const Options& options, size_t index) {
    std::string loadError;
    XmFileSummary summary;
    Song* song = LoadXmFile(options.inputs[index], &loadError, &summary);
    if (!song) {
        std::fprintf(stderr, "xmrender: %s\n", loadError.c_str());
        return kExitFailure;
    }
    if (!summary.warning.empty()) std::fprintf(stderr, "xmrender: %s\n", summary.warning.c_str());
    const int status =
        options.info ? PrintInfo(song, summary) : Render(options, options.outputs[index], song);
    FreeSong(song);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    RemoveTemporariesOnSignals();
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) return ReportUsageError(kTool, error);
    if (options.help) return PrintToStandardOutput(kTool, kUsage);
    if (options.version) return PrintVersion(kTool);
    int status = 0;
    for (size_t i = 0; i < options.inputs.size(); ++i) {
        if (RenderOrInfo(options, i) != 0) status = kExitFailure;
    }
    // What went to standard output must have arrived there: a full disk is a failure too.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && status == 0) {
        std::fprintf(stderr, "xmrender: cannot write standard output: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    return status;
}
