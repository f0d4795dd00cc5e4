// The file a generator writes for the embedded data block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Writes all `count` bytes to `path`. False, with "TOOL: cannot write PATH: reason" on stderr,
// when any of it could not be written.
bool WriteAssetFile(const char* tool, const char* path, const uint8_t* bytes, size_t count);

inline bool WriteAssetFile(const char* tool, const char* path, const std::vector<uint8_t>& bytes) {
    return WriteAssetFile(tool, path, bytes.data(), bytes.size());
}
