// How the show puts the pictures on the screen, imitated for the previews: 5-6-5 frames, the
// grain and grey pass, and sheets of frames shown at twice their size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pictures {

// One 320 x 200 frame of 5-6-5 pixels: red in the top 5 bits, blue in the bottom 5.
using Frame = std::vector<uint16_t>;

// The grain and grey pass: noise 0..7 added to every byte (each byte wraps on its own), then
// every pixel from row 1, column 1 on rebuilt as grey from the smoothed blue field. The show
// takes its noise from the song's bytes; here a generator with the same spread stands in,
// `seed` choosing the moment.
void GrainGrey(Frame* frame, uint32_t seed);

// Frames laid out on a grid at twice their size, written as one PNG.
class Sheet {
public:
    Sheet(int columns, int rows);
    void Put(int column, int row, const Frame& frame);
    // False, with the reason in *error, when the file cannot be written.
    bool Write(const std::string& path, std::string* error) const;

private:
    int columns_, rows_;
    std::vector<uint8_t> rgb_;
};

}  // namespace pictures
