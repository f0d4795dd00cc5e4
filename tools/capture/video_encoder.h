// The video through the ffmpeg program, in two runs: while the show plays, the frames go down a
// pipe to an ffmpeg that encodes the picture alone, and the sound to a temporary WAV; at the end a
// second ffmpeg puts the two together, copying the picture and encoding the sound. One live pipe
// per ffmpeg leaves nothing for two inputs to wait on each other for.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "tools/capture/capture_options.h"
#include "tools/output_file.h"
#include "tools/wav_writer.h"

struct VideoEncoder {
    std::string ffmpeg;  // the program's path
    VideoKind kind = VideoKind::None;
    int32_t framesPerSecond = 0;
    int32_t scale = 1;   // 320 N x 200 N, with a 5:6 sample aspect ratio
    OutputMode outputMode = OutputMode::Keep;  // whether the final file may replace one there
    OutputFile output;   // the final file, which ffmpeg writes under its temporary name
    OutputFile picture;  // the picture alone, removed at the end
    OutputFile sound;    // the WAV for the second run, removed at the end
    WavFile wav{};
    pid_t encoder = -1;
    int pipe = -1;  // the first run's standard input
    // ffmpeg's own messages, in a file without a name: they reach the user only when ffmpeg
    // fails, in the capture's message, never the terminal on an interrupt.
    int log = -1;
};

// The path of `program` on PATH; false when there is none.
bool FindProgram(const char* program, std::string* path);

// Opens the outputs and starts the picture's ffmpeg; `crf` is the MP4's quality, -1 for the
// default; the sound comes at `soundRateHz`, the show's rate. False with a one-line reason in
// *error.
bool StartVideo(VideoEncoder* video, const std::string& path, VideoKind kind,
                int32_t framesPerSecond, int32_t scale, int32_t crf, int32_t soundRateHz,
                std::string* error);
// One presented screen, 320 x 200 RGB 5-6-5 (128000 bytes).
bool WriteVideoFrame(VideoEncoder* video, const uint8_t* screen);
bool WriteVideoSound(VideoEncoder* video, const int16_t* frames, uint32_t count);
// After the picture's ffmpeg stopped taking frames: waits for it to end and gives its last
// lines as " (ffmpeg: ...)" for the capture's message, or nothing when it said nothing.
std::string StoppedEncoderSaid(VideoEncoder* video);
// Ends the picture's run and makes the final file under its temporary name.
bool FinishVideo(VideoEncoder* video, std::string* error);
// Gives the final file its name; the other temporaries are removed.
bool CommitVideo(VideoEncoder* video, std::string* error);
// Stops ffmpeg if it runs (and waits for it) and removes every temporary.
void DiscardVideo(VideoEncoder* video);
