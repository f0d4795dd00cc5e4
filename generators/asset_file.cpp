#include "generators/asset_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool WriteAssetFile(const char* tool, const char* path, const uint8_t* bytes, size_t count) {
    std::FILE* out = std::fopen(path, "wb");
    bool written = out && std::fwrite(bytes, 1, count, out) == count;
    // The close can fail too (a full disk shows there first).
    if (out && std::fclose(out) != 0) written = false;
    if (!written)
        std::fprintf(stderr, "%s: cannot write %s: %s\n", tool, path, std::strerror(errno));
    return written;
}
