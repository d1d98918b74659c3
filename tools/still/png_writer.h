// PNG files from RGBA8 images (libpng). The file appears only when complete:
// the image goes to a temporary file beside the target, which is renamed
// over it at the end; on failure nothing is left behind.
#pragma once

#include <cstdint>
#include <string>

// Writes width x height pixels (bytes R, G, B, A; rows top first, packed) as
// an 8-bit RGBA PNG. False with a message naming the file and the cause in
// error.
bool write_png(const std::string& path, int width, int height, const uint8_t* rgba,
               std::string& error);
