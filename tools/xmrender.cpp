// xmrender: renders an XM module offline to a WAV file through the demo's own engine, or prints
// its summary. Exit status 0 on success, 1 when the module cannot be read, loaded or written out,
// 2 for a bad command line.
#include <unistd.h>

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
#include "sound/memory_files.h"
#include "sound/module.h"
#include "sound/song_control.h"
#include "sound/xm_loader.h"
#include "tools/song_render.h"
#include "tools/wav_writer.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int32_t kDefaultRateHz = 44100;
constexpr int32_t kMinRateHz = 8000;
constexpr int32_t kMaxRateHz = 192000;
constexpr int32_t kStereo = 2;
constexpr char kStandardOutput[] = "-";
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

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

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

// False with `error` set for a command line that cannot be followed.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    bool timed = false;
    Seconds seconds{};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool takesValue = arg == "--rate" || arg == "--seconds" || arg == "--trace" ||
                                arg == "-o";
        if (takesValue && i + 1 >= argc) {
            *error = std::string(arg) + " needs a value";
            return false;
        }
        if (arg == "--help" || arg == "-h") {
            options->help = true;
        } else if (arg == "--info") {
            options->info = true;
        } else if (arg == "--rate") {
            if (!ParseRate(argv[++i], &options->rateHz, error)) return false;
        } else if (arg == "--seconds") {
            if (!ParseSeconds(argv[++i], &seconds, error)) return false;
            timed = true;
        } else if (arg == "--trace") {
            options->trace = argv[++i];
        } else if (arg == "-o") {
            options->output = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option " + std::string(arg);
            return false;
        } else if (!options->input.empty()) {
            *error = "one input file only, not also " + std::string(arg);
            return false;
        } else {
            options->input = arg;
        }
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
    if (options->output == kStandardOutput && options->trace == kStandardOutput) {
        *error = "-o - and --trace - cannot both go to standard output";
        return false;
    }
    if (options->output.empty()) {
        std::filesystem::path derived(options->input);
        derived.replace_extension(".wav");
        // A module already named .wav must not be overwritten by its own render.
        options->output = derived == options->input ? options->input + ".wav" : derived.string();
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = std::strerror(errno);
        return false;
    }
    uint8_t chunk[1 << 16];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + n);
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) *error = std::strerror(readErrno);
    return !failed;
}

// The module is registered under its own path, so the engine's file name is the user's.
Song* LoadModule(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadWholeFile(path, &bytes, &reason)) {
        std::fprintf(stderr, "xmrender: cannot read %s: %s\n", path.c_str(), reason.c_str());
        return nullptr;
    }
    AddMemoryFile(path, std::move(bytes));
    UseMemoryFileHooks();
    Song* song = CreateSong(path.c_str(), nullptr);
    if (!song) {
        const XmLoadError error = LastXmLoadError();
        std::fprintf(stderr, "xmrender: %s: %s\n", path.c_str(),
                     error == XmLoadError::None ? "cannot be loaded"
                                                : XmLoadErrorText(error));
    }
    return song;
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

// Output goes to a name of its own first and takes the asked-for name only once everything was
// written, so a failed run leaves no file behind that looks complete. Standard output is written
// as it goes: it has no name to take.
std::string PartialName(const std::string& path) {
    if (path.empty() || path == kStandardOutput) return "";
    return path + ".partial-" + std::to_string(getpid());
}

std::FILE* OpenOutput(const std::string& partial) {
    return partial.empty() ? stdout : std::fopen(partial.c_str(), "wb");
}

bool CloseOutput(std::FILE* file) {
    return (file == stdout ? std::fflush(file) : std::fclose(file)) == 0;
}

bool Publish(const std::string& partial, const std::string& path) {
    if (partial.empty() || std::rename(partial.c_str(), path.c_str()) == 0) return true;
    std::fprintf(stderr, "xmrender: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
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

int Render(const Options& options, Song* song) {
    if (!OpenAudioOutput(options.rateHz)) {
        std::fprintf(stderr, "xmrender: the audio output does not open at %d Hz\n",
                     options.rateHz);
        return kExitFailure;
    }

    const std::string wavPartial = PartialName(options.output);
    const std::string tracePartial = PartialName(options.trace);
    WavFile wav{};
    std::FILE* trace = nullptr;
    // On standard output a render of known length gets its exact header at once; one played once
    // to its end gets the stream header, corrected at the end where standard output is a file.
    bool ok = wavPartial.empty()
                  ? OpenWavStream(&wav, stdout, options.rateHz, kStereo,
                                  options.frames == kRenderOnce ? kWavUnknownFrames : options.frames)
                  : OpenWav(&wav, wavPartial.c_str(), options.rateHz, kStereo);
    if (!ok) {
        std::fprintf(stderr, "xmrender: cannot write %s: %s\n", options.output.c_str(),
                     std::strerror(errno));
    }
    if (ok && !options.trace.empty()) {
        trace = OpenOutput(tracePartial);
        if (!trace) {
            std::fprintf(stderr, "xmrender: cannot write %s: %s\n", options.trace.c_str(),
                         std::strerror(errno));
            ok = false;
        }
    }

    RenderResult result{};
    if (ok) {
        ok = RenderSong(song, RenderSettings{options.frames, &wav, trace}, &result);
        if (!ok) std::fprintf(stderr, "xmrender: writing the output failed\n");
    }
    CloseAudioOutput();
    const bool wavClosed = FinishWav(&wav);
    const bool traceClosed = !trace || CloseOutput(trace);
    if (ok && (!wavClosed || !traceClosed)) {
        std::fprintf(stderr, "xmrender: writing the output failed\n");
        ok = false;
    }
    ok = ok && Publish(wavPartial, options.output);
    if (ok && trace && !Publish(tracePartial, options.trace)) {
        if (!wavPartial.empty()) std::remove(options.output.c_str());
        ok = false;
    }
    if (!ok) {
        if (!wavPartial.empty()) std::remove(wavPartial.c_str());
        if (!tracePartial.empty()) std::remove(tracePartial.c_str());
        return kExitFailure;
    }

    const double songSeconds = static_cast<double>(result.frames) / options.rateHz;
    std::fprintf(stderr, "xmrender: %lld frames, song time %s%s, %.1fx real time\n",
                 static_cast<long long>(result.frames),
                 SongTime(result.frames, options.rateHz).c_str(),
                 result.capped ? " (cut at the 20-minute cap)" : "",
                 result.wallSeconds > 0 ? songSeconds / result.wallSeconds : 0.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "xmrender: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Song* song = LoadModule(options.input);
    if (!song) return kExitFailure;
    int status = 0;
    if (options.info) {
        PrintInfo(song);
    } else {
        status = Render(options, song);
    }
    FreeSong(song);
    return status;
}
