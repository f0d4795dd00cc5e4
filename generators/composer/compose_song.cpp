// Writes the song to the file named on the command line. The build runs it and embeds the result.
#include <cstdio>
#include <exception>

#include "generators/asset_file.h"
#include "generators/composer/score.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.xm\n", argv[0]);
        return 2;
    }
    try {
        const std::vector<uint8_t> bytes = composer::ComposeSongBytes();
        if (!WriteAssetFile(argv[0], argv[1], bytes)) return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
