// Song control and output operations racing a clock that mixes blocks on another thread. Run it
// under ThreadSanitizer: any access to shared state outside the mix lock is reported there.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "platform/virtual_audio_device.h"
#include "replay/channel.h"
#include "replay/song_control.h"
#include "sound/audio_output.h"
#include "sound/memory_files.h"
#include "sound/voice.h"
#include "sound/xm_writer.h"
#include "tests/support/module_builders.h"

namespace {

// Plays every Sample of the Song's first instrument on the Channels' Voices, with changing
// pitch and gain, so the mixer reads Song memory on every tick.
std::atomic<int> busyTicks{0};

void BusyTick(Song* song) {
    busyTicks.fetch_add(1, std::memory_order_relaxed);
    const Instrument& instrument = song->instruments[0];
    for (int32_t c = 0; c < song->channelCount; ++c) {
        Channel& channel = song->channels[c];
        channel.volume = (channel.volume + 7) % 256;
        const Sample* sample = instrument.samples[c % instrument.sampleCount];
        if (channel.volume % 3 == 0) BindVoiceSample(channel.voiceIndex, sample);
        SetVoiceFrequency(channel.voiceIndex, 8000 + 1000 * c + channel.volume * 50);
        SetVoiceVolume(channel.voiceIndex, channel.volume);
        SetVoicePanning(channel.voiceIndex, 255 - channel.volume);
    }
    song->order.store(song->order.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

std::vector<uint8_t> StressModule() {
    // Unlooped, forward and ping-pong, the middle one 8-bit.
    const uint8_t loopTypes[] = {0, kSampleTypeForward, kSampleTypePingPong};
    std::vector<XmSampleDesc> samples;
    for (int s = 0; s < 3; ++s) {
        std::vector<int16_t> values;
        for (int k = 0; k < 300 + 100 * s; ++k) {
            values.push_back(static_cast<int16_t>((k * 37 % 200 - 100) * (s == 1 ? 1 : 200)));
        }
        const SampleLoop loop{loopTypes[s], 50, 120};
        samples.push_back(s == 1 ? Sample8(values, loop) : Sample16(values, loop));
    }
    return WriteXm(MakeModule(8, 6, {0}, {MakePattern(64, 8)}, {InstrumentWith(samples)}));
}

Song* NewSong() {
    Song* song = CreateSong("stress.xm", nullptr);
    if (song) song->tickCallback = BusyTick;
    return song;
}

TEST(MixingStress, SongAndOutputOperationsRaceTheMixingClock) {
    UseMemoryFileHooks();
    AddMemoryFile("stress.xm", StressModule());
    SetBufferLength(40);
    ASSERT_TRUE(OpenAudioOutput(44100));

    std::atomic<bool> done{false};
    std::atomic<uint64_t> advances{0};
    std::thread clock([&] {
        while (!done.load()) {
            AdvanceVirtualAudio(441);
            advances.fetch_add(1);
        }
    });

    std::mt19937 random(1234);
    std::vector<Song*> songs = {NewSong(), NewSong()};
    int64_t positionsSeen = 0;
    constexpr int kOperations = 6000;
    for (int op = 0; op < kOperations; ++op) {
        Song*& song = songs[random() % songs.size()];
        switch (random() % 8) {
            case 0:
            case 1:
                StartSong(song);
                break;
            case 2:
                StopSong(song);
                break;
            case 3:
                FreeSong(song);
                song = NewSong();
                ASSERT_NE(song, nullptr);
                break;
            case 4:
                if (op % 50 == 0) {
                    SetBufferLength(op % 100 == 0 ? 20 : 60);
                    ASSERT_TRUE(OpenAudioOutput(op % 200 == 0 ? 48000 : 44100));
                }
                break;
            default: {
                // The heard record is read without the lock while the clock thread writes it.
                const HeardPosition heard = GetHeardSongPosition(song);
                positionsSeen += GetSongOrder(song) + GetSongRow(song) + heard.order + heard.row;
                std::this_thread::yield();
                break;
            }
        }
    }
    done = true;
    clock.join();
    for (Song* song : songs) FreeSong(song);
    CloseAudioOutput();
    RemoveMemoryFiles();
    SetBufferLength(100);
    EXPECT_GT(advances.load(), 0u);
    EXPECT_GT(busyTicks.load(), 0) << "songs were mixed while the operations ran";
    EXPECT_GE(positionsSeen, 0);
    EXPECT_EQ(PlayingSongs()->next, PlayingSongs());
    EXPECT_EQ(VoicePool(), nullptr);
}

}  // namespace
