// Writes BYTES bytes of noise from SEED to OUT: the filler the grain filter reads ahead of the
// module. The grain adds the top three bits of each byte to the picture, so the bytes must look
// like noise rather than a run of zeros; a small multiplicative generator modulo the prime 65537
// is enough and gives the same bytes everywhere.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "generators/asset_file.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUT BYTES SEED\n", argv[0]);
        return 2;
    }
    char* end = nullptr;
    const unsigned long count = std::strtoul(argv[2], &end, 10);
    if (*end != '\0' || count == 0 || count > (1ul << 24)) {
        std::fprintf(stderr, "%s: BYTES must be 1 to 16777216\n", argv[0]);
        return 2;
    }
    const unsigned long seed = std::strtoul(argv[3], &end, 10);
    if (*end != '\0' || seed >= 65537) {
        std::fprintf(stderr, "%s: SEED must be 0 to 65536\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> bytes(count);
    uint32_t state = static_cast<uint32_t>(seed);
    for (uint8_t& byte : bytes) {
        state = (state * 75 + 74) % 65537;
        byte = static_cast<uint8_t>(state >> 8);
    }
    return WriteAssetFile(argv[0], argv[1], bytes) ? 0 : 1;
}
