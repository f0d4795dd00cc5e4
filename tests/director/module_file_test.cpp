#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "assets/embedded_data.h"
#include "director/module_file.h"

namespace {

const int32_t kSize = static_cast<int32_t>(embeddedModuleBytes);

void* Open() { return ModuleOpen("quindolo.xm"); }

TEST(ModuleFile, OpenReturnsOneAndRewinds) {
    void* handle = Open();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(handle), 1u);
    EXPECT_EQ(moduleSize, kSize);
    EXPECT_EQ(ModuleTell(handle), 0);
    uint8_t buffer[64];
    EXPECT_EQ(ModuleRead(buffer, sizeof buffer, handle), sizeof buffer);
    EXPECT_EQ(ModuleTell(handle), 64);
    ModuleClose(handle);
    EXPECT_EQ(ModuleTell(handle), 64);  // close leaves the position alone
    // Any name, even none, opens the same module from its start.
    void* again = ModuleOpen(nullptr);
    EXPECT_EQ(again, handle);
    EXPECT_EQ(ModuleTell(again), 0);
    EXPECT_EQ(ModuleOpen("other.xm"), handle);
}

TEST(ModuleFile, ReadsCopyTheModuleBytes) {
    void* handle = Open();
    char signature[17];
    ASSERT_EQ(ModuleRead(signature, 17, handle), 17u);
    EXPECT_EQ(std::memcmp(signature, "Extended Module: ", 17), 0);
    ModuleSeek(handle, 1000, 0);
    std::vector<uint8_t> buffer(300);
    ASSERT_EQ(ModuleRead(buffer.data(), buffer.size(), handle), buffer.size());
    EXPECT_EQ(std::memcmp(buffer.data(), embeddedModule + 1000, buffer.size()), 0);
}

TEST(ModuleFile, ReadsStopAtTheEnd) {
    struct Case {
        int32_t position;
        size_t request;
        size_t copied;
    };
    const Case cases[] = {
        {kSize - 34, 100, 34},  // across the end: what remains
        {kSize - 1, 1, 1},
        {kSize, 1, 0},          // at the end: nothing
        {kSize, 0, 0},
        {0, 0, 0},
        {kSize - 10, std::numeric_limits<size_t>::max(), 10},
    };
    for (const Case& c : cases) {
        void* handle = Open();
        ModuleSeek(handle, c.position, 0);
        std::vector<uint8_t> buffer(std::min<size_t>(c.request, 128) + 1, 0xA5);
        const size_t copied = ModuleRead(buffer.data(), c.request, handle);
        EXPECT_EQ(copied, c.copied) << "at " << c.position << " asking " << c.request;
        EXPECT_EQ(ModuleTell(handle), c.position + int64_t(c.copied));
        if (c.copied > 0) {
            EXPECT_EQ(std::memcmp(buffer.data(), embeddedModule + c.position, c.copied), 0);
        }
        EXPECT_EQ(buffer[c.copied], 0xA5) << "a byte past the copied ones was written";
        EXPECT_EQ(ModuleRead(buffer.data(), 1, handle), c.position + c.copied >= size_t(kSize) ? 0u : 1u);
    }
}

TEST(ModuleFile, SeekModesAndClamps) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    struct Case {
        int32_t start;
        int64_t offset;
        int origin;
        int32_t expected;
    };
    const Case cases[] = {
        {0, 500, 0, 500},
        {123, 500000000, 0, kSize},          // past the end: clamped to the size
        {123, kSize, 0, kSize},
        {kSize - 4, 10, 1, kSize},           // forward past the end
        {200, 10, 1, 210},
        {200, -50, 1, 150},
        {0, 16, 2, kSize - 16},              // from the end
        {0, 0, 2, kSize},
        // Below 0 clamps to 0 in every mode.
        {50, -5, 0, 0},
        {10, -20, 1, 0},
        {0, int64_t{kSize} + 100, 2, 0},
        // Past the end from the end mode, with a negative offset, is clamped as well.
        {0, -10, 2, kSize},
        // Only the low 8 bits of the origin count.
        {0, 300, 0x100, 300},
        {300, 5, 0x201, 305},
        {0, 4, 7, kSize - 4},
        {0, 4, -1, kSize - 4},
        // Offsets at the ends of the 64-bit range neither wrap nor overflow.
        {100, kMax, 1, kSize},
        {100, kMin, 1, 0},
        {0, kMin, 2, kSize},
        {0, kMax, 2, 0},
        {0, kMax, 0, kSize},
    };
    for (const Case& c : cases) {
        void* handle = Open();
        ModuleSeek(handle, c.start, 0);
        ASSERT_EQ(ModuleTell(handle), c.start);
        EXPECT_EQ(ModuleSeek(handle, c.offset, c.origin), 0);
        EXPECT_EQ(ModuleTell(handle), c.expected)
            << "from " << c.start << " by " << c.offset << " origin " << c.origin;
        EXPECT_EQ(moduleReadPos, c.expected);
    }
}

}  // namespace
