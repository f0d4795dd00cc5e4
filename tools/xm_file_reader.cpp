#include "tools/xm_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

}  // namespace

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

Song* LoadXmFile(const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!ReadXmFile(path, &bytes, error)) return nullptr;
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
