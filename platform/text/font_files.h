// Where the face files are: the system's own way of finding a font, behind
// font.cpp. fontconfig on POSIX systems (font_files_posix.cpp); on Windows
// the fonts folder, then the fonts carried beside the program
// (font_files_win32.cpp).
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace plat {

struct FaceFile {
    std::string path;    // a path of this system
    int index = 0;       // face in a collection
    std::string family;  // UTF-8
};

// The Japanese serif (Mincho) or sans-serif (Gothic) face; any scalable face
// when the system has neither.
std::optional<FaceFile> StandardFace(bool serif);
// The face of a family named in UTF-8 (compared without case), or nothing.
std::optional<FaceFile> FamilyFace(const std::string& familyUtf8);

// Every installed face: its family (UTF-8) and whether it has kana.
struct InstalledFace {
    std::string family;
    bool japanese = false;
};
std::vector<InstalledFace> InstalledFaces();

}  // namespace plat
