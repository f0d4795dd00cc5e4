// PNG files of 8-bit RGB pixels, for the previews of the generated pictures and for captured
// frames.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Writes width x height pixels of three bytes (red, green, blue), row-major, through
// tools/output_file.h: the name takes the picture only once it is complete. False, with the
// reason in *error, when the file cannot be written.
bool WritePngRgb(const std::string& path, int32_t width, int32_t height,
                 const std::vector<uint8_t>& rgb, std::string* error);
// `durable`: the file reaches the disk itself before it takes its name (tools/output_file.h);
// `replace`: a file already at the name may be replaced (the build's previews), or is kept (a
// user's, unless asked).
bool WritePngRgb(const std::string& path, int32_t width, int32_t height, const uint8_t* rgb,
                 std::string* error, bool durable = true, bool replace = true);

// The same picture written to a file the caller opened and closes; false, with the reason in
// *error, when a write fails.
bool WritePngRgbTo(std::FILE* file, int32_t width, int32_t height, const uint8_t* rgb,
                   std::string* error);

// The RGB bytes of an 8-bit indexed picture through a palette of 6-bit intensities (0..63, three
// bytes an entry), each scaled to 0..255.
std::vector<uint8_t> IndexedToRgb(const std::vector<uint8_t>& indices, const uint8_t* palette);
