#include "sound/memory_files.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>

#include "sound/file_hooks.h"

namespace {

struct MemoryFile {
    // Shared with the cursors, so replacing or removing a file under an open handle leaves the
    // handle reading the bytes it opened instead of freed memory.
    std::shared_ptr<const std::vector<uint8_t>> owned;
    const uint8_t* bytes = nullptr;
    size_t size = 0;
};

struct Cursor {
    std::shared_ptr<const std::vector<uint8_t>> owned;
    const uint8_t* bytes;
    size_t size;
    int64_t position;
};

std::mutex registryMutex;
std::map<std::string, MemoryFile> registry;
std::atomic<int> openCount{0};

void* MemoryOpen(const char* name) {
    if (!name) return nullptr;
    std::lock_guard<std::mutex> lock(registryMutex);
    const auto found = registry.find(name);
    if (found == registry.end()) return nullptr;
    const MemoryFile& file = found->second;
    ++openCount;
    return new Cursor{file.owned, file.bytes, file.size, 0};
}

void MemoryClose(void* handle) {
    if (!handle) return;
    delete static_cast<Cursor*>(handle);
    --openCount;
}

size_t MemoryRead(void* destination, size_t bytes, void* handle) {
    auto* cursor = static_cast<Cursor*>(handle);
    if (!cursor || cursor->position < 0) return 0;
    const auto position = static_cast<uint64_t>(cursor->position);
    if (position >= cursor->size) return 0;
    const size_t count = std::min<uint64_t>(bytes, cursor->size - position);
    if (count == 0) return 0;
    std::memcpy(destination, cursor->bytes + position, count);
    cursor->position += static_cast<int64_t>(count);
    return count;
}

int MemorySeek(void* handle, int64_t offsetBytes, int origin) {
    auto* cursor = static_cast<Cursor*>(handle);
    if (!cursor) return -1;
    int64_t target = 0;
    if (origin == kSeekFromStart) {
        target = offsetBytes;
    } else if (origin == kSeekFromCurrent) {
        // A loader adding a garbage 32-bit size must not overflow the position.
        if (__builtin_add_overflow(cursor->position, offsetBytes, &target)) {
            target = offsetBytes < 0 ? -1 : std::numeric_limits<int64_t>::max();
        }
    } else {
        return -1;
    }
    if (target < 0) {
        cursor->position = 0;
        return -1;
    }
    cursor->position = target;
    return 0;
}

int64_t MemoryTell(void* handle) {
    const auto* cursor = static_cast<const Cursor*>(handle);
    return cursor ? cursor->position : 0;
}

}  // namespace

void AddMemoryFile(const std::string& name, std::vector<uint8_t> bytes) {
    auto owned = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    MemoryFile file{owned, owned->data(), owned->size()};
    std::lock_guard<std::mutex> lock(registryMutex);
    registry[name] = std::move(file);
}

void AddMemoryFileView(const std::string& name, const uint8_t* bytes, size_t sizeBytes) {
    std::lock_guard<std::mutex> lock(registryMutex);
    registry[name] = MemoryFile{nullptr, bytes, bytes ? sizeBytes : 0};
}

void RemoveMemoryFiles() {
    std::lock_guard<std::mutex> lock(registryMutex);
    registry.clear();
}

void UseMemoryFileHooks() {
    SetFileHooks(MemoryOpen, MemoryClose, MemoryRead, MemorySeek, MemoryTell);
}

int OpenMemoryFileCount() { return openCount.load(); }
