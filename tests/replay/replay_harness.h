// A Song built with the XM writer, started on the virtual output and stepped tick by tick by the
// test itself, so every Voice value can be read between ticks.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "replay/channel.h"
#include "replay/sequencer.h"
#include "sound/audio_output.h"
#include "sound/memory_files.h"
#include "sound/song_control.h"
#include "sound/voice.h"
#include "sound/xm_writer.h"
#include "tests/support/module_builders.h"

// A module of `channels` channels and `patterns` patterns of `rows` rows, at speed `speed` and
// BPM 125, with one instrument: a looped 8-bit tone at volume 64, panning 128.
inline XmModuleDesc TestModule(int channels, int rows = 16, int patterns = 1, int speed = 6) {
    const auto width = static_cast<uint16_t>(channels);
    const std::vector<XmPatternDesc> blank(patterns, MakePattern(static_cast<uint16_t>(rows), width));
    std::vector<uint8_t> orders;
    for (int p = 0; p < patterns; ++p) orders.push_back(static_cast<uint8_t>(p));
    std::vector<int16_t> tone;
    for (int k = 0; k < 1000; ++k) tone.push_back(static_cast<int16_t>((k * 7) % 100 - 50));
    return MakeModule(width, static_cast<uint16_t>(speed), orders, blank,
                      {InstrumentWith({Sample8(tone, {kSampleTypeForward, 0, 1000})})});
}

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
    }

    void Tick(int count = 1) {
        for (int k = 0; k < count; ++k) ReplayTick(song);
    }

    static Voice& V(int c) { return VoicePool()[c]; }
    Channel& Ch(int c) { return song->channels[c]; }
    int32_t Order() const { return GetSongOrder(song); }
    int32_t Row() const { return GetSongRow(song); }

    Song* song = nullptr;
};
