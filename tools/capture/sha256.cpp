#include "tools/capture/sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::array<uint32_t, 8> kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr uint32_t Rotate(uint32_t x, int n) { return x >> n | x << (32 - n); }

uint32_t BigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void CompressPortable(std::array<uint32_t, 8>& state, const uint8_t* data, size_t blocks) {
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i) w[i] = BigEndian32(data + 4 * i);
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) +
                                ((e & f) ^ (~e & g)) + kRoundConstants[i] + w[i];
            const uint32_t t2 =
                (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#if defined(__x86_64__)
// Four rounds per step, two per sha256rnds2. The state lives as ABEF and CDGH, the order the
// instructions take it in; each step also makes the message words four steps ahead.
__attribute__((target("sha,sse4.1"))) void CompressShaExtensions(std::array<uint32_t, 8>& state,
                                                                 const uint8_t* data,
                                                                 size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i badc = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<__m128i*>(&state[0])), 0xB1);
    __m128i hgfe = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<__m128i*>(&state[4])), 0x1B);
    __m128i abef = _mm_alignr_epi8(badc, hgfe, 8);
    __m128i cdgh = _mm_blend_epi16(hgfe, badc, 0xF0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefSaved = abef;
        const __m128i cdghSaved = cdgh;
        __m128i message[4];
        for (int i = 0; i < 4; ++i) {
            message[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
        }
        for (int step = 0; step < 16; ++step) {
            const __m128i words = _mm_add_epi32(
                message[step & 3],
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * step])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(words, 0x0E));
            if (step < 12) {
                __m128i next = _mm_sha256msg1_epu32(message[step & 3], message[(step + 1) & 3]);
                next = _mm_add_epi32(
                    next, _mm_alignr_epi8(message[(step + 3) & 3], message[(step + 2) & 3], 4));
                message[step & 3] = _mm_sha256msg2_epu32(next, message[(step + 3) & 3]);
            }
        }
        abef = _mm_add_epi32(abef, abefSaved);
        cdgh = _mm_add_epi32(cdgh, cdghSaved);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

}  // namespace

bool Sha256EngineAvailable(Sha256Engine engine) {
#if defined(__x86_64__)
    if (engine == Sha256Engine::ShaExtensions) {
        return __builtin_cpu_supports("sha") && __builtin_cpu_supports("sse4.1");
    }
#endif
    return engine == Sha256Engine::Portable;
}

Sha256Engine FastestSha256Engine() {
    return Sha256EngineAvailable(Sha256Engine::ShaExtensions) ? Sha256Engine::ShaExtensions
                                                              : Sha256Engine::Portable;
}

void StartSha256(Sha256* sha, Sha256Engine engine) {
    sha->compress = CompressPortable;
#if defined(__x86_64__)
    if (engine == Sha256Engine::ShaExtensions) sha->compress = CompressShaExtensions;
#endif
    sha->state = kInitialState;
    sha->pendingBytes = 0;
    sha->totalBytes = 0;
}

void UpdateSha256(Sha256* sha, const void* data, size_t bytes) {
    const auto* p = static_cast<const uint8_t*>(data);
    sha->totalBytes += bytes;
    if (sha->pendingBytes > 0) {
        const size_t take = std::min(bytes, sha->pending.size() - sha->pendingBytes);
        std::memcpy(sha->pending.data() + sha->pendingBytes, p, take);
        sha->pendingBytes += take;
        p += take;
        bytes -= take;
        if (sha->pendingBytes < sha->pending.size()) return;
        sha->compress(sha->state, sha->pending.data(), 1);
        sha->pendingBytes = 0;
    }
    sha->compress(sha->state, p, bytes / 64);
    sha->pendingBytes = bytes % 64;
    std::memcpy(sha->pending.data(), p + bytes / 64 * 64, sha->pendingBytes);
}

std::string FinishSha256(Sha256* sha) {
    const uint64_t bits = sha->totalBytes * 8;
    uint8_t tail[72] = {0x80};
    // The message, a 1 bit, zeros, and its length in bits: a whole number of blocks.
    const size_t zeros = (119 - sha->pendingBytes) % 64;
    for (int i = 0; i < 8; ++i) tail[1 + zeros + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    UpdateSha256(sha, tail, 1 + zeros + 8);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string digest;
    for (uint32_t word : sha->state) {
        for (int shift = 28; shift >= 0; shift -= 4) digest += kHex[word >> shift & 0xF];
    }
    return digest;
}
