#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/audio_device.h"
#include "platform/virtual_audio_device.h"
#include "replay/channel.h"
#include "replay/song_control.h"
#include "sound/audio_output.h"
#include "sound/file_hooks.h"
#include "sound/heard_position.h"
#include "sound/memory_files.h"
#include "sound/song_timing.h"
#include "sound/voice.h"

namespace {

constexpr int16_t kImpulse = 16000;

// A one-shot sample that is loud on its first value only: retriggered on every tick, it marks in
// the output the exact frame at which each tick began.
struct ImpulseSample {
    std::vector<int16_t> data;
    Sample sample{};
    ImpulseSample() {
        data.assign(4000 + kSampleGuardValues, 0);
        data[0] = kImpulse;
        sample.data = data.data();
        sample.length = 4000;
        sample.loopLength = 4000;
        sample.loopType = kLoopNone;
        sample.bits = 16;
        data[4000] = data[0];
    }
};

ImpulseSample impulse;
int tickCount = 0;

void MarkTick(Song* /*song*/) {
    ++tickCount;
    BindVoiceSample(0, &impulse.sample);
}

// A Song with one channel and no patterns, driven by `tick` instead of the replay.
Song* MakeSong(TickCallback tick, uint16_t bpm) {
    auto* song = new Song{};
    ListMakeSelfLinked(song);
    song->channelCount = 1;
    song->defaultBpm = bpm;
    song->defaultSpeed = 6;
    song->initialGlobalVolume = 64;
    song->tickCallback = tick;
    return song;
}

class AudioOutput : public ::testing::Test {
protected:
    void SetUp() override {
        UseMemoryFileHooks();
        SetBufferLength(100);
        tickCount = 0;
    }
    void TearDown() override {
        for (Song* song : songs) FreeSong(song);
        CloseAudioOutput();
        SetBufferLength(100);
    }

    Song* Started(TickCallback tick, uint16_t bpm) {
        Song* song = MakeSong(tick, bpm);
        songs.push_back(song);
        EXPECT_TRUE(StartSong(song));
        // Voice 0 at full gain, hard left, one sample value per frame, gains already settled.
        SetVoiceFrequency(0, OutputRateHz());
        SetVoicePanning(0, 0);
        SetVoiceVolume(0, 255);
        VoicePool()[0].currentLeft = 255;
        return song;
    }

    // Advances the device one block at a time and returns the left channel of every block mixed.
    static std::vector<int16_t> CaptureLeft(int blocks) {
        std::vector<int16_t> left;
        const int32_t blockFrames = OutputBlockFrames();
        for (int b = 0; b < blocks; ++b) {
            const int32_t mixed = OutputNextBlock();
            AdvanceVirtualAudio(blockFrames);
            EXPECT_EQ(OutputNextBlock(), (mixed + 1) % OutputBlockCount()) << "one block per block";
            const int16_t* block = VirtualAudioRing() + 2 * mixed * blockFrames;
            for (int32_t k = 0; k < blockFrames; ++k) left.push_back(block[2 * k]);
        }
        return left;
    }

    static std::vector<int> ImpulseFrames(const std::vector<int16_t>& left) {
        std::vector<int> frames;
        for (size_t k = 0; k < left.size(); ++k) {
            if (left[k] == kImpulse) frames.push_back(static_cast<int>(k));
        }
        return frames;
    }

    std::vector<Song*> songs;
};

TEST_F(AudioOutput, BufferLengthAndRingGeometry) {
    struct Setting {
        int32_t ms, stored;
    };
    for (const Setting s : {Setting{5, 20}, Setting{100, 100}, Setting{119, 100}, Setting{20, 20},
                            Setting{-40, 20}, Setting{200, 200}}) {
        EXPECT_TRUE(SetBufferLength(s.ms));
        EXPECT_EQ(BufferLengthMs(), s.stored) << s.ms;
    }
    struct Case {
        int32_t rateHz, bufferMs, blockFrames, blockCount;
    };
    const Case cases[] = {{44100, 100, 884, 10}, {48000, 100, 960, 10}, {22050, 20, 444, 2},
                          {44100, 200, 884, 20}, {8000, 40, 160, 4}};
    for (const Case& c : cases) {
        SetBufferLength(c.bufferMs);
        ASSERT_TRUE(OpenAudioOutput(c.rateHz));
        EXPECT_EQ(OutputBlockFrames(), c.blockFrames) << c.rateHz;
        EXPECT_EQ(OutputBlockCount(), c.blockCount);
        EXPECT_EQ(OutputRingFrames(), c.blockFrames * c.blockCount);
        EXPECT_EQ(VirtualAudioRingBytes(), static_cast<uint32_t>(4 * c.blockFrames * c.blockCount));
        EXPECT_EQ(VirtualAudioRateHz(), c.rateHz);
        EXPECT_EQ(OutputBlockFrames() % 4, 0);
    }
    SetBufferLength(100);
    ASSERT_TRUE(OpenAudioOutput(44100));
    EXPECT_EQ(OutputRingFrames(), 8840);
    EXPECT_EQ(VirtualAudioRingBytes(), 35360u);
    EXPECT_EQ(RampLengthFrames(), 128);
}

TEST_F(AudioOutput, RefusesWithoutFileHooksOrWithAnUnusableRate) {
    SetFileHooks(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(OpenAudioOutput(44100));
    EXPECT_EQ(VoicePool(), nullptr);
    EXPECT_EQ(VirtualAudioRing(), nullptr);
    UseMemoryFileHooks();
    EXPECT_FALSE(OpenAudioOutput(0));
    EXPECT_FALSE(OpenAudioOutput(7999));
    EXPECT_FALSE(OpenAudioOutput(1000000));
    EXPECT_EQ(VoicePool(), nullptr);
    AdvanceVirtualAudio(10000);  // nothing open: nothing happens
    CloseAudioOutput();
    CloseAudioOutput();
    EXPECT_TRUE(OpenAudioOutput(44100));
    EXPECT_NE(VoicePool(), nullptr);
}

TEST_F(AudioOutput, WithoutAStartedSongEveryBlockIsSilence) {
    ASSERT_TRUE(OpenAudioOutput(44100));
    // An active voice is not heard: only a started Song's segments are mixed.
    ASSERT_EQ(BindVoiceSample(5, &impulse.sample), 5);
    SetVoiceFrequency(5, 44100);
    SetVoiceVolume(5, 255);
    const std::vector<int16_t> left = CaptureLeft(12);
    EXPECT_EQ(left, std::vector<int16_t>(left.size(), 0));
    EXPECT_EQ(VoicePool()[5].positionInt, 0u);
}

TEST_F(AudioOutput, TicksBeginExactlyWhenTheirFramesRunOutAlsoAcrossBlocks) {
    struct Case {
        uint16_t bpm;
        int framesPerTick;
    };
    // 882 frames per tick drifts through the 884-frame blocks; 3445 spans several of them.
    for (const Case c : {Case{125, 882}, Case{32, 3445}, Case{255, 432}}) {
        ASSERT_TRUE(OpenAudioOutput(44100));
        tickCount = 0;
        Song* song = Started(MarkTick, c.bpm);
        ASSERT_EQ(song->samplesPerTick, c.framesPerTick);
        const std::vector<int16_t> left = CaptureLeft(25);
        std::vector<int> want;
        for (int f = 0; f < static_cast<int>(left.size()); f += c.framesPerTick) want.push_back(f);
        EXPECT_EQ(ImpulseFrames(left), want) << c.bpm;
        EXPECT_EQ(tickCount, static_cast<int>(want.size())) << c.bpm;
        // The frames still owed to the current tick carry into the next block.
        EXPECT_EQ(song->samplesLeftInTick,
                  (c.framesPerTick - static_cast<int>(left.size()) % c.framesPerTick) %
                      c.framesPerTick);
        StopSong(song);
    }
}

TEST_F(AudioOutput, NothingIsMixedBeforeTheDeviceHasPlayedTheBlock) {
    ASSERT_TRUE(OpenAudioOutput(44100));
    Started(MarkTick, 125);
    AdvanceVirtualAudio(883);  // still inside block 0
    EXPECT_EQ(tickCount, 0);
    EXPECT_EQ(OutputNextBlock(), 0);
    AdvanceVirtualAudio(1);
    EXPECT_EQ(tickCount, 2);  // block 0 holds ticks at frames 0 and 882
    EXPECT_EQ(OutputNextBlock(), 1);
    // A caller that moves the clock by several blocks at once gets all of them mixed.
    AdvanceVirtualAudio(3 * 884);
    EXPECT_EQ(OutputNextBlock(), 4);
}

// A device that takes several blocks at a time (a callback of 2048 frames is 2.3 blocks) leaves
// the mixing behind across the ring's end: every block it has played is mixed at once, none
// waits for a lap.
TEST_F(AudioOutput, MixingTwoBlocksBehindAcrossTheRingsEndCatchesUpAtOnce) {
    ASSERT_TRUE(OpenAudioOutput(44100));
    Started(MarkTick, 125);
    const int32_t blockFrames = OutputBlockFrames();
    AdvanceVirtualAudio(static_cast<uint32_t>(blockFrames * (OutputBlockCount() - 1)));
    EXPECT_EQ(OutputNextBlock(), OutputBlockCount() - 1) << "waits on the block being played";
    AdvanceVirtualAudio(static_cast<uint32_t>(3 * blockFrames));
    EXPECT_EQ(OutputNextBlock(), 2) << "the last block and blocks 0 and 1 mixed";
    CaptureLeft(2 * OutputBlockCount());
    EXPECT_EQ(OutputMissedSound().lateBlocks, 0u);
}

// Blocks the device reaches before they were mixed for it are counted: the ring's stale content
// played for a lap the mixing did not keep up with. Keeping up, one block at a time, counts none.
TEST_F(AudioOutput, BlocksTheDeviceMetBeforeTheyWereMixedAreCounted) {
    ASSERT_TRUE(OpenAudioOutput(44100));
    Started(MarkTick, 125);
    CaptureLeft(30);
    EXPECT_EQ(OutputMissedSound().lateBlocks, 0u);
    // Ten blocks at once, the mixing unable to run: every block of the next lap is met stale.
    const int32_t blockFrames = OutputBlockFrames();
    AdvanceVirtualAudio(static_cast<uint32_t>(OutputRingFrames()));
    AdvanceVirtualAudio(static_cast<uint32_t>(blockFrames));
    EXPECT_EQ(OutputMissedSound().lateBlocks, 10u);
    CaptureLeft(30);
    EXPECT_EQ(OutputMissedSound().lateBlocks, 10u) << "kept up again";
    CloseAudioOutput();
    EXPECT_EQ(OutputMissedSound().lateBlocks, 10u) << "kept for a report after the close";
    ASSERT_TRUE(OpenAudioOutput(44100));
    EXPECT_EQ(OutputMissedSound().lateBlocks, 0u) << "counted afresh from the next open";
}

int changingTicks = 0;
void ChangingVoice(Song* /*song*/) {
    ++changingTicks;
    BindVoiceSample(0, &impulse.sample);
    SetVoiceFrequency(0, 20000 + 3777 * (changingTicks % 11));
    SetVoiceVolume(0, 40 * (changingTicks % 7));
    SetVoicePanning(0, 30 * (changingTicks % 9));
}

TEST_F(AudioOutput, TwoRunsWithTheSameInputsGiveTheSameBytes) {
    std::vector<int16_t> runs[2];
    for (std::vector<int16_t>& run : runs) {
        changingTicks = 0;
        ASSERT_TRUE(OpenAudioOutput(44100));
        Song* song = Started(ChangingVoice, 140);
        for (int b = 0; b < 40; ++b) {
            const int32_t mixed = OutputNextBlock();
            AdvanceVirtualAudio(884);
            const int16_t* block = VirtualAudioRing() + 2 * mixed * 884;
            run.insert(run.end(), block, block + 2 * 884);
        }
        FreeSong(song);
        songs.clear();
        CloseAudioOutput();
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_NE(runs[0], std::vector<int16_t>(runs[0].size(), 0)) << "the voice was heard";
}

TEST_F(AudioOutput, ReopeningRebindsStartedSongsToTheNewPool) {
    ASSERT_TRUE(OpenAudioOutput(44100));
    Song* song = Started(MarkTick, 125);
    ASSERT_EQ(song->samplesPerTick, 882);

    CloseAudioOutput();
    EXPECT_EQ(song->channels[0].voiceIndex, 0) << "a Channel names its Voice by index, not address";
    EXPECT_EQ(song->samplesPerTick, 0);

    ASSERT_TRUE(OpenAudioOutput(48000));
    EXPECT_EQ(song->channels[0].voiceIndex, 0);
    EXPECT_TRUE(song->channels[0].bound);
    EXPECT_EQ(song->samplesPerTick, 960);
    EXPECT_EQ(song->playing, 1);

    // Reopening over an open output goes straight to the new pool as well.
    ASSERT_TRUE(OpenAudioOutput(44100));
    EXPECT_EQ(song->channels[0].voiceIndex, 0);
    EXPECT_EQ(song->samplesPerTick, 882);
    AdvanceVirtualAudio(884);
    EXPECT_GT(tickCount, 0) << "the started Song goes on after the reopen";
}

TEST_F(AudioOutput, NextBlockStartsOverWhenTheRingShrinks) {
    SetBufferLength(200);
    ASSERT_TRUE(OpenAudioOutput(44100));
    Started(MarkTick, 125);
    AdvanceVirtualAudio(16 * 884);
    ASSERT_EQ(OutputNextBlock(), 16);

    SetBufferLength(20);
    ASSERT_TRUE(OpenAudioOutput(44100));
    EXPECT_EQ(OutputBlockCount(), 2);
    EXPECT_EQ(OutputNextBlock(), 0);
    const int before = tickCount;
    for (int b = 0; b < 6; ++b) {
        AdvanceVirtualAudio(884);
        EXPECT_LT(OutputNextBlock(), 2);
    }
    EXPECT_GT(tickCount, before);
}

// ---------------------------------------------------------------------------------------------
// The position heard.

// Every tick is a row of its own, numbered from the start: the position shows which tick sounds.
void TickIsRow(Song* song) {
    const int32_t t = song->tick++;
    song->order.store(t / 256 % 256);
    song->row.store(t % 256);
}

uint32_t Packed(int64_t tick) { return static_cast<uint32_t>(tick / 256 % 256 << 8 | tick % 256); }

uint32_t Heard(const Song* song) {
    const HeardPosition heard = GetHeardSongPosition(song);
    return SongPosition(heard.order, heard.row);
}

// Moves the device to `target` frames in uneven steps, recording after each step the position
// heard and the one the model gives for the device's count.
template <typename Model>
void PlayTo(int64_t& now, int64_t target, const Song* song, Model model,
            std::vector<uint32_t>& heard, std::vector<uint32_t>& want) {
    while (now < target) {
        const int64_t step = std::min<int64_t>(227, target - now);
        AdvanceVirtualAudio(static_cast<uint32_t>(step));
        now += step;
        heard.push_back(Heard(song));
        want.push_back(model(now));
    }
}

TEST_F(AudioOutput, TheHeardPositionTrailsTheMixByTheRingAcrossRestartStopAndReopen) {
    ASSERT_TRUE(OpenAudioOutput(44100));
    const int64_t ring = OutputRingFrames();  // 8840
    constexpr int64_t kTick = 882;
    Song* song = MakeSong(TickIsRow, 125);
    songs.push_back(song);
    std::vector<uint32_t> heard, want;
    int64_t now = 0;

    // The device first plays the silent ring, then the song's first block: the song's frame f
    // sounds at device frame ring + f. Nothing heard yet is position 0, though the mix is ahead.
    ASSERT_TRUE(StartSong(song));
    const auto fromStart = [&](int64_t startedAt) {
        return [=](int64_t h) {
            return h < startedAt + ring ? 0u : Packed((h - startedAt - ring) / kTick);
        };
    };
    PlayTo(now, ring - 1, song, fromStart(0), heard, want);
    EXPECT_GT(GetSongRow(song), 8) << "the mix runs a ring ahead";
    PlayTo(now, 3 * ring, song, fromStart(0), heard, want);

    // A restart on a block boundary is heard a ring later; the old start's sound still playing
    // in between is not this start's.
    const int64_t restart = now;
    ASSERT_TRUE(StartSong(song));
    PlayTo(now, 5 * ring, song, fromStart(restart), heard, want);

    // Stopped, the last mixed block still plays; then the Song is heard where it stopped.
    const int64_t stop = now;
    ASSERT_TRUE(StopSong(song));
    const int64_t lastTick = (stop - restart - 1) / kTick;
    PlayTo(now, 7 * ring, song, [&](int64_t h) {
        return Packed(std::min(lastTick, (h - restart - ring) / kTick));
    }, heard, want);
    EXPECT_EQ(heard, want);

    // Reopened under a started Song, the sound in flight is lost: it is heard where the mix is.
    ASSERT_TRUE(StartSong(song));
    for (int b = 0; b < 20; ++b) AdvanceVirtualAudio(OutputBlockFrames());
    ASSERT_TRUE(OpenAudioOutput(44100));
    EXPECT_EQ(Heard(song), Packed(song->tick - 1));
}

// The page's case: one output mixes, another never does and is handed the first one's blocks as
// they are mixed. The second answers, frame for frame, what the first heard, for its own Song.
TEST_F(AudioOutput, BlocksMixedElsewhereAnswerTheSameHeardPosition) {
    ASSERT_TRUE(OpenAudioOutput(44100));
    Song* mixed = MakeSong(TickIsRow, 125);
    songs.push_back(mixed);
    ASSERT_TRUE(StartSong(mixed));
    std::vector<std::vector<MixedBlockRecord>> blocksPerStep;
    std::vector<uint32_t> heard;
    uint64_t copied = 0;
    for (int64_t now = 0; now < 4 * OutputRingFrames(); now += 227) {
        AdvanceVirtualAudio(227);
        blocksPerStep.emplace_back();
        for (; copied < OutputBlocksRecorded(); ++copied) {
            MixedBlockRecord record{};
            ASSERT_TRUE(CopyMixedBlock(copied, &record));
            blocksPerStep.back().push_back(record);
        }
        heard.push_back(Heard(mixed));
    }
    MixedBlockRecord gone{};
    EXPECT_FALSE(CopyMixedBlock(0, &gone)) << "an old block is no longer kept";
    EXPECT_FALSE(CopyMixedBlock(copied, &gone)) << "a block not yet mixed";
    ASSERT_GT(heard.back(), 20u) << "the song was heard well past its start";

    StopSong(mixed);
    CloseAudioOutput();
    ASSERT_TRUE(OpenAudioOutput(44100));
    AudioDeviceDrivesMixing(nullptr);
    Song* shown = MakeSong(TickIsRow, 125);  // another start, another serial
    songs.push_back(shown);
    ASSERT_TRUE(StartSong(shown));
    std::vector<uint32_t> answered;
    for (const std::vector<MixedBlockRecord>& step : blocksPerStep) {
        for (const MixedBlockRecord& record : step) RecordMixedBlock(record);
        AdvanceVirtualAudio(227);
        answered.push_back(Heard(shown));
    }
    EXPECT_EQ(answered, heard);
    EXPECT_EQ(OutputNextBlock(), 0) << "nothing was mixed here";
    EXPECT_EQ(GetSongRow(shown), 0);
}

// ---------------------------------------------------------------------------------------------
// Song control.

TEST_F(AudioOutput, SongOperationsTolerateNull) {
    EXPECT_FALSE(StartSong(nullptr));
    EXPECT_FALSE(StopSong(nullptr));
    EXPECT_FALSE(FreeSong(nullptr));
    EXPECT_EQ(GetSongOrder(nullptr), 0);
    EXPECT_EQ(GetSongRow(nullptr), 0);
    FreeSample(nullptr);
    FreeSample(&emptySample);
    EXPECT_EQ(emptySample.data, nullptr);
}

TEST_F(AudioOutput, StartingNeedsAnOpenOutput) {
    Song* song = MakeSong(MarkTick, 125);
    songs.push_back(song);
    EXPECT_FALSE(StartSong(song));
    EXPECT_EQ(song->channels, nullptr);
    EXPECT_EQ(song->playing, 0);
    EXPECT_EQ(song->next, song);
}

TEST_F(AudioOutput, StartResetsThePositionAndAppendsOnce) {
    ASSERT_TRUE(OpenAudioOutput(44100));
    Song* a = MakeSong(MarkTick, 125);
    Song* b = MakeSong(MarkTick, 125);
    songs = {a, b};
    a->channelCount = 3;
    ASSERT_TRUE(StartSong(a));
    ASSERT_TRUE(StartSong(b));
    a->order.store(7);
    a->row.store(12);
    a->tick = 3;
    a->speed = 2;
    a->patternDelay = 4;
    a->globalVolume = 10;
    a->samplesLeftInTick = 99;
    a->channels[2].volume = 50;
    ASSERT_TRUE(StartSong(a));  // again: a fresh start at the tail
    EXPECT_EQ(PlayingSongs()->next, b);
    EXPECT_EQ(b->next, a);
    EXPECT_EQ(a->next, PlayingSongs());
    EXPECT_EQ(GetSongOrder(a), 0);
    EXPECT_EQ(GetSongRow(a), 0);
    EXPECT_EQ(a->tick, 0);
    EXPECT_EQ(a->speed, 6);
    EXPECT_EQ(a->patternDelay, 0);
    EXPECT_EQ(a->globalVolume, 64);
    EXPECT_EQ(a->samplesLeftInTick, 0);
    EXPECT_EQ(a->nextOrder, -1);
    EXPECT_EQ(a->nextRow, -1);
    EXPECT_EQ(a->playing, 1);
    EXPECT_EQ(a->channels[2].volume, 0) << "fresh Channels";
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(a->channels[i].voiceIndex, i);
        EXPECT_TRUE(a->channels[i].bound);
    }

    // Stopping silences the Song's voices; stopping again changes nothing.
    ASSERT_EQ(BindVoiceSample(2, &impulse.sample), 2);
    EXPECT_TRUE(StopSong(a));
    EXPECT_EQ(VoicePool()[2].sample, nullptr);
    EXPECT_EQ(a->channels, nullptr);
    EXPECT_EQ(a->playing, 0);
    EXPECT_EQ(a->next, a);
    EXPECT_EQ(PlayingSongs()->next, b);
    EXPECT_EQ(b->next, PlayingSongs());
    EXPECT_TRUE(StopSong(a));
    EXPECT_EQ(PlayingSongs()->next, b);
}

TEST_F(AudioOutput, SongBpmGivesWholeFramesPerTick) {
    struct Case {
        int32_t rateHz, bpm, frames;
    };
    const Case cases[] = {
        {44100, 125, 882}, {44100, 118, 934}, {44100, 32, 3445},  {48000, 125, 960},
        {48000, 118, 1016}, {48000, 32, 3750}, {44100, 255, 432}, {8000, 65535, 1},
        {44100, 0, 882},  // a damaged header's 0 plays at 125
        {44100, -3, 882},
    };
    Song* song = MakeSong(MarkTick, 125);
    songs.push_back(song);
    SetSongBpm(song, 125);
    EXPECT_EQ(song->samplesPerTick, 0) << "no output, no rate";
    for (const Case& c : cases) {
        ASSERT_TRUE(OpenAudioOutput(c.rateHz));
        SetSongBpm(song, c.bpm);
        EXPECT_EQ(song->samplesPerTick, c.frames) << c.rateHz << " " << c.bpm;
        EXPECT_EQ(song->bpm, c.bpm < 1 ? 125 : c.bpm);
    }
}

TEST_F(AudioOutput, FreeingASampleSilencesTheVoicesPlayingIt) {
    ASSERT_TRUE(OpenAudioOutput(44100));
    auto* sample = new Sample{};
    sample->data = new int16_t[16 + kSampleGuardValues]();
    sample->length = 16;
    sample->loopLength = 16;
    sample->loopType = kLoopForward;
    ASSERT_EQ(BindVoiceSample(9, sample), 9);
    ASSERT_EQ(BindVoiceSample(10, &impulse.sample), 10);
    FreeSample(sample);
    EXPECT_EQ(VoicePool()[9].sample, nullptr);
    EXPECT_EQ(VoicePool()[10].sample, &impulse.sample);
}

}  // namespace
