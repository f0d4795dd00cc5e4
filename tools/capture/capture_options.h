// The capture tool's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A time as typed, exactly: `units` / 10^9 seconds (nine decimals at most).
struct ShowTime {
    uint64_t nanoseconds = 0;
};

// floor and ceil of the time times `perSecond`, without rounding error.
uint64_t FloorCount(ShowTime time, uint64_t perSecond);
uint64_t CeilCount(ShowTime time, uint64_t perSecond);

enum class VideoKind : uint8_t { None, Mp4, Mkv };

struct CaptureOptions {
    bool help = false;
    int32_t framesPerSecond = 70;
    bool timed = false;  // --seconds given: stop after `seconds` of show time
    ShowTime seconds;
    ShowTime endAfter{10'000'000'000};  // Escape held once scene 8 has run this long
    bool escapeAt = false;
    ShowTime escapeTime;
    std::string framesDirectory;
    uint32_t every = 1;
    std::vector<ShowTime> at;  // empty: every `every`th frame
    std::string wav;
    std::string video;
    VideoKind videoKind = VideoKind::None;
    std::string contactSheet;
    int32_t scale = 4;  // video of 320 N x 240 N
    bool native = false;
    bool hash = false;
    std::string digest;  // per scene and flash: its frames' and its sound's SHA-256
    bool quiet = false;
};

extern const char kCaptureUsage[];

// False with `error` set for a command line that cannot be followed.
bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* options, std::string* error);
