#include "tools/capture/capture_options.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <string_view>

#include "tools/command_line.h"
#include "tools/output_file.h"

const char kCaptureUsage[] =
    "usage: novaline-capture [--fps N] [--seconds S | --end-after S] [--escape-at T]\n"
    "                        [--frames DIR [--every N | --at T1,T2,...]] [--wav FILE]\n"
    "                        [--video FILE] [--contact-sheet FILE] [--scale N | --native]\n"
    "                        [--hash] [--digest FILE] [--quiet]\n"
    "\n"
    "Runs the show offline on a virtual clock and records it, the same bytes every run.\n"
    "  --fps N              frames per second of show time, 10..240 (default 70)\n"
    "  --seconds S          stop after S seconds of show time\n"
    "  --end-after S        hold Escape once scene 8 has run S seconds (default 10)\n"
    "  --escape-at T        press Escape at show time T, ending the scene running then\n"
    "  --frames DIR         PNG frames DIR/frame-NNNNNN.png, 320 x 200\n"
    "  --every N            only every Nth frame (0, N, 2N, ...)\n"
    "  --at T1,T2,...       only the frames on screen at these show times\n"
    "  --wav FILE           every sample played, 16-bit stereo 44100 Hz ('-': standard output)\n"
    "  --video FILE         .mp4 (H.264, AAC) or .mkv (lossless FFV1, FLAC), through ffmpeg\n"
    "  --contact-sheet FILE PNG grid: first, middle and last frame of every scene and flash\n"
    "  --scale N            video of 320N x 240N, 1..8 (default 4: 1280 x 960)\n"
    "  --native             video of 320 x 200 with a 6:5 sample aspect ratio\n"
    "  --hash               print the SHA-256 of all frames and all audio on standard output\n"
    "  --digest FILE        per scene and flash, the SHA-256 of its frames and of its sound\n"
    "  --quiet              no progress bar, only the summary line\n"
    "  --help               print this text\n";

namespace {

constexpr int32_t kMinFps = 10;  // below, one frame's sound would pass the audio ring
constexpr int32_t kMaxFps = 240;
constexpr int32_t kMaxScale = 8;
constexpr uint64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr uint64_t kMaxSeconds = 86'400;

enum LongOption {
    kOptionFps = 256,
    kOptionSeconds,
    kOptionEndAfter,
    kOptionEscapeAt,
    kOptionFrames,
    kOptionEvery,
    kOptionAt,
    kOptionWav,
    kOptionVideo,
    kOptionContactSheet,
    kOptionScale,
    kOptionNative,
    kOptionHash,
    kOptionDigest,
    kOptionQuiet,
};

constexpr option kLongOptions[] = {
    {"fps", required_argument, nullptr, kOptionFps},
    {"seconds", required_argument, nullptr, kOptionSeconds},
    {"end-after", required_argument, nullptr, kOptionEndAfter},
    {"escape-at", required_argument, nullptr, kOptionEscapeAt},
    {"frames", required_argument, nullptr, kOptionFrames},
    {"every", required_argument, nullptr, kOptionEvery},
    {"at", required_argument, nullptr, kOptionAt},
    {"wav", required_argument, nullptr, kOptionWav},
    {"video", required_argument, nullptr, kOptionVideo},
    {"contact-sheet", required_argument, nullptr, kOptionContactSheet},
    {"scale", required_argument, nullptr, kOptionScale},
    {"native", no_argument, nullptr, kOptionNative},
    {"hash", no_argument, nullptr, kOptionHash},
    {"digest", required_argument, nullptr, kOptionDigest},
    {"quiet", no_argument, nullptr, kOptionQuiet},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

bool ParseWhole(std::string_view text, int64_t low, int64_t high, int64_t* value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return AllDigits(text) && ec == std::errc() && end == text.data() + text.size() &&
           *value >= low && *value <= high;
}

// Decimal seconds such as 90, 1.5 or .25, kept exactly to the nanosecond.
bool ParseTime(std::string_view text, ShowTime* time) {
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if ((whole.empty() && fraction.empty()) || (!whole.empty() && !AllDigits(whole)) ||
        (!fraction.empty() && !AllDigits(fraction)) || fraction.size() > 9) {
        return false;
    }
    int64_t seconds = 0;
    if (!whole.empty() && !ParseWhole(whole, 0, kMaxSeconds, &seconds)) return false;
    uint64_t nanoseconds = static_cast<uint64_t>(seconds) * kNanosecondsPerSecond;
    uint64_t digitValue = kNanosecondsPerSecond / 10;
    for (char c : fraction) {
        nanoseconds += static_cast<uint64_t>(c - '0') * digitValue;
        digitValue /= 10;
    }
    if (nanoseconds > kMaxSeconds * kNanosecondsPerSecond) return false;
    time->nanoseconds = nanoseconds;
    return true;
}

bool ParseTimeList(std::string_view text, std::vector<ShowTime>* times) {
    times->clear();
    while (true) {
        const size_t comma = text.find(',');
        ShowTime time;
        if (!ParseTime(text.substr(0, comma), &time)) return false;
        times->push_back(time);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

bool EndsWith(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    return std::equal(tail.begin(), tail.end(), text.end() - static_cast<long>(tail.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b + 32 : b); });
}

// Two outputs naming one file would destroy each other.
bool OutputsAreApart(const CaptureOptions& o, std::string* error) {
    const std::pair<const char*, const std::string*> outputs[] = {
        {"--wav", &o.wav},
        {"--video", &o.video},
        {"--contact-sheet", &o.contactSheet},
        {"--digest", &o.digest}};
    for (size_t i = 0; i < std::size(outputs); ++i) {
        for (size_t j = i + 1; j < std::size(outputs); ++j) {
            const std::string& a = *outputs[i].second;
            const std::string& b = *outputs[j].second;
            if (!a.empty() && !b.empty() && SameOutputFile(a, b)) {
                *error = std::string(outputs[i].first) + " and " + outputs[j].first +
                         " name the same file";
                return false;
            }
        }
    }
    return true;
}

bool CheckCombination(CaptureOptions* o, bool endAfterGiven, bool everyGiven, bool scaleGiven,
                      std::string* error) {
    if (o->timed && endAfterGiven) {
        *error = "--seconds and --end-after cannot both be given";
    } else if (everyGiven && !o->at.empty()) {
        *error = "--every and --at cannot both be given";
    } else if ((everyGiven || !o->at.empty()) && o->framesDirectory.empty()) {
        *error = "--every and --at need --frames DIR";
    } else if (scaleGiven && o->native) {
        *error = "--scale and --native cannot both be given";
    } else if (o->timed && o->seconds.nanoseconds == 0) {
        *error = "--seconds needs more than 0 seconds";
    } else if (o->hash &&
               (o->wav == kStandardOutputName || o->contactSheet == kStandardOutputName ||
                o->digest == kStandardOutputName)) {
        *error = "--hash prints on standard output, which an output named '-' takes";
    } else if (o->video == kStandardOutputName) {
        *error = "--video needs a file: the video is finished in place, which a pipe cannot do";
    } else if (!o->video.empty() && o->videoKind == VideoKind::None) {
        *error = "--video needs a name ending in .mp4 or .mkv, not '" + o->video + "'";
    } else {
        return OutputsAreApart(*o, error);
    }
    return false;
}

}  // namespace

uint64_t FloorCount(ShowTime time, uint64_t perSecond) {
    return static_cast<uint64_t>(static_cast<unsigned __int128>(time.nanoseconds) * perSecond /
                                 kNanosecondsPerSecond);
}

uint64_t CeilCount(ShowTime time, uint64_t perSecond) {
    const auto product = static_cast<unsigned __int128>(time.nanoseconds) * perSecond;
    return static_cast<uint64_t>((product + kNanosecondsPerSecond - 1) / kNanosecondsPerSecond);
}

bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* o, std::string* error) {
    bool endAfterGiven = false;
    bool everyGiven = false;
    bool scaleGiven = false;
    opterr = 0;  // its messages would name the program by its path, not as ours do
    for (int c; (c = getopt_long(argc, argv, ":h", kLongOptions, nullptr)) != -1;) {
        if (c == ':') {
            *error = OptionName(kLongOptions, optopt) + " needs a value";
            return false;
        }
        if (c == '?') {
            *error = RefusedOption(kLongOptions, optopt, argv[optind - 1]);
            return false;
        }
        const std::string_view value = optarg ? optarg : "";
        int64_t number = 0;
        bool ok = true;
        switch (c) {
            case 'h':
                o->help = true;
                break;
            case kOptionFps:
                ok = ParseWhole(value, kMinFps, kMaxFps, &number);
                o->framesPerSecond = static_cast<int32_t>(number);
                break;
            case kOptionSeconds:
                ok = ParseTime(value, &o->seconds);
                o->timed = true;
                break;
            case kOptionEndAfter:
                ok = ParseTime(value, &o->endAfter);
                endAfterGiven = true;
                break;
            case kOptionEscapeAt:
                ok = ParseTime(value, &o->escapeTime);
                o->escapeAt = true;
                break;
            case kOptionEvery:
                ok = ParseWhole(value, 1, UINT32_MAX, &number);
                o->every = static_cast<uint32_t>(number);
                everyGiven = true;
                break;
            case kOptionAt:
                ok = ParseTimeList(value, &o->at);
                break;
            case kOptionScale:
                ok = ParseWhole(value, 1, kMaxScale, &number);
                o->scale = static_cast<int32_t>(number);
                scaleGiven = true;
                break;
            case kOptionFrames:
                o->framesDirectory = value;
                break;
            case kOptionWav:
                o->wav = value;
                break;
            case kOptionVideo:
                o->video = value;
                o->videoKind = EndsWith(value, ".mp4")   ? VideoKind::Mp4
                               : EndsWith(value, ".mkv") ? VideoKind::Mkv
                                                         : VideoKind::None;
                break;
            case kOptionContactSheet:
                o->contactSheet = value;
                break;
            case kOptionNative:
                o->native = true;
                break;
            case kOptionHash:
                o->hash = true;
                break;
            case kOptionDigest:
                o->digest = value;
                break;
            case kOptionQuiet:
                o->quiet = true;
                break;
        }
        if (optarg && value.empty()) ok = false;
        if (!ok) {
            *error = "bad value for " + OptionName(kLongOptions, c) + ": '" +
                     std::string(value) + "'";
            if (c == kOptionFps) *error += " (a whole number from 10 to 240)";
            if (c == kOptionScale) *error += " (a whole number from 1 to 8)";
            return false;
        }
    }
    if (optind < argc) {
        *error = "unexpected argument '" + std::string(argv[optind]) + "'";
        return false;
    }
    return o->help || CheckCombination(o, endAfterGiven, everyGiven, scaleGiven, error);
}
