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

// A module of `channels` channels and `patterns` patterns of `rows` rows, at speed `speed` and
// BPM 125, with one instrument: a looped 8-bit tone at volume 64, panning 128.
inline XmModuleDesc TestModule(int channels, int rows = 16, int patterns = 1, int speed = 6) {
    XmModuleDesc desc;
    desc.channelCount = static_cast<uint16_t>(channels);
    desc.defaultSpeed = static_cast<uint16_t>(speed);
    desc.defaultBpm = 125;
    for (int p = 0; p < patterns; ++p) {
        XmPatternDesc pattern;
        pattern.rows = static_cast<uint16_t>(rows);
        pattern.cells.assign(static_cast<size_t>(rows) * channels, NoteCell{});
        desc.patterns.push_back(pattern);
        desc.orders.push_back(static_cast<uint8_t>(p));
    }
    XmInstrumentDesc instrument;
    XmSampleDesc tone;
    for (int k = 0; k < 1000; ++k) tone.values.push_back(static_cast<int16_t>((k * 7) % 100 - 50));
    tone.loopBits = 1;
    tone.loopStart = 0;
    tone.loopLength = 1000;
    tone.volume = 64;
    tone.panning = 128;
    instrument.samples.push_back(tone);
    desc.instruments.push_back(instrument);
    return desc;
}

inline NoteCell& CellAt(XmModuleDesc& desc, int pattern, int row, int channel) {
    return desc.patterns[pattern].cells[static_cast<size_t>(row) * desc.channelCount + channel];
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
