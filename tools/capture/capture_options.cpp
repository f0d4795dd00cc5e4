#include "tools/capture/capture_options.h"

#include <getopt.h>

#include <algorithm>
#include <string_view>

#include "tools/command_line.h"
#include "tools/output_file.h"

const char kCaptureUsage[] =
    "usage: novaline-capture [--fps N] [--seconds S | --end-after S] [--escape-at T]\n"
    "                        [--hold-escape-at T] [--frames DIR [--every N | --at T1,T2,...]]\n"
    "                        [--wav FILE] [--video FILE [--crf N]] [--contact-sheet FILE]\n"
    "                        [--scale N | --native] [--hash] [--digest FILE] [--quiet] [-f]\n"
    "       novaline-capture --help | --version\n"
    "\n"
    "Runs the show offline on a virtual clock and records it, the same bytes every run.\n"
    "  --fps N              frames per second of show time, 10..240 (default 70)\n"
    "  --seconds S          stop after S seconds of show time\n"
    "  --end-after S        hold Escape once scene 8 has run S seconds (default 10)\n"
    "  --escape-at T        press Escape at show time T, ending the scene running then\n"
    "  --hold-escape-at T   hold Escape from show time T on: after half a second every\n"
    "                       remaining scene shows one frame and the show ends\n"
    "  --frames DIR         PNG frames DIR/frame-NNNNNN.png, 320 x 200 (DIR must exist)\n"
    "  --every N            only every Nth frame (0, N, 2N, ...)\n"
    "  --at T1,T2,...       only the frames on screen at these show times\n"
    "  --wav FILE           every sample played, 16-bit stereo 44100 Hz ('-': standard output)\n"
    "  --video FILE         .mp4 (H.264, AAC) or .mkv (lossless FFV1, FLAC), through ffmpeg\n"
    "  --crf N              MP4 quality, 0 (lossless) to 51 (smallest); default 23.3\n"
    "  --contact-sheet FILE PNG grid: first, middle and last frame of every scene and flash\n"
    "  --scale N            video of 320N x 200N, 1..8, shown 4:3 (default 4: 1280 x 800)\n"
    "  --native             video of 320 x 200, as --scale 1\n"
    "  --hash               print the SHA-256 of all frames and all audio on standard output\n"
    "  --digest FILE        per scene and flash, the SHA-256 of its frames and of its sound\n"
    "  --quiet              no progress bar, only the summary line\n"
    "  -f, --force          replace files that exist already\n"
    "  --help               print this text\n"
    "  --version            print the version\n";

namespace {

constexpr int32_t kMinFps = 10;  // below, one frame's sound would pass the audio ring
constexpr int32_t kMaxFps = 240;
constexpr int32_t kMaxScale = 8;
constexpr int32_t kMaxCrf = 51;  // x264's scale for 8-bit video

enum LongOption {
    kOptionFps = 256,
    kOptionSeconds,
    kOptionEndAfter,
    kOptionEscapeAt,
    kOptionHoldEscapeAt,
    kOptionFrames,
    kOptionEvery,
    kOptionAt,
    kOptionWav,
    kOptionVideo,
    kOptionContactSheet,
    kOptionScale,
    kOptionCrf,
    kOptionNative,
    kOptionHash,
    kOptionDigest,
    kOptionQuiet,
    kOptionVersion,
};

constexpr option kLongOptions[] = {
    {"fps", required_argument, nullptr, kOptionFps},
    {"seconds", required_argument, nullptr, kOptionSeconds},
    {"end-after", required_argument, nullptr, kOptionEndAfter},
    {"escape-at", required_argument, nullptr, kOptionEscapeAt},
    {"hold-escape-at", required_argument, nullptr, kOptionHoldEscapeAt},
    {"frames", required_argument, nullptr, kOptionFrames},
    {"every", required_argument, nullptr, kOptionEvery},
    {"at", required_argument, nullptr, kOptionAt},
    {"wav", required_argument, nullptr, kOptionWav},
    {"video", required_argument, nullptr, kOptionVideo},
    {"contact-sheet", required_argument, nullptr, kOptionContactSheet},
    {"scale", required_argument, nullptr, kOptionScale},
    {"crf", required_argument, nullptr, kOptionCrf},
    {"native", no_argument, nullptr, kOptionNative},
    {"hash", no_argument, nullptr, kOptionHash},
    {"digest", required_argument, nullptr, kOptionDigest},
    {"quiet", no_argument, nullptr, kOptionQuiet},
    {"force", no_argument, nullptr, 'f'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kOptionVersion},
    {nullptr, 0, nullptr, 0},
};

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
    } else if (o->hash &&
               (o->wav == kStandardOutputName || o->contactSheet == kStandardOutputName ||
                o->digest == kStandardOutputName)) {
        *error = "--hash prints on standard output, which an output named '-' takes";
    } else if (o->video == kStandardOutputName) {
        *error = "--video needs a file: the video is finished in place, which a pipe cannot do";
    } else if (!o->video.empty() && o->videoKind == VideoKind::None) {
        *error = "--video needs a name ending in .mp4 or .mkv, not '" + o->video + "'";
    } else if (o->crf >= 0 && o->videoKind != VideoKind::Mp4) {
        *error = "--crf sets the quality of an .mp4 --video";
    } else if (!o->hash && o->framesDirectory.empty() && o->wav.empty() && o->video.empty() &&
               o->contactSheet.empty() && o->digest.empty()) {
        *error = "nothing to write: name an output";
    } else {
        return OutputsAreApart(*o, error);
    }
    return false;
}

}  // namespace

bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* o, std::string* error) {
    bool endAfterGiven = false;
    bool everyGiven = false;
    bool scaleGiven = false;
    opterr = 0;  // its messages would name the program by its path, not as ours do
    for (int c; (c = getopt_long(argc, argv, ":fh", kLongOptions, nullptr)) != -1;) {
        if (OptionFault(c, kLongOptions, argv, error)) return false;
        const std::string_view value = optarg ? optarg : "";
        const std::string name = OptionName(kLongOptions, c);
        int64_t number = 0;
        bool ok = true;
        switch (c) {
            case 'h':
                o->help = true;
                break;
            case kOptionVersion:
                o->version = true;
                break;
            case 'f':
                o->force = true;
                break;
            case kOptionFps:
                ok = ParseWholeOption(name, value, kMinFps, kMaxFps, &number, error);
                o->framesPerSecond = static_cast<int32_t>(number);
                break;
            case kOptionSeconds:
                ok = ParseTimeOption(name, value, false, &o->seconds, error);
                o->timed = true;
                break;
            case kOptionEndAfter:
                ok = ParseTimeOption(name, value, true, &o->endAfter, error);
                endAfterGiven = true;
                break;
            case kOptionEscapeAt:
                ok = ParseTimeOption(name, value, true, &o->escapeTime, error);
                o->escapeAt = true;
                break;
            case kOptionHoldEscapeAt:
                ok = ParseTimeOption(name, value, true, &o->holdEscapeTime, error);
                o->holdEscapeAt = true;
                break;
            case kOptionEvery:
                ok = ParseWholeOption(name, value, 1, UINT32_MAX, &number, error);
                o->every = static_cast<uint32_t>(number);
                everyGiven = true;
                break;
            case kOptionAt:
                ok = ParseTimeListOption(name, value, &o->at, error);
                break;
            case kOptionScale:
                ok = ParseWholeOption(name, value, 1, kMaxScale, &number, error);
                o->scale = static_cast<int32_t>(number);
                scaleGiven = true;
                break;
            case kOptionCrf:
                ok = ParseWholeOption(name, value, 0, kMaxCrf, &number, error);
                o->crf = static_cast<int32_t>(number);
                break;
            case kOptionFrames:
                ok = ParseFileOption(name, value, &o->framesDirectory, error);
                break;
            case kOptionWav:
                ok = ParseFileOption(name, value, &o->wav, error);
                break;
            case kOptionVideo:
                ok = ParseFileOption(name, value, &o->video, error);
                o->videoKind = EndsWith(value, ".mp4")   ? VideoKind::Mp4
                               : EndsWith(value, ".mkv") ? VideoKind::Mkv
                                                         : VideoKind::None;
                break;
            case kOptionContactSheet:
                ok = ParseFileOption(name, value, &o->contactSheet, error);
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
        if (!ok) return false;
    }
    std::vector<std::string> operands;
    if (!TakeOperands(argc, argv, optind, 0, 0, "operand", &operands, error)) return false;
    return o->help || o->version ||
           CheckCombination(o, endAfterGiven, everyGiven, scaleGiven, error);
}
