// The song as the show loads it: from the embedded block, through the in-memory module file.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <span>
#include <tuple>
#include <vector>

#include "assets/embedded_data.h"
#include "director/module_file.h"
#include "generators/composer/instruments.h"
#include "generators/composer/score.h"
#include "replay/channel.h"
#include "replay/sequencer.h"
#include "replay/song_control.h"
#include "show/beat_tables.h"
#include "sound/audio_output.h"
#include "sound/file_hooks.h"
#include "sound/voice.h"

namespace {

// A note byte that plays a note: not empty, not a key off.
bool IsNote(uint8_t note) { return note >= kNoteC0 && note < kNoteC0 + kNoteCount; }

struct Position {
    int order;
    int row;
};

// The rows the pictures follow; each must carry a drum hit.
std::vector<Position> AccentPositions() {
    std::vector<Position> positions;
    for (int order = 1; order <= 4; ++order) {
        for (int row : {0, 1, 5, 7}) positions.push_back({order, row});  // caption words
    }
    for (const auto& table : {std::span<const uint32_t>(meshBeatPositions), std::span<const uint32_t>(pulsePositions),
                              std::span<const uint32_t>(swapPositions)}) {
        for (const uint32_t position : table) {
            positions.push_back({static_cast<int>(position >> 8), static_cast<int>(position & 0xFF)});
        }
    }
    return positions;
}

class EmbeddedSong : public ::testing::Test {
protected:
    void SetUp() override {
        SetFileHooks(ModuleOpen, ModuleClose, ModuleRead, ModuleSeek, ModuleTell);
        song = CreateSong("quindolo.xm", nullptr);
        ASSERT_NE(song, nullptr);
    }
    void TearDown() override { FreeSong(song); }

    const NoteCell& Cell(int order, int row, int channel) const {
        const Pattern& pattern = song->patterns[song->orderTable[order]];
        return pattern.cells[row * song->channelCount + channel];
    }

    Song* song = nullptr;
};

TEST(EmbeddedBlock, ModuleLiesInsideTheBlockAfterTheGrainLead) {
    const auto lead = embeddedModule - embeddedBlock;
    EXPECT_GE(lead, int64_t{kModuleLeadBytes});
    EXPECT_LE(embeddedModule + embeddedModuleBytes, embeddedBlockEnd);
    EXPECT_EQ(std::memcmp(embeddedModule, "Extended Module: ", 17), 0);
    // The grain filter reads the first 190 KB of the module as noise.
    EXPECT_GE(embeddedModuleBytes, 190u * 1024u);
}

TEST(EmbeddedBlock, ModuleIsTheComposersSongByteForByte) {
    const std::vector<uint8_t> composed = composer::ComposeSongBytes();
    ASSERT_EQ(composed.size(), embeddedModuleBytes);
    EXPECT_EQ(std::memcmp(composed.data(), embeddedModule, composed.size()), 0);
}

TEST_F(EmbeddedSong, LoaderConsumesTheModuleToItsLastByte) {
    EXPECT_EQ(moduleSize, int32_t(embeddedModuleBytes));
    EXPECT_EQ(moduleReadPos, moduleSize);
}

TEST_F(EmbeddedSong, HeaderMatchesTheLayoutTheTimelineUses) {
    EXPECT_EQ(song->songLength, 19);
    EXPECT_EQ(song->restartPosition, 0);
    EXPECT_EQ(song->channelCount, 12);
    EXPECT_EQ(song->patternSlots, 17);
    EXPECT_EQ(song->patternsReferenced, 17);
    EXPECT_EQ(song->instrumentCount, 27);
    EXPECT_EQ(song->flags, kLinearFrequencyFlag);
    EXPECT_EQ(song->defaultSpeed, 6);
    EXPECT_EQ(song->defaultBpm, 118);
    const std::vector<uint8_t>& orders = composer::SongOrders();
    for (int order = 0; order < 19; ++order) EXPECT_EQ(song->orderTable[order], orders[order]);
    for (int slot = 0; slot < song->patternSlots; ++slot) EXPECT_EQ(song->patterns[slot].rows, 64);
    int withoutSamples = 0;
    for (int i = 0; i < song->instrumentCount; ++i) {
        const int count = song->instruments[i].sampleCount;
        EXPECT_LE(count, 3) << "instrument " << i + 1;
        withoutSamples += count == 0 ? 1 : 0;
    }
    EXPECT_GE(withoutSamples, 1);
    EXPECT_LE(withoutSamples, 3);
}

// Only two position effects exist: the break on row 31 of order 0 and the jump of order 18 to
// itself on its last row. Nothing else may move the positions the pictures are tied to.
TEST_F(EmbeddedSong, OnlyTheTwoPlannedPositionEffects) {
    int breaks = 0, jumps = 0;
    for (int order = 0; order < song->songLength; ++order) {
        for (int row = 0; row < 64; ++row) {
            for (int channel = 0; channel < song->channelCount; ++channel) {
                const NoteCell& cell = Cell(order, row, channel);
                const int x = cell.parameter >> 4;
                if (cell.effect == kEffectPatternBreak) {
                    ++breaks;
                    EXPECT_TRUE(order == 0 && row == 31 && cell.parameter == 0) << order << "/" << row;
                }
                if (cell.effect == kEffectPositionJump) {
                    ++jumps;
                    EXPECT_TRUE(order == 18 && row == 63 && cell.parameter == 18) << order << "/" << row;
                }
                EXPECT_FALSE(cell.effect == kEffectExtended &&
                             (x == kExtendedPatternLoop || x == kExtendedPatternDelay))
                    << order << "/" << row;
                if (cell.effect == kEffectSpeed) {
                    EXPECT_TRUE(cell.parameter == 6 || cell.parameter == 118) << order << "/" << row;
                }
            }
        }
    }
    EXPECT_EQ(breaks, 1);
    EXPECT_EQ(jumps, 1);
}

TEST_F(EmbeddedSong, EveryAccentRowStartsADrumNote) {
    for (const Position& p : AccentPositions()) {
        bool drum = false;
        for (int channel = 0; channel < song->channelCount; ++channel) {
            const NoteCell& cell = Cell(p.order, p.row, channel);
            drum |= IsNote(cell.note) && composer::IsDrum(cell.instrument);
        }
        EXPECT_TRUE(drum) << "order " << p.order << " row " << p.row;
    }
}

// The song played through the replay offline, the way the mixing loop plays it: one tick of the
// replay, then that tick's frames mixed, so a Voice that keeps playing has moved on by the next
// tick and one that was started again is back at its start.
constexpr int kSpeed = 6;
constexpr int kRowsToTheLoop = 32 + 18 * 64;
constexpr int kTicksToTheLoop = kRowsToTheLoop * kSpeed;
// A drum hit below this Voice volume (of 127) is lost under the pads: no accent.
constexpr int32_t kAudibleVolume = 40;

struct ChannelTick {
    bool started;        // bound to a sample on this tick, from the sample's start
    int instrument;      // 1-based owner of the bound sample; 0 when the Voice is silent
    int32_t volume;      // the Voice volume, 0..127
    bool operator==(const ChannelTick&) const = default;
};

struct TickRecord {
    int order;
    int row;
    int tick;  // 0 = the row's first tick
    int speed;
    int bpm;
    std::array<ChannelTick, 12> channels;
};

uint64_t PlayPosition(const Voice& voice) {
    return (uint64_t{voice.positionInt} << 32) | voice.positionFrac;
}

std::vector<TickRecord> PlaySong(int ticks) {
    std::vector<TickRecord> records;
    SetFileHooks(ModuleOpen, ModuleClose, ModuleRead, ModuleSeek, ModuleTell);
    SetBufferLength(100);
    if (!OpenAudioOutput(44100)) return records;
    Song* song = CreateSong("quindolo.xm", nullptr);
    if (song && StartSong(song)) {
        std::map<const Sample*, int> owner;
        for (int i = 0; i < song->instrumentCount; ++i) {
            const Instrument& instrument = song->instruments[i];
            for (int k = 0; k < instrument.sampleCount; ++k) owner[instrument.samples[k]] = i + 1;
        }
        std::vector<float> mix;
        for (int k = 0; k < ticks; ++k) {
            std::array<const Sample*, 12> sampleBefore{};
            std::array<uint64_t, 12> positionBefore{};
            for (int c = 0; c < 12; ++c) {
                sampleBefore[c] = VoicePool()[c].sample;
                positionBefore[c] = PlayPosition(VoicePool()[c]);
            }
            TickRecord record{};
            record.tick = song->tick;
            ReplayTick(song);
            record.order = GetSongOrder(song);
            record.row = GetSongRow(song);
            record.speed = song->speed;
            record.bpm = song->bpm;
            for (int c = 0; c < 12; ++c) {
                const Voice& voice = VoicePool()[c];
                const bool rewound = voice.sample != nullptr &&
                                     (voice.sample != sampleBefore[c] ||
                                      PlayPosition(voice) < positionBefore[c]);
                const bool trigger = (song->channels[c].updateFlags & kUpdateTrigger) != 0;
                const auto found = owner.find(voice.sample);
                record.channels[c] = {trigger && rewound, found == owner.end() ? 0 : found->second,
                                      voice.volume};
            }
            records.push_back(record);
            mix.assign(size_t(song->samplesPerTick) * 2, 0.0f);
            MixVoices(mix.data(), VoiceList(), song->samplesPerTick);
        }
    }
    FreeSong(song);
    CloseAudioOutput();
    return records;
}

// The first `seconds` of the song as the mixer adds it up, stereo floats, tick by tick.
std::vector<float> MixOpening(double seconds) {
    std::vector<float> frames;
    SetFileHooks(ModuleOpen, ModuleClose, ModuleRead, ModuleSeek, ModuleTell);
    SetBufferLength(100);
    if (!OpenAudioOutput(44100)) return frames;
    Song* song = CreateSong("quindolo.xm", nullptr);
    if (song && StartSong(song)) {
        std::vector<float> mix;
        while (frames.size() < size_t(seconds * 44100) * 2) {
            ReplayTick(song);
            mix.assign(size_t(song->samplesPerTick) * 2, 0.0f);
            MixVoices(mix.data(), VoiceList(), song->samplesPerTick);
            frames.insert(frames.end(), mix.begin(), mix.end());
        }
    }
    FreeSong(song);
    CloseAudioOutput();
    return frames;
}

// The song fades in from its first row: no 10 ms window of the first 2 s is louder than half as
// much again as the loudest of the half second after it. A level set on a channel after one that
// sounds would let the first row play at full level, some 18 dB above the rows that follow.
TEST(EmbeddedSongOpening, NoWindowOfTheFirstTwoSecondsIsLouderThanTheRowsAfterIt) {
    constexpr size_t kWindowFrames = 441;
    const std::vector<float> frames = MixOpening(2.5);
    ASSERT_GE(frames.size(), 250 * kWindowFrames * 2);
    std::vector<double> rms;
    for (size_t w = 0; w < 250; ++w) {
        double sum = 0;
        for (size_t i = w * kWindowFrames * 2; i < (w + 1) * kWindowFrames * 2; ++i) {
            sum += double(frames[i]) * frames[i];
        }
        rms.push_back(std::sqrt(sum / (kWindowFrames * 2)));
    }
    for (size_t w = 0; w < 200; ++w) {
        const double after = *std::max_element(rms.begin() + long(w) + 1, rms.begin() + long(w) + 51);
        EXPECT_LE(rms[w], 1.5 * after) << "window " << w << " (" << w * 10 << " ms)";
    }
}

class PlayedSong : public ::testing::Test {
protected:
    // To the loop, then order 18 three more times.
    static void SetUpTestSuite() { played = PlaySong(kTicksToTheLoop + 3 * 64 * kSpeed); }
    static void TearDownTestSuite() { played.clear(); }

    // The record of the first tick of the first time the song plays (order, row).
    static const TickRecord* FirstTick(int order, int row) {
        for (const TickRecord& record : played) {
            if (record.order == order && record.row == row && record.tick == 0) return &record;
        }
        return nullptr;
    }

    static std::vector<TickRecord> played;
};
std::vector<TickRecord> PlayedSong::played;

TEST_F(PlayedSong, PositionsFollowTheLayoutAndOrder18Repeats) {
    ASSERT_EQ(played.size(), size_t(kTicksToTheLoop + 3 * 64 * kSpeed));
    // Order 0 plays rows 0 to 31, every later order its 64 rows, then order 18 again and again.
    std::vector<std::tuple<int, int, int>> want;
    for (int row = 0; row < 32; ++row) {
        for (int tick = 0; tick < kSpeed; ++tick) want.emplace_back(0, row, tick);
    }
    for (int order = 1; order <= 18 + 3; ++order) {
        for (int row = 0; row < 64; ++row) {
            for (int tick = 0; tick < kSpeed; ++tick) want.emplace_back(std::min(order, 18), row, tick);
        }
    }
    std::vector<std::tuple<int, int, int>> got;
    for (const TickRecord& r : played) got.emplace_back(r.order, r.row, r.tick);
    EXPECT_EQ(got, want);
    for (const TickRecord& r : played) {
        ASSERT_EQ(r.speed, 6) << "order " << r.order << " row " << r.row;
        ASSERT_EQ(r.bpm, 118) << "order " << r.order << " row " << r.row;
    }
}

TEST_F(PlayedSong, EveryAccentStartsAnAudibleDrumNoteOnItsFirstTick) {
    for (const Position& p : AccentPositions()) {
        const TickRecord* record = FirstTick(p.order, p.row);
        ASSERT_NE(record, nullptr) << "order " << p.order << " row " << p.row << " never played";
        bool accent = false;
        for (const ChannelTick& channel : record->channels) {
            accent |= channel.started && composer::IsDrum(uint8_t(channel.instrument)) &&
                      channel.volume >= kAudibleVolume;
        }
        EXPECT_TRUE(accent) << "order " << p.order << " row " << p.row;
    }
}

// Every drum note the score writes sounds: each drum cell of a played row starts its Voice on the
// row's first tick with a sample of the cell's instrument, and no drum starts on a row without one.
TEST_F(PlayedSong, EveryDrumNoteOfTheScoreStartsItsVoice) {
    SetFileHooks(ModuleOpen, ModuleClose, ModuleRead, ModuleSeek, ModuleTell);
    Song* song = CreateSong("quindolo.xm", nullptr);
    ASSERT_NE(song, nullptr);
    int checked = 0;
    for (const TickRecord& r : played) {
        if (r.tick != 0) continue;
        const Pattern& pattern = song->patterns[song->orderTable[r.order]];
        for (int c = 0; c < 12; ++c) {
            const NoteCell& cell = pattern.cells[r.row * song->channelCount + c];
            const bool drumCell = IsNote(cell.note) && composer::IsDrum(cell.instrument);
            const ChannelTick& got = r.channels[size_t(c)];
            const bool drumStart = got.started && composer::IsDrum(uint8_t(got.instrument));
            EXPECT_EQ(drumStart, drumCell) << "order " << r.order << " row " << r.row << " channel " << c;
            if (drumCell) {
                EXPECT_EQ(got.instrument, cell.instrument) << "order " << r.order << " row " << r.row;
                ++checked;
            }
        }
    }
    FreeSong(song);
    EXPECT_GT(checked, 1000);
}

// The loop at order 18 is seamless: once order 18 follows itself, each pass plays tick for tick
// what the pass before played, on every Voice.
TEST_F(PlayedSong, Order18LoopsWithoutADifferenceBetweenPasses) {
    const size_t pass = 64 * kSpeed;
    ASSERT_EQ(played.size(), kTicksToTheLoop + 3 * pass);
    for (size_t k = 0; k < pass; ++k) {
        const TickRecord& second = played[kTicksToTheLoop + k];
        const TickRecord& third = played[kTicksToTheLoop + pass + k];
        ASSERT_EQ(second.channels, third.channels) << "row " << second.row << " tick " << second.tick;
    }
}

}  // namespace
