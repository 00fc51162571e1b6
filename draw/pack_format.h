// The image pack file format, shared by the engine's pack readers and
// converter and by the command-line pack tool.
//
// A pack has no header: entries follow one another to the end of the file.
// An entry is width and height (16-bit little-endian words), the picture's
// upper-case base name closed by a zero byte, and width x height pixel
// words row by row from the top: bit 15 zero, then five bits each of red,
// green and blue. 0x0000 is pure black only; a colour that is not black but
// rounds to three zeros is written 0x0001.
//
// Pack files are outside input: a name that never ends (or runs past 255
// bytes) or an entry whose pixels run past the end of the file stops a walk
// cleanly; nothing is read or allocated beyond the file's own size.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/pixels/surface.h"

namespace krDraw::pack {

// Longest entry name read back; a longer one marks the file as damaged.
constexpr std::size_t kMaxEntryName = 255;

struct Entry {
    std::uint64_t offset = 0;       // where the entry starts
    std::uint16_t width = 0, height = 0;
    std::string name;
    std::uint64_t pixelOffset = 0;  // where its first pixel word starts
    std::uint64_t PixelBytes() const { return 2ull * width * height; }
};

enum class Step {
    kEntry,    // an entry header was read; the file stands at its pixels
    kEnd,      // fewer than four bytes were left
    kDamaged,  // the name never ends, or is longer than kMaxEntryName
};

// The size of an open file, which is left at its start; false when it
// cannot be measured or read (a folder).
bool MeasureFile(std::FILE* file, std::uint64_t& size);

// Reads the entry header at the file's position (size words and name).
Step ReadHeader(std::FILE* file, std::uint64_t fileSize, Entry& entry);
// True when all the entry's pixel words lie inside the file.
bool PixelsInside(const Entry& entry, std::uint64_t fileSize);

enum class Lookup {
    kFound,      // the file stands at the entry's first pixel word
    kMissing,    // no entry of that name before the end (or the damage)
    kTruncated,  // the entry is there but its pixels run past the end
};
// Finds the first entry called `name` (compared byte for byte).
Lookup Find(std::FILE* file, std::uint64_t fileSize, const std::string& name, Entry& entry);

// Reads the entry's pixel words from the file's position into the first
// width x height pixels of rows `bits` (pitch bytes apart) of the given
// format: each 5-bit component at the top of a 5- or 6-bit field, or
// widened by repeating its top bits into an 8-bit one. False when the file
// ends early.
bool ReadPixels(std::FILE* file, const Entry& entry, const plat::PixelFormat& format, std::uint8_t* bits,
                std::ptrdiff_t pitch);

// The pixel word of an 8-bit colour.
std::uint16_t EncodeColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// Appends a whole entry for the picture of a surface.
void EncodeEntry(std::vector<std::uint8_t>& out, const std::string& name, const plat::Surface& picture);

// The part after the last '\' or '/' (two-byte characters respected).
std::string BaseName(const std::string& name);
// The BMP files of a folder (names ending in ".bmp" in any case), ordered
// by their upper-case names.
std::vector<std::string> BmpFilesIn(const std::string& folder);

}  // namespace krDraw::pack
