// The capture tool's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/command_line.h"

// A time as typed, exactly (tools/command_line.h: FloorCount and CeilCount count frames of it).
using ShowTime = TimeValue;

enum class VideoKind : uint8_t { None, Mp4, Mkv };

struct CaptureOptions {
    bool help = false;
    bool version = false;
    bool force = false;  // outputs may replace files already there
    int32_t framesPerSecond = 70;
    bool timed = false;  // --seconds given: stop after `seconds` of show time
    ShowTime seconds;
    ShowTime endAfter{10'000'000'000};  // Escape held once scene 8 has run this long
    bool escapeAt = false;
    ShowTime escapeTime;
    bool holdEscapeAt = false;  // Escape down from holdEscapeTime to the end
    ShowTime holdEscapeTime;
    std::string framesDirectory;
    uint32_t every = 1;
    std::vector<ShowTime> at;  // empty: every `every`th frame
    std::string wav;
    std::string video;
    VideoKind videoKind = VideoKind::None;
    std::string contactSheet;
    int32_t scale = 4;  // video of 320 N x 200 N, shown 4:3
    int32_t crf = -1;   // the MP4's x264 constant rate factor; -1: the encoder's own choice
    bool native = false;
    bool hash = false;
    std::string digest;  // per scene and flash: its frames' and its sound's SHA-256
    bool quiet = false;
};

extern const char kCaptureUsage[];

// False with `error` set for a command line that cannot be followed.
bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* options, std::string* error);
