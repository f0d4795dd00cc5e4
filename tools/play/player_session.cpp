#include "tools/play/player_session.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "replay/song_control.h"
#include "sound/song_timing.h"
#include "sound/voice.h"

namespace {

constexpr int32_t kTempoMask = 0xFFFF;

// The tick routine receives only the Song.
PlayerSession* activePlayer = nullptr;

size_t PositionIndex(int32_t order, int32_t row) { return SongPosition(order, row); }

// Silences the song for good; the main thread takes it off the output once it sees `ended`.
void EndSong(PlayerSession& session, Song* song) {
    for (int32_t i = 0; i < song->channelCount; ++i) StopVoice(i);
    session.ended.store(true, std::memory_order_release);
}

void PlayerTick(Song* song) {
    PlayerSession& session = *activePlayer;
    if (session.ended.load(std::memory_order_relaxed)) return;
    if (!session.loop && session.ticksFrames >= session.capFrames) {
        EndSong(session, song);
        return;
    }
    const TickStart begun = BeginTick(song);
    const int32_t order = song->order.load(std::memory_order_relaxed);
    const int32_t row = song->row.load(std::memory_order_relaxed);
    session.replay(song);
    if (!session.loop && TickRepeatsSong(&session.played, song, begun)) {
        // The repeating row is never heard, so the song is shown ending on the row before it.
        song->order.store(order, std::memory_order_relaxed);
        song->row.store(row, std::memory_order_relaxed);
        EndSong(session, song);
        return;
    }
    session.ticksFrames += song->samplesPerTick;
    if (begun.tick == 0) {
        const uint32_t tempo = static_cast<uint32_t>(song->speed & kTempoMask) << 16 |
                               static_cast<uint32_t>(std::min(song->bpm, kTempoMask));
        session
            .tempoAt[PositionIndex(song->order.load(std::memory_order_relaxed),
                                   song->row.load(std::memory_order_relaxed))]
            .store(tempo, std::memory_order_relaxed);
    }
}

int32_t HeardOrder(const PlayerSession* session) {
    return session->seekPending ? session->seekOrder : GetHeardSongPosition(session->song).order;
}

void Seek(PlayerSession* session, int32_t step) {
    const int32_t target = std::max(HeardOrder(session) + step, 0);
    if (target >= session->song->songLength) return;
    {
        std::lock_guard<std::mutex> lock(MixMutex());
        JumpToOrder(session->song, target);
        // Played from the new order as from a start: going back must not end the song.
        ForgetPlayedPositions(&session->played);
    }
    session->seekPending = true;
    session->seekOrder = target;
    // Read after the jump: blocks mixed since then only make the wait longer, never shorter.
    session->seekHeardFrame = OutputMixedEndFrame();
}

void IdleTick(Song*) {}

}  // namespace

int64_t MeasureSongOnce(Song* song) {
    const TickCallback replay = song->tickCallback;
    // Started, the song has its channels; the mixing thread finds nothing to do in its ticks.
    song->tickCallback = IdleTick;
    if (!StartSong(song)) {
        song->tickCallback = replay;
        return 0;
    }
    PlayedPositions played;
    ForgetPlayedPositions(&played);
    const int64_t capFrames = kSongCapSeconds * OutputRateHz();
    int64_t frames = 0;
    {
        std::lock_guard<std::mutex> lock(MixMutex());
        while (frames < capFrames) {
            const TickStart begun = BeginTick(song);
            replay(song);
            if (TickRepeatsSong(&played, song, begun)) break;
            frames += song->samplesPerTick;
        }
        // What the ticks gave the voices is never mixed.
        for (int32_t i = 0; i < song->channelCount; ++i) StopVoice(i);
    }
    StopSong(song);
    song->tickCallback = replay;
    return std::min(frames, capFrames);
}

bool StartPlayer(PlayerSession* session, Song* song, bool loop) {
    session->song = song;
    session->loop = loop;
    session->replay = song->tickCallback;
    ForgetPlayedPositions(&session->played);
    session->ticksFrames = 0;
    session->capFrames = kSongCapSeconds * OutputRateHz();
    session->tempoAt = std::make_unique<std::atomic<uint32_t>[]>(kSongPositionCount);
    session->ended.store(false);
    session->paused = false;
    session->stopped = false;
    session->seekPending = false;
    session->lastHeardFrame = OutputHeardFrames();
    session->elapsedFrames = 0;
    // The volume stays as the listener set it from one module to the next.
    SetOutputGain(static_cast<float>(std::pow(10.0, session->volumeDb / 20.0)));
    activePlayer = session;
    song->tickCallback = PlayerTick;
    if (StartSong(song)) return true;
    song->tickCallback = session->replay;
    activePlayer = nullptr;
    return false;
}

bool ApplyPlayerKey(PlayerSession* session, PlayerKey key) {
    if (key == PlayerKey::Quit) return true;
    if (session->ended.load(std::memory_order_acquire)) return false;
    switch (key) {
        case PlayerKey::Pause:
            session->paused = !session->paused;
            PauseSong(session->song, session->paused);
            // An order asked for while held is mixed only from now on.
            if (!session->paused && session->seekPending) {
                session->seekHeardFrame = OutputMixedEndFrame();
            }
            break;
        case PlayerKey::Back:
            Seek(session, -1);
            break;
        case PlayerKey::On:
            Seek(session, 1);
            break;
        case PlayerKey::Louder:
        case PlayerKey::Softer:
            session->volumeDb = std::clamp(
                session->volumeDb + (key == PlayerKey::Louder ? kVolumeStepDb : -kVolumeStepDb),
                kMinVolumeDb, kMaxVolumeDb);
            SetOutputGain(static_cast<float>(std::pow(10.0, session->volumeDb / 20.0)));
            break;
        default:
            break;
    }
    return false;
}

bool UpdatePlayer(PlayerSession* session) {
    const uint64_t heard = OutputHeardFrames();
    int32_t order = 0;
    int32_t row = 0;
    const uint32_t serial = session->song->startSerial.load(std::memory_order_acquire);
    if (FindHeardPosition(serial, &order, &row)) {
        session->elapsedFrames += heard - std::min(heard, session->lastHeardFrame);
    }
    session->lastHeardFrame = heard;
    if (session->seekPending && !session->paused && heard >= session->seekHeardFrame) {
        session->seekPending = false;
    }
    if (session->ended.load(std::memory_order_acquire) && !session->stopped) {
        StopSong(session->song);
        session->stopped = true;
        session->endHeardFrame = OutputMixedEndFrame();
    }
    return !session->stopped || heard < session->endHeardFrame;
}

PlayerStatus ReadPlayerStatus(const PlayerSession* session) {
    const Song* song = session->song;
    const HeardPosition heard = GetHeardSongPosition(song);
    PlayerStatus status{};
    status.order = session->seekPending ? session->seekOrder : heard.order;
    status.row = session->seekPending ? 0 : heard.row;
    status.orderCount = song->songLength;
    status.pattern = song->orderTable[status.order & (kOrderTableSize - 1)];
    status.rowCount = status.pattern < song->patternSlots ? song->patterns[status.pattern].rows : 0;
    const uint32_t tempo =
        session->tempoAt[PositionIndex(status.order, status.row)].load(std::memory_order_relaxed);
    // A position not mixed yet (just asked for) shows the tempo the song starts with.
    status.speed = tempo ? static_cast<int32_t>(tempo >> 16) : song->defaultSpeed;
    status.bpm = tempo ? static_cast<int32_t>(tempo & kTempoMask) : song->defaultBpm;
    const int32_t rateHz = std::max(OutputRateHz(), 1);
    status.elapsedMs = static_cast<int64_t>(session->elapsedFrames * 1000 / rateHz);
    status.totalMs = session->totalFrames * 1000 / rateHz;
    status.volumeDb = session->volumeDb;
    status.peak = FindHeardPeak();
    status.paused = session->paused;
    return status;
}

void StopPlayer(PlayerSession* session) {
    if (!session->song) return;
    StopSong(session->song);
    session->song->tickCallback = session->replay;
    activePlayer = nullptr;
    session->song = nullptr;
}
