// Reads an XM module's bytes from a file for the loader, looking at what it reads before taking
// more: the ID text comes first, so a file of another kind (a device without end, a FIFO nobody
// writes to) is turned away after a few bytes, and no module is read past a stated size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sound/module.h"

// Real modules hold at most tens of MiB of samples.
inline constexpr size_t kMaxXmFileBytes = size_t{64} << 20;

// False with a line naming the file and the reason in *error when the file cannot be read, does
// not begin with the XM ID text or holds more than kMaxXmFileBytes.
bool ReadXmFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

// Reads the module with ReadXmFile, registers it as an in-memory file under its own path (so the
// engine's file name is the user's) and loads it. Null, with a line naming the file and the
// reason in *error, when it cannot be read or loaded.
Song* LoadXmFile(const std::string& path, std::string* error);
