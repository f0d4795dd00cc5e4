#include "tools/capture/video_encoder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/capture/frame_rgb.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int32_t kStereo = 2;

// Quality settings, fixed so that every capture of the same options encodes alike. x264 at its
// ultrafast preset, the only one that keeps up with the show on two cores (superfast took 2.5
// times its processor time), with two of the tools it leaves out: 4 x 4 intra blocks, which
// follow the show's pixels (SSIM 0.936 to 0.956 on the tunnel at the same rate, for a quarter
// more time), and CABAC (27% fewer bits for a sixth more time). No deblocking, as the preset
// has it: smoothing the edges between blocks blurs the pixels (on superfast, turning it off
// raised the SSIM from 0.919 to 0.937). No tuning: on this preset they only add work or, as
// `ssim` does with its adaptive quantisation, lose likeness. Two threads whatever the machine:
// x264's bytes depend on its thread count, and on two cores two were as fast as its own choice
// of three (one took 2.8 times as long). The constant quality is the finest that keeps the
// whole show's file under 15 Mbit/s, sound included (CRF 23: 15.1, SSIM 0.972); `--crf`
// trades otherwise. AAC at a rate that keeps the drums' attack; FFV1 with every frame a key
// frame, for archives.
constexpr const char* kMp4Picture[] = {"-c:v",     "libx264",      "-preset",
                                       "ultrafast", "-x264-params", "partitions=i4x4:cabac=1",
                                       "-threads",  "2",            "-pix_fmt",
                                       "yuv420p"};
constexpr const char* kDefaultCrf = "23.3";  // the usage text names it
constexpr const char* kMkvPicture[] = {"-c:v", "ffv1", "-level",   "3",
                                       "-g",   "1",    "-pix_fmt", "bgr0"};
constexpr const char* kMp4Sound[] = {"-c:a",      "aac",        "-b:a", "192k",
                                     "-movflags", "+faststart", "-f",   "mp4"};
constexpr const char* kMkvSound[] = {"-c:a", "flac", "-f", "matroska"};
// No time stamps of the run, encoder versions or random identifiers in the files.
constexpr const char* kBitExact[] = {"-fflags",   "+bitexact", "-flags:v",
                                     "+bitexact", "-flags:a",  "+bitexact"};

// Where the temporaries of the work go: beside the output when it is a file, else in TMPDIR.
std::string WorkFolder(const OutputFile& output) {
    if (!output.temporary.empty()) {
        const fs::path folder = fs::path(output.target).parent_path();
        return folder.empty() ? "." : folder.string();
    }
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// A file for ffmpeg's messages that leaves no name behind, whatever ends the capture.
int OpenLog() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp && *tmp ? tmp : "/tmp";
    const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string name = folder + "/novaline-capture-log-XXXXXX";
    const int named = mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) unlink(name.c_str());
    return named;
}

// The last lines ffmpeg wrote, joined into one, for the capture's message; empty when it wrote
// nothing.
std::string LogTail(int log) {
    constexpr size_t kTailBytes = 400;
    std::string text;
    if (log < 0) return text;
    const off_t end = lseek(log, 0, SEEK_END);
    if (end <= 0) return text;
    const off_t from = end > static_cast<off_t>(kTailBytes) ? end - kTailBytes : 0;
    text.resize(static_cast<size_t>(end - from));
    const ssize_t n = pread(log, text.data(), text.size(), from);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (from > 0) text.erase(0, text.find('\n') + 1);  // from the first whole line
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::string line;
    for (const char c : text) {
        if (c == '\r') continue;
        line += c == '\n' ? std::string("; ") : std::string(1, c);
    }
    return line;
}

// " (ffmpeg: its last lines)", or nothing when it said nothing.
std::string Said(const VideoEncoder& video) {
    const std::string tail = LogTail(video.log);
    return tail.empty() ? "" : " (ffmpeg: " + tail + ")";
}

// Runs ffmpeg with `arguments`; its standard input is `input` (-1: /dev/null), its messages go
// to `log`. It runs in a process group of its own, so that a key the user presses for an
// interrupt reaches the capture alone, which then ends ffmpeg itself (by its id, waiting for it)
// before it removes what ffmpeg was writing. Started and watched with the handled signals held,
// so that no interrupt finds it running but not yet watched.
bool Spawn(const std::string& program, const std::vector<std::string>& arguments, int input,
           int log, pid_t* pid) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0) {
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    // The capture ignores SIGPIPE to report a broken pipe as an error; ffmpeg gets its own way.
    if (log >= 0) posix_spawn_file_actions_adddup2(&actions, log, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    // ffmpeg starts with no signal held back, whatever the capture holds now.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    HandledSignalsHeld held;
    int result = posix_spawn(pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    if (result == 0 && !WatchChildProcess(*pid)) {
        kill(*pid, SIGKILL);
        waitpid(*pid, nullptr, 0);
        result = EAGAIN;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    errno = result;
    return result == 0;
}

// Waits for a watched ffmpeg to end, forgets it, then reaps it: between the two no signal
// handler can end a process that has another's id.
bool Succeeded(pid_t pid) {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0) {
        if (errno != EINTR) {
            ForgetChildProcess(pid);
            return false;
        }
    }
    {
        HandledSignalsHeld held;
        ForgetChildProcess(pid);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    return info.si_code == CLD_EXITED && info.si_status == 0;
}

// The final file's name as ffmpeg must write it: its temporary, or the device itself.
std::string WrittenName(const OutputFile& output) {
    return output.temporary.empty() ? output.target : output.temporary;
}

void Append(std::vector<std::string>* arguments, const auto& list) {
    arguments->insert(arguments->end(), std::begin(list), std::end(list));
}

bool WriteAll(int fd, const uint8_t* data, size_t bytes) {
    while (bytes > 0) {
        const ssize_t n = write(fd, data, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        bytes -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool FindProgram(const char* program, std::string* path) {
    const char* search = std::getenv("PATH");
    std::string_view folders = search ? search : "";
    while (true) {
        const size_t colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + program;
        struct stat status {};
        if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            *path = candidate;
            return true;
        }
        if (colon == std::string_view::npos) return false;
        folders.remove_prefix(colon + 1);
    }
}

bool StartVideo(VideoEncoder* video, const std::string& path, VideoKind kind,
                int32_t framesPerSecond, int32_t scale, int32_t crf, int32_t soundRateHz,
                std::string* error) {
    video->kind = kind;
    video->framesPerSecond = framesPerSecond;
    video->scale = scale;
    if (!FindProgram("ffmpeg", &video->ffmpeg)) {
        *error = "--video needs the ffmpeg program, which is not on PATH (Debian package ffmpeg)";
        return false;
    }
    if (!OpenOutputFile(&video->output, path, video->outputMode)) {
        *error = CannotWrite(path, errno);
        return false;
    }
    const std::string folder = WorkFolder(video->output);
    // Work files of the capture's own, never committed.
    const OutputMode own = OutputMode::Replace;
    if (!OpenOutputFile(&video->picture, folder + "/novaline-capture-picture", own) ||
        !OpenOutputFile(&video->sound, folder + "/novaline-capture-sound", own) ||
        !OpenWavStream(&video->wav, video->sound.file, soundRateHz, kStereo, kWavUnknownFrames)) {
        *error = "cannot write the video's work files in " + folder + ": " + std::strerror(errno);
        return false;
    }

    video->log = OpenLog();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> arguments = {"-hide_banner",
                                          "-nostdin",
                                          "-nostats",
                                          "-loglevel",
                                          "error",
                                          "-f",
                                          "rawvideo",
                                          "-pixel_format",
                                          "rgb565le",
                                          "-video_size",
                                          "320x200",
                                          "-framerate",
                                          std::to_string(framesPerSecond),
                                          "-i",
                                          "pipe:0",
                                          "-vf"};
    // Nearest neighbour by a whole factor on both axes: every pixel of the show becomes an N x N
    // block, none blended with its neighbours, and at N = 4 each lies exactly on one of x264's
    // 4 x 4 transform blocks, so a flat pixel costs one coefficient. (Square pixels at 4:3 would
    // need 240 N rows, each of the 200 repeated 4 or 5 times at N = 4: edges across the blocks,
    // twice the bits for a worse likeness.) Shown as 4:3, each pixel is 5/6 as wide as it is tall.
    arguments.push_back(scale <= 1 ? "setsar=5/6"
                                   : "scale=" + std::to_string(320 * scale) + ":" +
                                         std::to_string(200 * scale) +
                                         ":flags=neighbor,setsar=5/6");
    if (kind == VideoKind::Mp4) {
        Append(&arguments, kMp4Picture);
        Append(&arguments, std::vector<std::string>{
                               "-crf", crf >= 0 ? std::to_string(crf) : kDefaultCrf});
    } else {
        Append(&arguments, kMkvPicture);
    }
    Append(&arguments, kBitExact);
    // NUT keeps the frames' time base, 1/fps; Matroska would round every time to a millisecond,
    // and the MP4 copied from it would show its frames for 14 and 15 ms by turns at 70 fps.
    Append(&arguments,
           std::vector<std::string>{"-f", "nut", "-y", WrittenName(video->picture)});
    const bool started = Spawn(video->ffmpeg, arguments, fds[0], video->log, &video->encoder);
    close(fds[0]);
    if (!started) {
        close(fds[1]);
        video->encoder = -1;
        *error = "cannot start " + video->ffmpeg + ": " + std::strerror(errno);
        return false;
    }
    video->pipe = fds[1];
    return true;
}

bool WriteVideoFrame(VideoEncoder* video, const uint8_t* screen) {
    return WriteAll(video->pipe, screen, kScreenBytes);
}

bool WriteVideoSound(VideoEncoder* video, const int16_t* frames, uint32_t count) {
    return WriteWavFrames(&video->wav, frames, count);
}

std::string StoppedEncoderSaid(VideoEncoder* video) {
    // It closed its end of the pipe: it is ending, and has said what it had to say by then.
    if (video->encoder > 0) Succeeded(std::exchange(video->encoder, -1));
    return Said(*video);
}

bool FinishVideo(VideoEncoder* video, std::string* error) {
    close(video->pipe);
    video->pipe = -1;
    const pid_t encoder = std::exchange(video->encoder, -1);
    if (!Succeeded(encoder)) {
        *error = "ffmpeg failed to encode the picture of " + video->output.target + Said(*video);
        return false;
    }
    if (!FinishWav(&video->wav) || std::fflush(video->sound.file) != 0) {
        *error = "cannot write the video's sound: " + std::string(std::strerror(errno));
        return false;
    }
    std::vector<std::string> arguments = {"-hide_banner",
                                          "-nostdin",
                                          "-nostats",
                                          "-loglevel",
                                          "error",
                                          "-i",
                                          WrittenName(video->picture),
                                          "-i",
                                          WrittenName(video->sound),
                                          "-map",
                                          "0:v",
                                          "-map",
                                          "1:a",
                                          "-c:v",
                                          "copy"};
    if (video->kind == VideoKind::Mp4) {
        Append(&arguments, kMp4Sound);
    } else {
        Append(&arguments, kMkvSound);
    }
    Append(&arguments, kBitExact);
    Append(&arguments, std::vector<std::string>{"-y", WrittenName(video->output)});
    pid_t muxer = -1;
    if (!Spawn(video->ffmpeg, arguments, -1, video->log, &muxer) || !Succeeded(muxer)) {
        *error = "ffmpeg failed to put picture and sound together in " + video->output.target +
                 Said(*video);
        return false;
    }
    return true;
}

bool CommitVideo(VideoEncoder* video, std::string* error) {
    DiscardOutputFile(&video->picture);
    DiscardOutputFile(&video->sound);
    if (video->log >= 0) close(std::exchange(video->log, -1));
    if (!CommitOutputFile(&video->output)) {
        *error = "cannot write " + video->output.target + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void DiscardVideo(VideoEncoder* video) {
    if (video->pipe >= 0) close(std::exchange(video->pipe, -1));
    if (video->encoder > 0) {
        // Its work is thrown away: ended at once, and waited for before its file is removed.
        kill(video->encoder, SIGKILL);
        Succeeded(std::exchange(video->encoder, -1));
    }
    if (video->log >= 0) close(std::exchange(video->log, -1));
    DiscardOutputFile(&video->picture);
    DiscardOutputFile(&video->sound);
    DiscardOutputFile(&video->output);
}
