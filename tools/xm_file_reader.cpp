#include "tools/xm_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>

#include "replay/song_control.h"
#include "sound/memory_files.h"
#include "sound/xm_format.h"
#include "sound/xm_loader.h"

namespace {

constexpr size_t kChunkBytes = size_t{1} << 16;

// Reads up to `count` bytes, fewer only at the end of the file; -1 on an error.
ssize_t ReadFully(int fd, uint8_t* to, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = read(fd, to + done, count - done);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool Read(int fd, const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<uint64_t>(status.st_size) <= kMaxXmFileBytes) {
        bytes->reserve(static_cast<size_t>(status.st_size));
    }
    bytes->resize(kXmIdBytes);
    ssize_t n = ReadFully(fd, bytes->data(), kXmIdBytes);
    if (n >= 0 && (static_cast<size_t>(n) < kXmIdBytes ||
                   std::memcmp(bytes->data(), kXmId, kXmIdBytes) != 0)) {
        *error = path + ": " + XmLoadErrorText(XmLoadError::NotXm);
        return false;
    }
    // One byte past the bound tells a file of exactly the bound from a larger one.
    while (n > 0 && bytes->size() <= kMaxXmFileBytes) {
        const size_t at = bytes->size();
        bytes->resize(at + std::min(kChunkBytes, kMaxXmFileBytes + 1 - at));
        n = ReadFully(fd, bytes->data() + at, bytes->size() - at);
        bytes->resize(at + static_cast<size_t>(std::max<ssize_t>(n, 0)));
    }
    if (n < 0) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (bytes->size() > kMaxXmFileBytes) {
        *error = path + ": more than " + std::to_string(kMaxXmFileBytes >> 20) +
                 " MiB, larger than any XM module";
        return false;
    }
    return true;
}

// The layout as the loader reads it (sound/xm_loader.cpp): offsets into the file and the numbers
// that size what follows.
constexpr size_t kTitleOffset = 17;
constexpr size_t kTitleBytes = 20;
constexpr size_t kTrackerOffset = 38;
constexpr size_t kTrackerBytes = 20;
constexpr size_t kHeaderSizeOffset = 60;
// The loader reads the header's fields and the whole order table whatever the header size says.
constexpr size_t kHeaderReadBytes = 4 + 16 + 256;
constexpr size_t kPatternHeaderBytes = 9;
constexpr size_t kInstrumentNameOffset = 4;
constexpr size_t kInstrumentNameBytes = 22;
constexpr size_t kSampleCountOffset = 27;
// Size, name, type and sample count, then (with samples) the sample header size, the note map,
// the envelopes and their numbers, the vibrato and the fadeout.
constexpr size_t kInstrumentShortBytes = 29;
constexpr size_t kInstrumentFullBytes = kInstrumentShortBytes + 4 + 96 + 48 + 48 + 14 + 2;
constexpr size_t kSampleHeaderBytes = 40;
constexpr size_t kSampleNameOffset = 18;
constexpr size_t kSampleNameBytes = 22;
constexpr uint8_t kCellMaskFlag = 0x80;
constexpr uint8_t kSample16BitFlag = 0x10;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// A fixed-size text field: up to its first NUL, trailing spaces dropped, control bytes and those
// of no known code page shown as '?', so that a name never moves a terminal's cursor, takes more
// than one column or breaks a JSON string.
std::string TextField(const std::vector<uint8_t>& b, size_t at, size_t count) {
    std::string text;
    for (size_t i = at; i < at + count && i < b.size() && b[i] != 0; ++i) {
        text += b[i] < 0x20 || b[i] >= 0x7F ? '?' : static_cast<char>(b[i]);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// Where the packed cells of `cells` cells starting at `at` end, or SIZE_MAX when the file ends
// first: each cell is a mask byte and the fields it names, or five plain bytes.
size_t PackedCellsEnd(const std::vector<uint8_t>& b, size_t at, size_t cells) {
    for (size_t i = 0; i < cells; ++i) {
        if (at >= b.size()) return SIZE_MAX;
        const uint8_t first = b[at];
        at += first & kCellMaskFlag ? 1 + static_cast<size_t>(std::popcount(first & 0x1Fu)) : 5;
    }
    return at > b.size() ? SIZE_MAX : at;
}

}  // namespace

bool CheckXmLayout(const std::vector<uint8_t>& b, XmFileSummary* summary, std::string* error) {
    *summary = XmFileSummary{};
    summary->bytes = b.size();
    const auto cut = [error](const std::string& where) {
        *error = "the file ends inside " + where;
        return false;
    };
    if (b.size() < kHeaderSizeOffset + kHeaderReadBytes ||
        b.size() < kHeaderSizeOffset + U32(b, kHeaderSizeOffset)) {
        *error = std::string(XmLoadErrorText(XmLoadError::NotXm)) + " (" +
                 std::to_string(b.size()) + " bytes)";
        return false;
    }
    summary->title = TextField(b, kTitleOffset, kTitleBytes);
    summary->tracker = TextField(b, kTrackerOffset, kTrackerBytes);
    const size_t channels = U16(b, kHeaderSizeOffset + 8);
    const size_t patterns = U16(b, kHeaderSizeOffset + 10);
    const size_t instruments = U16(b, kHeaderSizeOffset + 12);
    // Counts the loader refuses are left to it, with its own words.
    if (channels == 0 || patterns > 256 || instruments > 128) return true;
    size_t at = kHeaderSizeOffset + U32(b, kHeaderSizeOffset);
    for (size_t p = 0; p < patterns; ++p) {
        const std::string name = "pattern " + std::to_string(p);
        if (at + kPatternHeaderBytes > b.size()) return cut(name);
        const uint16_t rows = U16(b, at + 5);
        const uint16_t packedBytes = U16(b, at + 7);
        at += kPatternHeaderBytes;
        if (rows > 256) return true;
        if (rows == 0 || packedBytes == 0) continue;
        at = PackedCellsEnd(b, at, rows * channels);
        if (at == SIZE_MAX) return cut(name);
    }
    for (size_t i = 1; i <= instruments; ++i) {
        const std::string name = "instrument " + std::to_string(i);
        const size_t start = at;
        if (start + kInstrumentShortBytes > b.size()) return cut("the header of " + name);
        summary->instrumentNames.push_back(
            TextField(b, start + kInstrumentNameOffset, kInstrumentNameBytes));
        const uint16_t samples = U16(b, start + kSampleCountOffset);
        if (samples > 16) return true;
        at = start + U32(b, start);
        // An instrument without samples is read no further than its count; what its size claims
        // beyond matters only to what follows, which is checked in its turn.
        if (samples == 0) continue;
        if (start + kInstrumentFullBytes > b.size()) return cut("the header of " + name);
        size_t dataBytes = 0;
        for (size_t s = 0; s < samples; ++s) {
            if (at + kSampleHeaderBytes > b.size()) return cut("the sample headers of " + name);
            summary->sampleNames.push_back(TextField(b, at + kSampleNameOffset, kSampleNameBytes));
            const uint32_t length = U32(b, at);
            // The loader takes a 16-bit sample's length in whole values: an odd last byte is not
            // read.
            dataBytes += b[at + 14] & kSample16BitFlag ? length & ~uint32_t{1} : length;
            at += kSampleHeaderBytes;
        }
        const size_t left = b.size() - at;
        if (dataBytes > left) {
            // Headers of later instruments would be missing as well: that is a file cut short.
            if (i < instruments) return cut("the sample data of " + name);
            summary->missingSampleBytes = dataBytes - left;
            summary->warning = "the file ends " + std::to_string(summary->missingSampleBytes) +
                               " bytes short of the sample data of " + name +
                               ", which play as silence";
            return true;
        }
        at += dataBytes;
    }
    return true;
}

bool ReadXmFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    bytes->clear();
    // Not held up opening a FIFO that has no writer: reading it then finds its end at once.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || fcntl(fd, F_SETFL, 0) != 0) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        return false;
    }
    const bool ok = Read(fd, path, bytes, error);
    close(fd);
    return ok;
}

Song* LoadXmFile(const std::string& path, std::string* error, XmFileSummary* summary) {
    std::vector<uint8_t> bytes;
    if (!ReadXmFile(path, &bytes, error)) return nullptr;
    XmFileSummary found;
    if (!CheckXmLayout(bytes, &found, error)) {
        *error = path + ": " + *error;
        return nullptr;
    }
    if (!found.warning.empty()) found.warning = path + ": " + found.warning;
    if (summary) *summary = std::move(found);
    AddMemoryFile(path, std::move(bytes));
    UseMemoryFileHooks();
    Song* song = CreateSong(path.c_str(), nullptr);
    if (!song) {
        const XmLoadError loadError = LastXmLoadError();
        *error = path + ": " +
                 (loadError == XmLoadError::None ? "cannot be loaded" : XmLoadErrorText(loadError));
    }
    return song;
}
