// The picture loader: decodes BMP files into surfaces of a given pixel
// format. Handles the 12-byte core header and the 40-byte info header with
// its later versions (52, 56, 108 and 124 bytes); 1, 4 and 8 bits through a
// palette, 16 bits (5-5-5 or bit fields), 24 and 32 bits (plain or bit
// fields); bottom-up and top-down rows; 8- and 4-bit run-length coding.
//
// Each pixel becomes the surface pixel that MapRGB gives for its colour, so
// the colour key of a colour is exactly the decoded pixel of that colour.
// Input is untrusted: a file that is truncated, lies about a size or an
// offset, or uses anything outside the list above is refused (nullptr);
// nothing is read outside the bytes given. The writer makes plain 24-bit
// bottom-up files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/pixels/surface.h"

namespace plat {

// Decodes BMP bytes; nullptr when they are not a picture this loader reads.
Surface* DecodeBmp(const std::uint8_t* data, std::size_t size, const PixelFormat& fmt, bool systemMemory = false);
// Reads and decodes a BMP file; nullptr when it cannot be read or decoded.
Surface* LoadBmpFile(const std::string& path, const PixelFormat& fmt, bool systemMemory = false);

// Writes XRGB8888 pixels (rows top-down) as a 24-bit bottom-up BMP file
// of 72 dots per inch.
bool WriteBmp24(const std::string& path, const std::uint32_t* pixels, int width, int height);

}  // namespace plat
