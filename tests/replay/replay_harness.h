// A Song built with the XM writer, started on the virtual output and stepped tick by tick by the
// test itself, so every Voice value can be read between ticks.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "replay/channel.h"
#include "replay/sequencer.h"
#include "replay/song_control.h"
#include "sound/audio_output.h"
#include "sound/memory_files.h"
#include "sound/voice.h"
#include "sound/xm_writer.h"
#include "tests/support/module_builders.h"

// A module of `channels` channels and `patterns` patterns of `rows` rows, at speed `speed` and
// BPM 125, with one instrument: a looped 8-bit tone at volume 64, panning 128.
inline XmModuleDesc TestModule(int channels, int rows = 16, int patterns = 1, int speed = 6) {
    const auto width = static_cast<uint16_t>(channels);
    const XmPatternDesc blank = MakePattern(static_cast<uint16_t>(rows), width);
    std::vector<uint8_t> orders;
    for (int p = 0; p < patterns; ++p) orders.push_back(static_cast<uint8_t>(p));
    std::vector<int16_t> tone;
    for (int k = 0; k < 1000; ++k) tone.push_back(static_cast<int16_t>((k * 7) % 100 - 50));
    return MakeModule(width, static_cast<uint16_t>(speed), orders,
                      std::vector<XmPatternDesc>(patterns, blank),
                      {InstrumentWith({Sample8(tone, {kSampleTypeForward, 0, 1000})})});
}

// A Voice bound to a Sample on one tick: by a note, a retrigger or a delayed note.
struct Trigger {
    int tick;  // counted from the Song's start, the first tick 0
    int channel;
    const Sample* sample;
    uint32_t position;  // where the Sample starts
    bool operator==(const Trigger&) const = default;
};

inline void PrintTo(const Trigger& t, std::ostream* out) {
    *out << "{tick " << t.tick << ", channel " << t.channel << ", sample " << t.sample
         << ", position " << t.position << "}";
}

using Triggers = std::vector<Trigger>;

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseMemoryFileHooks();
        SetBufferLength(100);
        ASSERT_TRUE(OpenAudioOutput(44100));
    }
    void TearDown() override {
        FreeSong(song);
        CloseAudioOutput();
        RemoveMemoryFiles();
    }

    void Start(const XmModuleDesc& desc) {
        AddMemoryFile("replay.xm", WriteXm(desc));
        song = CreateSong("replay.xm", nullptr);
        ASSERT_NE(song, nullptr);
        ASSERT_TRUE(StartSong(song));
        ticksRun = 0;
        triggers.clear();
    }

    // Runs ticks and records the triggers they make. Nothing is mixed here, so a Voice's play
    // position moves only when a Sample is bound to it, and a bind always clears the fraction:
    // a fraction set before the tick and found zero after it, with a Sample on the Voice, is a
    // trigger (a stop clears it too, but leaves no Sample).
    void Tick(int count = 1) {
        for (int k = 0; k < count; ++k) {
            for (int c = 0; c < song->channelCount; ++c) V(c).positionFrac = kUntriggered;
            ReplayTick(song);
            for (int c = 0; c < song->channelCount; ++c) {
                const Voice& voice = V(c);
                if (voice.positionFrac == 0 && voice.sample) {
                    triggers.push_back({ticksRun, c, voice.sample, voice.positionInt});
                }
            }
            ++ticksRun;
        }
    }

    // The ticks on which the channel's Voice was triggered.
    std::vector<int32_t> TriggerTicks(int channel) const {
        std::vector<int32_t> ticks;
        for (const Trigger& t : triggers) {
            if (t.channel == channel) ticks.push_back(t.tick);
        }
        return ticks;
    }

    // The Sample of TestModule's instrument.
    const Sample* Tone() const { return song->instruments[0].samples[0]; }

    static Voice& V(int c) { return VoicePool()[c]; }
    Channel& Ch(int c) { return song->channels[c]; }
    int32_t Order() const { return GetSongOrder(song); }
    int32_t Row() const { return GetSongRow(song); }

    // The fraction every Voice of the Song is given before a tick; a trigger clears it.
    static constexpr uint32_t kUntriggered = 1;

    Song* song = nullptr;
    int ticksRun = 0;
    Triggers triggers;
};
