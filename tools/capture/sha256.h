// SHA-256, streamed: the capture's check that two runs gave the same frames and sound.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// How the blocks are compressed: in plain C++, or with the processor's SHA instructions (x86),
// about five times as fast; both give the same digest.
enum class Sha256Engine : uint8_t { Portable, ShaExtensions };

using Sha256Blocks = void (*)(std::array<uint32_t, 8>& state, const uint8_t* data, size_t blocks);

struct Sha256 {
    Sha256Blocks compress;
    std::array<uint32_t, 8> state;
    std::array<uint8_t, 64> pending;  // bytes of an incomplete block
    size_t pendingBytes;
    uint64_t totalBytes;
};

// The processor's SHA instructions where it has them, else plain C++.
Sha256Engine FastestSha256Engine();
bool Sha256EngineAvailable(Sha256Engine engine);
// Chosen once per digest, so the choice is never made per block.
void StartSha256(Sha256* sha, Sha256Engine engine = FastestSha256Engine());
void UpdateSha256(Sha256* sha, const void* data, size_t bytes);
// The digest as 64 lower-case hex digits; the state is spent.
std::string FinishSha256(Sha256* sha);
