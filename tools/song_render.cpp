#include "tools/song_render.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <vector>

#include "platform/virtual_audio_device.h"
#include "replay/sequencer.h"
#include "replay/song_control.h"
#include "sound/audio_output.h"
#include "sound/module.h"
#include "sound/voice.h"
#include "tools/song_end.h"

namespace {

constexpr char kTraceHeader[] =
    "tick_index,order,row,tick,channel,active,frequency,volume,panning,position\n";

struct RenderState {
    std::FILE* trace;
    bool watchRepeat;
    int64_t tickIndex;       // tick routine calls so far
    int64_t tickStartFrame;  // output frame at which the next call's tick begins
    int64_t endFrame;        // output length; lowered when the song is found to repeat
    int64_t ticksInOutput;
    bool traceFailed;
    PlayedPositions played;
};

// The tick routine only receives the Song, so the render it belongs to is found here; one render
// runs at a time.
RenderState* activeRender = nullptr;

char* Append(char* at, int64_t value) {
    return std::to_chars(at, at + 24, value).ptr;
}

void TraceTick(RenderState& state, const Song* song, int64_t tickIndex, int32_t tickAtStart) {
    const Voice* voices = VoicePool();
    // One line is at most 10 numbers of 20 characters and their separators.
    char line[256];
    const int32_t order = song->order.load(std::memory_order_relaxed);
    const int32_t row = song->row.load(std::memory_order_relaxed);
    for (int32_t c = 0; c < song->channelCount; ++c) {
        const Voice& v = voices[c];
        char* at = line;
        const int64_t fields[] = {tickIndex, order, row, tickAtStart, c,
                                  v.sample ? 1 : 0, v.frequency, v.volume, v.panning,
                                  static_cast<int64_t>(v.positionInt)};
        for (int64_t field : fields) {
            at = Append(at, field);
            *at++ = ',';
        }
        at[-1] = '\n';
        const size_t bytes = static_cast<size_t>(at - line);
        if (std::fwrite(line, 1, bytes, state.trace) != bytes) state.traceFailed = true;
    }
}

// Runs the replay's tick, then decides from where it went whether the output goes on.
void WatchedTick(Song* song) {
    RenderState& state = *activeRender;
    const int64_t start = state.tickStartFrame;
    const TickStart begun = BeginTick(song);

    ReplayTick(song);
    state.tickStartFrame += song->samplesPerTick;
    const int64_t index = state.tickIndex++;
    if (start >= state.endFrame) return;

    if (state.watchRepeat && TickRepeatsSong(&state.played, song, begun)) {
        state.endFrame = start;
        return;
    }
    state.ticksInOutput = index + 1;
    if (state.trace) TraceTick(state, song, index, begun.tick);
}

}  // namespace

bool RenderSong(Song* song, const RenderSettings& settings, RenderResult* result) {
    *result = RenderResult{};
    const int32_t blockFrames = OutputBlockFrames();
    const int32_t rateHz = OutputRateHz();
    if (!song || blockFrames <= 0 || !VirtualAudioRing()) return false;

    const bool once = settings.frames == kRenderOnce;
    RenderState state{settings.trace,
                      once,
                      0,
                      0,
                      once ? kRenderCapSeconds * rateHz : std::max<int64_t>(settings.frames, 0),
                      0,
                      false,
                      PlayedPositions{}};
    if (once) ForgetPlayedPositions(&state.played);
    const int64_t capFrames = state.endFrame;
    if (settings.trace && std::fwrite(kTraceHeader, 1, sizeof kTraceHeader - 1, settings.trace) !=
                              sizeof kTraceHeader - 1) {
        return false;
    }

    const TickCallback replay = song->tickCallback;
    song->tickCallback = WatchedTick;
    activeRender = &state;
    bool ok = StartSong(song);

    const auto began = std::chrono::steady_clock::now();
    int64_t written = 0;
    while (ok && written < state.endFrame) {
        const int32_t block = OutputNextBlock();
        AdvanceVirtualAudio(static_cast<uint32_t>(blockFrames));
        // Exactly one block becomes due per advance of one block; anything else means the
        // output is not the virtual device this loop was written for.
        if (OutputNextBlock() == block) {
            ok = false;
            break;
        }
        // The tick that repeats the song lies inside this block, so the cut never falls before
        // what is already written.
        const int64_t take = std::min<int64_t>(blockFrames, state.endFrame - written);
        const int16_t* frames = VirtualAudioRing() + static_cast<size_t>(block) * blockFrames * 2;
        if (settings.wav) ok = WriteWavFrames(settings.wav, frames, static_cast<uint32_t>(take));
        written += take;
    }
    const auto ended = std::chrono::steady_clock::now();

    StopSong(song);
    activeRender = nullptr;
    song->tickCallback = replay;

    result->frames = written;
    result->ticks = state.ticksInOutput;
    result->wallSeconds = std::chrono::duration<double>(ended - began).count();
    result->capped = once && state.endFrame == capFrames;
    return ok && !state.traceFailed;
}
