#include <gtest/gtest.h>

#include "replay/song_control.h"
#include "sound/file_hooks.h"
#include "sound/memory_files.h"

namespace {

void* OpenNothing(const char*) { return nullptr; }

TEST(FileHooks, IncompleteSetClearsAllHooks) {
    UseMemoryFileHooks();
    AddMemoryFile("a.bin", {1, 2, 3});
    ASSERT_TRUE(FileHooksSet());
    SetFileHooks(OpenNothing, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(FileHooksSet());
    EXPECT_EQ(StreamOpen("a.bin"), nullptr);
    EXPECT_EQ(CreateSong("a.bin", nullptr), nullptr);
}

TEST(FileHooks, NullStreamCallsNoHook) {
    UseMemoryFileHooks();
    uint8_t byte = 7;
    EXPECT_EQ(StreamRead(&byte, 1, nullptr), 0u);
    EXPECT_EQ(byte, 7);
    EXPECT_EQ(StreamSeek(nullptr, 5, kSeekFromStart), 0);
    EXPECT_EQ(StreamTell(nullptr), 0);
    StreamClose(nullptr);
}

TEST(FileHooks, StreamReadsSeeksAndTells) {
    UseMemoryFileHooks();
    AddMemoryFile("a.bin", {10, 11, 12, 13, 14});
    EXPECT_EQ(StreamOpen("missing.bin"), nullptr);
    EXPECT_EQ(CreateSong("missing.bin", nullptr), nullptr);
    Stream* stream = StreamOpen("a.bin");
    ASSERT_NE(stream, nullptr);
    uint8_t buffer[8] = {};
    EXPECT_EQ(StreamRead(buffer, 2, stream), 2u);
    EXPECT_EQ(buffer[1], 11);
    StreamSeek(stream, 1, kSeekFromCurrent);
    EXPECT_EQ(StreamTell(stream), 3);
    EXPECT_EQ(StreamRead(buffer, 8, stream), 2u);  // only two bytes are left
    EXPECT_EQ(buffer[0], 13);
    EXPECT_EQ(buffer[1], 14);
    StreamSeek(stream, 1, kSeekFromStart);
    EXPECT_EQ(StreamRead(buffer, 1, stream), 1u);
    EXPECT_EQ(buffer[0], 11);
    StreamSeek(stream, 100, kSeekFromStart);
    EXPECT_EQ(StreamRead(buffer, 1, stream), 0u);
    StreamClose(stream);
    EXPECT_EQ(OpenMemoryFileCount(), 0);
}

TEST(SongControl, NullSongsAreTolerated) {
    EXPECT_FALSE(FreeSong(nullptr));
    EXPECT_EQ(GetSongOrder(nullptr), 0);
    EXPECT_EQ(GetSongRow(nullptr), 0);
    FreeSample(nullptr);
    FreeSample(&emptySample);  // never owned, never freed
}

}  // namespace
