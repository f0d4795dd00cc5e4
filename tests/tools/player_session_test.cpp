// The live player's logic on the virtual audio device: where a song played once ends (against
// the offline render), what the keys do to the sound, the level meter and the status line, and
// how terminal bytes become keys.
#include "tools/play/player_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/virtual_audio_device.h"
#include "replay/song_control.h"
#include "sound/memory_files.h"
#include "sound/xm_writer.h"
#include "tests/support/module_builders.h"
#include "tools/play/status_line.h"
#include "tools/song_render.h"

namespace {

constexpr int32_t kRateHz = 44100;
constexpr int64_t kSongFrames = 3 * 4 * 6 * 882;  // orders x rows x speed x frames per tick
// A short ring (four blocks) lets a key be heard long before the song ends.
constexpr int32_t kShortBufferMs = 40;
constexpr int32_t kDefaultBufferMs = 200;

// Three orders of four rows; a looped sine started on the first row sounds until the song ends.
XmModuleDesc ThreeOrders() {
    const XmSampleDesc sine = Sample16(Sine(64, 12000), {kSampleTypeForward, 0, 64});
    return MakeModule(
        1, 6, {0, 1, 2},
        {MakePattern(4, 1, {{0, 0, Cell(kNoteC0 + 48, 1)}}), MakePattern(4, 1), MakePattern(4, 1)},
        {InstrumentWith({sine})});
}

bool Silent(const std::vector<int16_t>& pcm, int64_t fromFrame, int64_t toFrame) {
    return std::all_of(pcm.begin() + 2 * fromFrame, pcm.begin() + 2 * toFrame,
                       [](int16_t v) { return v == 0; });
}

class Player : public ::testing::Test {
protected:
    void SetUp() override {
        AddMemoryFile("three.xm", WriteXm(ThreeOrders()));
        UseMemoryFileHooks();
        SetBufferLength(kShortBufferMs);
        ASSERT_TRUE(OpenAudioOutput(kRateHz));
        song = CreateSong("three.xm", nullptr);
        ASSERT_NE(song, nullptr);
    }
    void TearDown() override {
        StopPlayer(&session);
        FreeSong(song);
        CloseAudioOutput();
        SetBufferLength(kDefaultBufferMs);
        RemoveMemoryFiles();
    }

    // Plays `blocks` blocks and returns what was mixed, in mixing order.
    std::vector<int16_t> Mix(int blocks) {
        std::vector<int16_t> pcm;
        const int32_t frames = OutputBlockFrames();
        for (int i = 0; i < blocks; ++i) {
            const int16_t* block = VirtualAudioRing() + 2 * OutputNextBlock() * frames;
            AdvanceVirtualAudio(static_cast<uint32_t>(frames));
            pcm.insert(pcm.end(), block, block + 2 * frames);
        }
        return pcm;
    }
    // Blocks until what is mixed now is heard.
    static int RingBlocks() { return OutputBlockCount(); }

    Song* song = nullptr;
    PlayerSession session;
};

TEST_F(Player, PlayedOnceItEndsOnTheFrameXmrenderEndsAndIsHeardToTheEnd) {
    std::FILE* file = std::tmpfile();
    WavFile wav{};
    RenderResult rendered{};
    ASSERT_TRUE(OpenWavStream(&wav, file, kRateHz, 2, kWavUnknownFrames));
    ASSERT_TRUE(RenderSong(song, {kRenderOnce, &wav, nullptr}, &rendered));
    ASSERT_TRUE(FinishWav(&wav));
    ASSERT_EQ(rendered.frames, kSongFrames);
    std::vector<int16_t> reference(2 * kSongFrames);
    std::fseek(file, kWavHeaderBytes, SEEK_SET);
    ASSERT_EQ(std::fread(reference.data(), 4, kSongFrames, file), size_t(kSongFrames));
    std::fclose(file);

    for (const bool loop : {false, true}) {
        SCOPED_TRACE(loop ? "looped" : "once");
        ASSERT_TRUE(OpenAudioOutput(kRateHz));  // a fresh voice pool, as the render had
        ASSERT_TRUE(StartPlayer(&session, song, loop));
        std::vector<int16_t> pcm;
        int blocksToEnd = 0;
        for (; blocksToEnd < 400 && UpdatePlayer(&session); ++blocksToEnd) {
            const std::vector<int16_t> block = Mix(1);
            pcm.insert(pcm.end(), block.begin(), block.end());
        }
        ASSERT_GE(pcm.size(), 2 * kSongFrames + 2 * OutputBlockFrames());
        EXPECT_TRUE(std::equal(reference.begin(), reference.end(), pcm.begin()));
        if (loop) {
            EXPECT_EQ(blocksToEnd, 400);
            EXPECT_FALSE(Silent(pcm, kSongFrames, kSongFrames + OutputBlockFrames()));
        } else {
            // Silent from the end on, and done once the block holding the end has been heard.
            EXPECT_TRUE(Silent(pcm, kSongFrames, pcm.size() / 2));
            EXPECT_LE(blocksToEnd * OutputBlockFrames(),
                      kSongFrames + (RingBlocks() + 3) * OutputBlockFrames());
            const PlayerStatus last = ReadPlayerStatus(&session);
            EXPECT_EQ(std::make_pair(last.order, last.row), std::make_pair(2, 3));
        }
        StopPlayer(&session);
    }
}

TEST_F(Player, KeysMoveOneOrderHoldTheSoundAndQuit) {
    ASSERT_TRUE(StartPlayer(&session, song, false));
    Mix(RingBlocks() + 2);
    UpdatePlayer(&session);
    const PlayerStatus playing = ReadPlayerStatus(&session);
    EXPECT_EQ(playing.order, 0);
    EXPECT_GT(playing.elapsedMs, 0);
    // The meter shows the block being heard, which the device has just begun to play.
    const int32_t frames = OutputBlockFrames();
    const int16_t* heard = VirtualAudioRing() + 2 * (OutputHeardFrames() % OutputRingFrames());
    int32_t left = 0;
    for (int32_t i = 0; i < frames; ++i) left = std::max(left, std::abs(int32_t{heard[2 * i]}));
    EXPECT_GT(left, 0);
    EXPECT_EQ(playing.peak.left, left);

    // Two presses before the first is heard move two orders; past the last nothing moves.
    for (const int32_t expected : {1, 2, 2}) {
        EXPECT_FALSE(ApplyPlayerKey(&session, PlayerKey::On));
        EXPECT_EQ(ReadPlayerStatus(&session).order, expected);
    }
    Mix(RingBlocks() + 2);
    UpdatePlayer(&session);
    EXPECT_EQ(GetHeardSongPosition(song).order, 2);
    // Back to orders already played does not end a song played once; order 0 is as far as it goes.
    for (const int32_t expected : {1, 0, 0}) {
        ApplyPlayerKey(&session, PlayerKey::Back);
        EXPECT_EQ(ReadPlayerStatus(&session).order, expected);
    }
    Mix(RingBlocks() + 2);
    EXPECT_TRUE(UpdatePlayer(&session));
    EXPECT_EQ(GetHeardSongPosition(song).order, 0);

    // Held: what was mixed plays out, then silence, and the time stands still.
    ApplyPlayerKey(&session, PlayerKey::Pause);
    Mix(RingBlocks() + 2);
    UpdatePlayer(&session);
    const PlayerStatus held = ReadPlayerStatus(&session);
    EXPECT_TRUE(held.paused);
    EXPECT_TRUE(Silent(Mix(RingBlocks()), 0, RingBlocks() * frames));
    EXPECT_TRUE(UpdatePlayer(&session));
    EXPECT_EQ(ReadPlayerStatus(&session).elapsedMs, held.elapsedMs);
    ApplyPlayerKey(&session, PlayerKey::Pause);
    EXPECT_FALSE(Silent(Mix(1), 0, frames));
    EXPECT_TRUE(ApplyPlayerKey(&session, PlayerKey::Quit));
}

// The length shown is where the play ends: measured on a copy of the song, without a sound.
TEST_F(Player, MeasuresTheLengthItPlaysOnceAndStepsTheVolumeBy3Db) {
    // Two loop ends on one channel never leave the pattern: it ends where xmrender ends it, after
    // rows 0, 1, 0, 1, 2 of 6 ticks.
    AddMemoryFile("endless.xm",
                  WriteXm(MakeModule(1, 6, {0},
                                     {MakePattern(4, 1,
                                                  {{1, 0, ExtendedEffect(kExtendedPatternLoop, 1)},
                                                   {2, 0, ExtendedEffect(kExtendedPatternLoop, 1)}})})));
    for (const auto& [name, frames] : {std::pair{"three.xm", kSongFrames},
                                       std::pair{"endless.xm", int64_t{5 * 6 * 882}}}) {
        Song* copy = CreateSong(name, nullptr);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(MeasureSongOnce(copy), frames) << name;
        FreeSong(copy);
    }
    EXPECT_TRUE(Silent(Mix(RingBlocks()), 0, RingBlocks() * OutputBlockFrames()));

    ASSERT_TRUE(StartPlayer(&session, song, true));
    const auto peak = [this] {
        const std::vector<int16_t> pcm = Mix(2);
        int32_t most = 0;
        for (int16_t v : pcm) most = std::max(most, std::abs(int32_t{v}));
        return most;
    };
    Mix(RingBlocks());
    const int32_t full = peak();
    ASSERT_GT(full, 1000);
    struct Step {
        PlayerKey key;
        int presses;
        int32_t volumeDb;
    };
    // Mixed from the next block on; the bounds hold.
    for (const Step& step : {Step{PlayerKey::Softer, 2, -6}, Step{PlayerKey::Louder, 1, -3},
                             Step{PlayerKey::Softer, 30, kMinVolumeDb},
                             Step{PlayerKey::Louder, 30, kMaxVolumeDb}}) {
        for (int i = 0; i < step.presses; ++i) ApplyPlayerKey(&session, step.key);
        EXPECT_EQ(ReadPlayerStatus(&session).volumeDb, step.volumeDb);
        if (step.volumeDb > 0) continue;  // louder than the mix: clipped
        EXPECT_NEAR(peak(), full * std::pow(10.0, step.volumeDb / 20.0), 2.0) << step.volumeDb;
    }
}

TEST(PlayerStatusLine, ShowsWhatFitsTheTerminalLeavingOutTheLeastUsefulFirst) {
    for (const auto& [peak, cells] : std::vector<std::pair<int32_t, int32_t>>{
             {0, 0}, {1, 0}, {16384, 9}, {16500, 10}, {32767, 12}, {32768, 12}}) {
        EXPECT_EQ(MeterCells(peak), cells) << peak;
    }
    const PlayerStatus status{3, 12, 17, 64, 5, 6, 125, 83456, 150400, -6, {32767, 16384}, true};
    struct Case {
        int32_t columns;
        int32_t files;
        const char* line;
    };
    const Case cases[] = {
        {200, 3,
         "[2/3]  the title  order   3/12  row  17/64  pattern   5  speed  6  125 BPM  "
         "1:23.4 / 2:30  -6 dB  L ############ R #########---  paused"},
        {135, 3,  // as wide as that line: the pattern goes first
         "[2/3]  the title  order   3/12  row  17/64  speed  6  125 BPM  "
         "1:23.4 / 2:30  -6 dB  L ############ R #########---  paused"},
        {200, 1,
         "the title  order   3/12  row  17/64  pattern   5  speed  6  125 BPM  "
         "1:23.4 / 2:30  -6 dB  L ############ R #########---  paused"},
        {80, 1, "the title  order   3/12  row  17/64  1:23.4 / 2:30  -6 dB  paused"},
        {40, 1, "the title  1:23.4 / 2:30  paused"},
        {24, 1, "1:23.4 / 2:30  paused"},
        {10, 1, "1:23.4 / "},
    };
    for (const Case& c : cases) {
        char line[512];
        const size_t length =
            FormatStatusLine(status, "the title", 2, c.files, c.columns, line, sizeof line);
        EXPECT_STREQ(line, c.line) << c.columns;
        EXPECT_LT(length, static_cast<size_t>(c.columns));
    }
}

TEST(TerminalKeys, BytesBecomeKeysAndALoneEscapeWaitsForSilence) {
    struct Case {
        std::string bytes;
        bool complete;
        size_t taken;
        PlayerKey key;
    };
    const Case cases[] = {
        {" ", false, 1, PlayerKey::Pause},        {"q", false, 1, PlayerKey::Quit},
        {"\x03", false, 1, PlayerKey::Quit},      {"x", false, 1, PlayerKey::None},
        {"\x1b", false, 0, PlayerKey::None},      {"\x1b", true, 1, PlayerKey::Quit},
        {"\x1b[", false, 0, PlayerKey::None},     {"\x1b[D q", false, 3, PlayerKey::Back},
        {"\x1b[C", false, 3, PlayerKey::On},      {"\x1bOC", false, 3, PlayerKey::On},
        {"\x1b[1;5D", false, 6, PlayerKey::Back}, {"\x1b[A", false, 3, PlayerKey::None},
        {"\x1b[1;", true, 4, PlayerKey::None},    {"\x1bq", false, 2, PlayerKey::None},
        {"n", false, 1, PlayerKey::Next},         {"p", false, 1, PlayerKey::Previous},
        {"+", false, 1, PlayerKey::Louder},       {"=", false, 1, PlayerKey::Louder},
        {"-", false, 1, PlayerKey::Softer},       {"_", false, 1, PlayerKey::Softer},
    };
    for (const Case& c : cases) {
        PlayerKey key = PlayerKey::Pause;
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.bytes.data());
        EXPECT_EQ(DecodeTerminalKey(bytes, c.bytes.size(), c.complete, &key), c.taken) << c.bytes;
        if (c.taken > 0) {
            EXPECT_EQ(key, c.key) << c.bytes;
        }
    }
}

}  // namespace
