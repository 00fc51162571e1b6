// Where the face files come from: the system's own font lookup (fontconfig
// in face_files_posix.cpp; on Windows the fonts folder, then the fonts
// carried beside the program, in face_files_win32.cpp) or, on the web, the
// fonts the page carries (platform/web/face_files.cpp). One of them is built
// into each program.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/text/font.h"

namespace plat {

struct FaceFile {
    std::string path;
    int index = 0;
    std::string family;  // UTF-8
    bool japanese = false;  // holds kana
};

// The Japanese serif (Mincho) or sans-serif (Gothic) face, else any
// scalable face; nothing when there is no face at all.
std::optional<FaceFile> StandardFaceFile(bool serif);
// A face of exactly this family (UTF-8), if there is one.
std::optional<FaceFile> FamilyFaceFile(const std::string& familyUtf8);

}  // namespace plat
