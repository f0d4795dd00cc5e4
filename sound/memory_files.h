// FileHooks over byte buffers held in memory, for tests, the fuzzer and tools that load a module
// they built themselves. Files are registered by name; each open gets its own read position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Registers (or replaces) a file under `name`; the bytes are copied.
void AddMemoryFile(const std::string& name, std::vector<uint8_t> bytes);
// Registers a file over bytes the caller keeps alive and unchanged while it is registered.
void AddMemoryFileView(const std::string& name, const uint8_t* bytes, size_t sizeBytes);
void RemoveMemoryFiles();
// Installs the memory hooks with SetFileHooks.
void UseMemoryFileHooks();
// Handles opened and not yet closed, so tests can see that every open was closed.
int OpenMemoryFileCount();
