// The embedded data block: every asset the show carries, in one read-only block linked into the
// program. The module lies at least kGrainLeadBytes into the block, because the grain filter reads
// up to that many bytes before it.
#pragma once

#include <cstdint>

constexpr uint32_t kGrainLeadBytes = 3676;

extern "C" {
// The whole block, from its first byte to one past its last.
extern const uint8_t embeddedBlock[];
extern const uint8_t embeddedBlockEnd[];
// The complete XM file, and its length.
extern const uint8_t embeddedModule[];
extern const uint32_t embeddedModuleBytes;
}
