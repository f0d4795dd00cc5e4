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

// What the file says of itself beside what the loader keeps, and how much of it is missing.
struct XmFileSummary {
    size_t bytes = 0;
    std::string title;    // the module's name, trailing spaces dropped
    std::string tracker;  // the program that wrote it
    std::vector<std::string> instrumentNames;
    std::vector<std::string> sampleNames;  // of every instrument in turn
    size_t missingSampleBytes = 0;  // sample data the file ends before
    std::string warning;            // a line saying so when some are missing, else empty
};

// Walks the module's layout as the loader reads it, before it is loaded. False, with the reason
// in *error, when the file ends before its header, a pattern or an instrument's headers do:
// "not an XM module (N bytes)" or "the file ends inside pattern 3". Sample data cut short is
// loaded (the missing values play as silence) and counted in the summary.
bool CheckXmLayout(const std::vector<uint8_t>& bytes, XmFileSummary* summary, std::string* error);

// Reads the module with ReadXmFile, checks it with CheckXmLayout, registers it as an in-memory
// file under its own path (so the engine's file name is the user's) and loads it. Null, with a
// line naming the file and the reason in *error, when it cannot be read or loaded. `summary`,
// when given, receives what CheckXmLayout found.
Song* LoadXmFile(const std::string& path, std::string* error, XmFileSummary* summary = nullptr);
