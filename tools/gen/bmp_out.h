// Writing what the generators make: whole files, and pictures as 24-bit
// BMP files through the platform's writer; plus the checks that a picture
// keeps its colour key (corner or black) intact on every display format.
#pragma once
#include <filesystem>
#include <string>

#include "tools/gen/image.h"

namespace gen {

// Writes the bytes, or fails.
void writeFile(const std::filesystem::path& path, const std::string& bytes);
// Writes a 24-bit uncompressed bottom-up BMP, or fails.
void writeBmp(const std::filesystem::path& path, const Image& img);

// The engine compares colour keys after reducing pixels to the display's format; 5-5-5 is the
// coarsest it meets, and a colour that differs there differs in 5-6-5 too.
bool sameOn555(Rgb a, Rgb b);
// A corner-keyed picture: every pixel is either exactly the corner colour or clearly not it.
void requireCornerKeySafe(const Image& img, const std::string& name);
// A black-keyed picture: every drawn pixel keeps some component at 8 or above.
void requireBlackKeySafe(const Image& img, const std::string& name);

}  // namespace gen
