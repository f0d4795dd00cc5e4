// PNG files of 8-bit RGB pixels, for the previews of the generated pictures and for captured frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height pixels of three bytes (red, green, blue), row-major. False, with the
// reason in *error, when the file cannot be written.
bool WritePngRgb(const std::string& path, int32_t width, int32_t height,
                 const std::vector<uint8_t>& rgb, std::string* error);

// The RGB bytes of an 8-bit indexed picture through a palette of 6-bit intensities (0..63, three
// bytes an entry), each scaled to 0..255.
std::vector<uint8_t> IndexedToRgb(const std::vector<uint8_t>& indices, const uint8_t* palette);
