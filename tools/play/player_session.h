// A module played live on the open audio output, whatever the device: what each key does, the
// end of a song played once (where xmrender ends it), and what the status line shows. The
// program drives it from its main thread; the mixing thread reaches it only through the Song's
// tick routine. One session runs at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "sound/audio_output.h"
#include "sound/heard_position.h"
#include "sound/module.h"
#include "tools/play/terminal_keys.h"
#include "tools/song_end.h"

struct PlayerSession {
    Song* song = nullptr;
    bool loop = false;              // repeat the song instead of ending it where it repeats
    TickCallback replay = nullptr;  // the Song's own tick routine, put back by StopPlayer

    // Mixing thread, under the mix lock (and the main thread while it holds that lock).
    PlayedPositions played;
    int64_t ticksFrames = 0;  // frames of the ticks played since the start: the 20-minute cap
    int64_t capFrames = 0;
    // speed << 16 | BPM (at most 65535) as each position last played, [order * 256 + row]:
    // the tempo shown is that of the row being heard, not of the row being mixed.
    std::unique_ptr<std::atomic<uint32_t>[]> tempoAt;
    std::atomic<bool> ended{false};  // the song reached its end and is silent

    // Main thread.
    int64_t totalFrames = 0;  // the song played once, as MeasureSongOnce found it
    int32_t volumeDb = 0;
    bool paused = false;
    bool stopped = false;        // taken off the output once ended
    uint64_t endHeardFrame = 0;  // where everything mixed of it has been heard
    bool seekPending = false;    // an order asked for that is not heard yet
    int32_t seekOrder = 0;
    uint64_t seekHeardFrame = 0;  // heard from here on, unless paused
    uint64_t lastHeardFrame = 0;
    uint64_t elapsedFrames = 0;  // of the song heard, pauses left out
};

// What the status line shows, as heard.
struct PlayerStatus {
    int32_t order;
    int32_t orderCount;
    int32_t row;
    int32_t rowCount;
    int32_t pattern;
    int32_t speed;
    int32_t bpm;
    int64_t elapsedMs;
    int64_t totalMs;  // the song played once
    int32_t volumeDb;
    HeardPeak peak;
    bool paused;
};

// The volume keys' step and bounds, in dB against the mix as it is.
constexpr int32_t kVolumeStepDb = 3;
constexpr int32_t kMinVolumeDb = -48;
constexpr int32_t kMaxVolumeDb = 12;

// Frames of the output's rate that `song` plays once, to where a player or a render ends it:
// its replay is run tick by tick, without mixing, under the mix lock. `song` must not be started
// (a copy of the one to be played: the replay changes what some effects set, such as a sample's
// finetune), and the output must be open with no song playing on it.
int64_t MeasureSongOnce(Song* song);

// Starts `song` on the open output with the session's tick routine around its own; allocates all
// the session holds. False when the song does not start.
bool StartPlayer(PlayerSession* session, Song* song, bool loop);
// Acts on a key: Pause holds or lets go, Back and On move one order from the one heard (or asked
// for and not heard yet), Louder and Softer change the volume by kVolumeStepDb; true for Quit.
// Once the song has ended only Quit acts.
bool ApplyPlayerKey(PlayerSession* session, PlayerKey key);
// Follows the sound heard (the elapsed time, the end of the song); call it a few times a second.
// False once a song played once has ended and all of it has been heard.
bool UpdatePlayer(PlayerSession* session);
PlayerStatus ReadPlayerStatus(const PlayerSession* session);
// Stops the song and puts its own tick routine back; the session may then start another.
void StopPlayer(PlayerSession* session);
