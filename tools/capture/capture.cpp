// novaline-capture: runs the show offline on the headless platform, on a virtual clock, and
// records its frames and sound: PNG frames, a WAV, a video through ffmpeg, a contact sheet, a
// hash. Exit status 0 on success, 1 when an output cannot be written or ffmpeg fails, 2 for a bad
// command line.
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "director/entry.h"
#include "project_version.h"
#include "director/timeline.h"
#include "platform/audio_device.h"
#include "platform/headless.h"
#include "platform/keyboard.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/frame_rgb.h"
#include "tools/capture/progress.h"
#include "tools/capture/sha256.h"
#include "tools/capture/show_digest.h"
#include "tools/capture/show_segments.h"
#include "tools/capture/video_encoder.h"
#include "tools/command_line.h"
#include "tools/output_file.h"
#include "tools/png_file.h"
#include "tools/wav_writer.h"

// The hash takes the frames' and the sound's bytes as they lie in memory, which is the order
// the files store them in only on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

namespace {

namespace fs = std::filesystem;

constexpr char kTool[] = "novaline-capture";
constexpr int kExitFailure = 1;
constexpr uint64_t kNever = UINT64_MAX;
constexpr int32_t kStereo = 2;
// The rate the show opens its sound at.
constexpr uint64_t kSoundRateHz = kShowOutputRateHz;
// Where the song puts scene 8's start, for the bar's estimate of the whole only.
constexpr double kSceneEightStartSeconds = 142.5;
constexpr size_t kScheduleSteps = 3;

struct Capture {
    CaptureOptions options;
    bool survey = false;  // the run that only finds the scenes, ahead of the contact sheet
    uint64_t frameLimit = kNever;
    uint64_t audioLimit = kNever;
    uint64_t escapeFrame = kNever;
    uint64_t holdFrame = kNever;  // --hold-escape-at: from this poll on Escape stays down
    uint64_t endFrame = kNever;   // the same, to end the show
    bool endArmed = false;
    KeyStep schedule[kScheduleSteps] = {};
    SegmentLog segments = {};
    uint64_t frames = 0;
    uint64_t audioFrames = 0;
    int32_t lastScene = 0;
    uint64_t expectedFrames = 0;

    bool failed = false;
    std::string failure;
    Sha256 sha = {};
    ShowDigest digest = {};
    OutputFile digestFile;
    OutputFile wavFile;
    WavFile wav = {};
    VideoEncoder video;
    ContactSheet sheet;
    OutputFile sheetFile;
    size_t nextTile = 0;
    std::vector<uint64_t> atFrames;
    size_t nextAt = 0;
    std::vector<uint8_t> frameRgb;
    uint64_t pngFrames = 0;
    Progress progress;
};

Capture capture;

// The key schedule: the --escape-at press, then Escape held from the --hold-escape-at frame or
// endFrame on, whichever comes first; steps past the hold would let go of it, so there are none.
void SetSchedule() {
    size_t n = 0;
    const auto add = [&n](uint64_t from, bool down) {
        capture.schedule[n++] = KeyStep{from, false, {down ? DIK_ESCAPE : uint8_t{0}}};
    };
    const uint64_t holdFrom = std::min(capture.holdFrame, capture.endFrame);
    if (capture.escapeFrame != kNever) {
        if (capture.escapeFrame < holdFrom) add(capture.escapeFrame, true);
        if (capture.escapeFrame + 1 < holdFrom) add(capture.escapeFrame + 1, false);
    }
    if (holdFrom != kNever) add(holdFrom, true);
    while (n < kScheduleSteps) add(kNever, false);
}

// Ends the show as a viewer would, holding Escape from the next poll: nothing more is recorded.
void Fail(const std::string& reason) {
    if (capture.failed) return;
    capture.failed = true;
    capture.failure = reason;
    capture.endFrame = std::min(capture.endFrame, HeadlessPresentedFrames() + 1);
    SetSchedule();
}

// Scene 8 runs until Escape; the hold starts on the poll that makes its run --end-after long,
// found on its first poll, before that poll reads the keys.
void OnPlatformCall(PlatformCall call) {
    if (call != PlatformCall::PollKeyboard || capture.endArmed || capture.options.timed ||
        CurrentScene() != kSceneCount) {
        return;
    }
    capture.endArmed = true;
    const uint64_t run =
        std::max<uint64_t>(CeilCount(capture.options.endAfter, capture.options.framesPerSecond), 1);
    capture.endFrame = std::min(capture.endFrame, HeadlessPresentedFrames() + run - 1);
    capture.expectedFrames = capture.endFrame + 1;
    SetSchedule();
}

bool FrameWanted(uint64_t frame) {
    const CaptureOptions& o = capture.options;
    if (o.framesDirectory.empty()) return false;
    if (o.at.empty()) return frame % o.every == 0;
    bool wanted = false;
    while (capture.nextAt < capture.atFrames.size() && capture.atFrames[capture.nextAt] <= frame) {
        wanted = wanted || capture.atFrames[capture.nextAt] == frame;
        ++capture.nextAt;
    }
    return wanted;
}

void WriteFramePng(uint64_t frame, const uint8_t* screen) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06llu.png", static_cast<unsigned long long>(frame));
    ScreenToRgb(screen, capture.frameRgb.data(), kScreenWidth * 3);
    std::string error;
    // Not synced one by one: thousands of syncs would cost more than the whole capture.
    if (!WritePngRgb(capture.options.framesDirectory + name, kScreenWidth, kScreenHeight,
                     capture.frameRgb.data(), &error, false, capture.options.force)) {
        Fail(error);
        return;
    }
    ++capture.pngFrames;
}

void OnFrame(const uint8_t* screen, int32_t /*pitchBytes*/, uint64_t frame) {
    if (frame >= capture.frameLimit || capture.failed) return;
    const int32_t scene = CurrentScene();
    NoteSegmentFrame(&capture.segments, frame, scene);
    if (scene != 0) capture.lastScene = scene;
    ++capture.frames;
    if (capture.survey) return;
    if (capture.options.hash) UpdateSha256(&capture.sha, screen, kScreenBytes);
    if (!capture.options.digest.empty()) {
        NoteDigestFrame(&capture.digest, frame, scene, screen, kScreenBytes);
    }
    if (capture.options.videoKind != VideoKind::None && !WriteVideoFrame(&capture.video, screen)) {
        Fail("ffmpeg stopped taking frames for " + capture.options.video +
             StoppedEncoderSaid(&capture.video));
    }
    if (FrameWanted(frame)) WriteFramePng(frame, screen);
    while (capture.nextTile < capture.sheet.tiles.size() &&
           capture.sheet.tiles[capture.nextTile].frame == frame) {
        PlaceTile(&capture.sheet, capture.sheet.tiles[capture.nextTile++], screen);
    }
    UpdateProgress(&capture.progress, capture.frames, capture.expectedFrames, capture.lastScene,
                   capture.options.framesPerSecond);
}

// The sound of the frame just presented; beyond --seconds, none.
void OnAudio(const int16_t* frames, uint32_t count) {
    if (capture.failed || HeadlessPresentedFrames() > capture.frameLimit) return;
    const auto take =
        static_cast<uint32_t>(std::min<uint64_t>(count, capture.audioLimit - capture.audioFrames));
    if (take == 0) return;
    capture.audioFrames += take;
    if (capture.options.hash) UpdateSha256(&capture.sha, frames, take * kBytesPerStereoFrame);
    if (!capture.options.digest.empty()) NoteDigestSound(&capture.digest, frames, take);
    if (!capture.options.wav.empty() && !WriteWavFrames(&capture.wav, frames, take)) {
        Fail("cannot write " + capture.options.wav + ": " + std::strerror(errno));
    }
    if (capture.options.videoKind != VideoKind::None &&
        !WriteVideoSound(&capture.video, frames, take)) {
        Fail("cannot write the sound for " + capture.options.video + ": " + std::strerror(errno));
    }
}

void RunShow(bool survey) {
    const CaptureOptions& o = capture.options;
    capture.survey = survey;
    capture.segments = SegmentLog{};
    capture.frames = 0;
    capture.audioFrames = 0;
    capture.lastScene = 0;
    capture.endArmed = false;
    capture.endFrame = capture.frameLimit;
    SetSchedule();
    capture.expectedFrames =
        o.timed ? capture.frameLimit
                : static_cast<uint64_t>((kSceneEightStartSeconds +
                                         static_cast<double>(o.endAfter.nanoseconds) * 1e-9) *
                                        o.framesPerSecond);
    HeadlessSetup setup;
    setup.framesPerSecond = o.framesPerSecond;
    setup.sink = OnFrame;
    setup.audioSink = survey ? nullptr : OnAudio;
    setup.callHook = OnPlatformCall;
    setup.keySchedule = capture.schedule;
    setup.keyStepCount = kScheduleSteps;
    SetUpHeadless(setup);
    RunDemo();
}

std::string Unwritable(const std::string& path) { return CannotWrite(path, errno); }

// Everything that can be refused before the show runs is refused here.
bool OpenOutputs(std::string* error) {
    const CaptureOptions& o = capture.options;
    const OutputMode mode = o.force ? OutputMode::Replace : OutputMode::Keep;
    if (!o.framesDirectory.empty()) {
        // The folder is the user's to make: a mistyped name must not become a new folder.
        std::error_code code;
        const bool folder = fs::is_directory(o.framesDirectory, code);
        if (!folder || access(o.framesDirectory.c_str(), W_OK | X_OK) != 0) {
            *error = "cannot write frames into " + o.framesDirectory + ": " +
                     (folder ? "not writable"
                      : fs::exists(o.framesDirectory, code) ? "not a folder"
                                                            : "no such folder");
            return false;
        }
        capture.frameRgb.resize(static_cast<size_t>(kScreenWidth) * kScreenHeight * 3);
        for (ShowTime t : o.at) capture.atFrames.push_back(FloorCount(t, o.framesPerSecond));
        std::sort(capture.atFrames.begin(), capture.atFrames.end());
    }
    if (!o.wav.empty()) {
        if (!OpenOutputFile(&capture.wavFile, o.wav, mode) ||
            !OpenWavStream(&capture.wav, capture.wavFile.file, kSoundRateHz, kStereo,
                           kWavUnknownFrames)) {
            *error = Unwritable(o.wav);
            return false;
        }
    }
    if (!o.contactSheet.empty() && !OpenOutputFile(&capture.sheetFile, o.contactSheet, mode)) {
        *error = Unwritable(o.contactSheet);
        return false;
    }
    capture.video.outputMode = mode;
    if (!o.digest.empty() && !OpenOutputFile(&capture.digestFile, o.digest, mode)) {
        *error = Unwritable(o.digest);
        return false;
    }
    return o.videoKind == VideoKind::None ||
           StartVideo(&capture.video, o.video, o.videoKind, o.framesPerSecond,
                      o.native ? 1 : o.scale, o.crf, kSoundRateHz, error);
}

// Every output is written out before any takes its name, so a late failure in one leaves every
// name as it was.
bool FinishOutputs(std::string* error) {
    const CaptureOptions& o = capture.options;
    if (!o.wav.empty() && (!FinishWav(&capture.wav) || !CloseOutputFile(&capture.wavFile))) {
        *error = Unwritable(o.wav);
        return false;
    }
    if (!o.contactSheet.empty()) {
        std::string reason;
        if (!WritePngRgbTo(capture.sheetFile.file, capture.sheet.width, capture.sheet.height,
                           capture.sheet.rgb.data(), &reason)) {
            *error = "cannot write " + o.contactSheet + ": " + reason;
            return false;
        }
        if (!CloseOutputFile(&capture.sheetFile)) {
            *error = Unwritable(o.contactSheet);
            return false;
        }
    }
    if (!o.digest.empty()) {
        const std::string text = FinishShowDigest(&capture.digest);
        if (std::fputs(text.c_str(), capture.digestFile.file) < 0 ||
            !CloseOutputFile(&capture.digestFile)) {
            *error = Unwritable(o.digest);
            return false;
        }
    }
    if (o.videoKind != VideoKind::None && !FinishVideo(&capture.video, error)) return false;
    // One interrupt cannot fall between two names: they all take their new files, or none does.
    const HandledSignalsHeld held;
    if (!o.wav.empty() && !CommitOutputFile(&capture.wavFile)) {
        *error = Unwritable(o.wav);
        return false;
    }
    if (!o.contactSheet.empty() && !CommitOutputFile(&capture.sheetFile)) {
        *error = Unwritable(o.contactSheet);
        return false;
    }
    if (!o.digest.empty() && !CommitOutputFile(&capture.digestFile)) {
        *error = Unwritable(o.digest);
        return false;
    }
    return o.videoKind == VideoKind::None || CommitVideo(&capture.video, error);
}

void DiscardOutputs() {
    DiscardOutputFile(&capture.wavFile);
    DiscardOutputFile(&capture.sheetFile);
    DiscardOutputFile(&capture.digestFile);
    DiscardVideo(&capture.video);
}

// A time as typed: seconds, and the decimals it has.
std::string TimeText(ShowTime time) {
    std::string text = std::to_string(time.nanoseconds / 1'000'000'000);
    uint64_t fraction = time.nanoseconds % 1'000'000'000;
    if (fraction == 0) return text;
    int32_t digits = 9;
    for (; fraction % 10 == 0; fraction /= 10) --digits;
    const std::string decimals = std::to_string(fraction);
    return text + "." + std::string(static_cast<size_t>(digits) - decimals.size(), '0') + decimals;
}

// A time that falls after the last frame would be ignored without a word. `showFrames` is the
// length of the show: --seconds, or the frames a survey of the show counted.
bool TimesWithinShow(uint64_t showFrames, std::string* error) {
    const CaptureOptions& o = capture.options;
    if (o.at.empty() && !o.escapeAt) return true;
    // In milliseconds, truncated: every refused time is at or past the length the message gives.
    const uint64_t showMs = showFrames * 1000 / static_cast<uint64_t>(o.framesPerSecond);
    const std::string length =
        o.timed ? "beyond --seconds " + TimeText(o.seconds)
                : "after the show's end: the show runs " + std::to_string(showMs / 1000) + "." +
                      std::to_string(1000 + showMs % 1000).substr(1) + " s";
    for (ShowTime t : o.at) {
        if (FloorCount(t, o.framesPerSecond) >= showFrames) {
            *error = "--at " + TimeText(t) + " is " + length;
            return false;
        }
    }
    if (o.escapeAt && capture.escapeFrame >= showFrames) {
        *error = "--escape-at " + TimeText(o.escapeTime) + " is " + length;
        return false;
    }
    return true;
}

void PrintSummary() {
    const CaptureOptions& o = capture.options;
    const double showSeconds = static_cast<double>(capture.frames) / o.framesPerSecond;
    const double wall = ElapsedSeconds(capture.progress);
    std::fprintf(stderr,
                 "novaline-capture: %llu frames at %d fps, %.2f s of show, last scene %d, %llu "
                 "audio frames, %llu PNG frames, %.2f s, %.1fx real time\n",
                 static_cast<unsigned long long>(capture.frames), o.framesPerSecond, showSeconds,
                 capture.lastScene, static_cast<unsigned long long>(capture.audioFrames),
                 static_cast<unsigned long long>(capture.pngFrames), wall,
                 wall > 0 ? showSeconds / wall : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    // A reader gone from a pipe is a write error to report, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    RemoveTemporariesOnSignals();
    CaptureOptions& o = capture.options;
    std::string error;
    if (!ParseCaptureOptions(argc, argv, &o, &error)) return ReportUsageError(kTool, error);
    if (o.help) return PrintToStandardOutput(kTool, kCaptureUsage);
    if (o.version) return PrintVersion(kTool);
    if (o.timed) {
        capture.frameLimit = CeilCount(o.seconds, o.framesPerSecond);
        capture.audioLimit = FloorCount(o.seconds, kSoundRateHz);
    }
    if (o.escapeAt) capture.escapeFrame = CeilCount(o.escapeTime, o.framesPerSecond);
    if (o.holdEscapeAt) capture.holdFrame = CeilCount(o.holdEscapeTime, o.framesPerSecond);
    // Without --seconds, where the show ends is known only by running it, a few seconds' work
    // with nothing recorded; the contact sheet's own survey is then the same run.
    const bool surveyed = !o.timed && (o.escapeAt || !o.at.empty());
    if (surveyed) RunShow(true);
    if (!TimesWithinShow(surveyed ? capture.frames : capture.frameLimit, &error)) {
        return ReportUsageError(kTool, error);
    }
    if (!OpenOutputs(&error)) {
        DiscardOutputs();
        std::fprintf(stderr, "novaline-capture: %s\n", error.c_str());
        return kExitFailure;
    }
    StartSha256(&capture.sha);
    StartShowDigest(&capture.digest);
    StartProgress(&capture.progress, !o.quiet && isatty(STDERR_FILENO));
    if (!o.contactSheet.empty()) {
        // A first run, drawing the same frames as the second, finds where each scene begins and
        // ends: a scene's middle frame is known only once it has ended.
        if (!surveyed) RunShow(true);
        LayOutContactSheet(&capture.sheet, capture.segments.segments, capture.segments.count,
                           o.framesPerSecond);
    }
    RunShow(false);
    EndProgress(&capture.progress);
    if (capture.failed || !FinishOutputs(&error)) {
        DiscardOutputs();
        std::fprintf(stderr, "novaline-capture: %s\n",
                     capture.failed ? capture.failure.c_str() : error.c_str());
        return kExitFailure;
    }
    PrintSummary();
    if (o.hash) std::printf("%s\n", FinishSha256(&capture.sha).c_str());
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "novaline-capture: cannot write the hash on standard output: %s\n",
                     std::strerror(errno ? errno : EIO));
        return kExitFailure;
    }
    return 0;
}
