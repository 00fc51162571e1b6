// Face files on the web: no font lookup service, only the faces the page
// carries in its virtual file system under /fonts/ (IPA Mincho and IPA
// Gothic from Debian's packages), or, for programs run under Node.js with
// the real file system, the same files where Debian installs them.
// Families are the two faces' own names; the list of families is theirs.
#include <unistd.h>

#include <array>

#include "platform/text/cp932.h"
#include "platform/text/face_files.h"

namespace plat {
namespace {

struct KnownFace {
    const char* family;  // UTF-8
    const char* file;
    const char* debianFolder;
};

constexpr KnownFace kMincho{"IPAMincho", "ipam.ttf", "/usr/share/fonts/opentype/ipafont-mincho/"};
constexpr KnownFace kGothic{"IPAGothic", "ipag.ttf", "/usr/share/fonts/opentype/ipafont-gothic/"};

std::optional<FaceFile> Find(const KnownFace& face) {
    for (const char* folder : {"/fonts/", face.debianFolder}) {
        const std::string path = std::string(folder) + face.file;
        if (access(path.c_str(), R_OK) == 0) return FaceFile{path, 0, face.family, true};
    }
    return std::nullopt;
}

}  // namespace

std::optional<FaceFile> StandardFaceFile(bool serif) {
    std::optional<FaceFile> found = Find(serif ? kMincho : kGothic);
    return found ? found : Find(serif ? kGothic : kMincho);
}

std::optional<FaceFile> FamilyFaceFile(const std::string& familyUtf8) {
    for (const KnownFace* face : {&kMincho, &kGothic})
        if (familyUtf8 == face->family) return Find(*face);
    return std::nullopt;
}

std::vector<FontFamily> ListFontFamilies(std::size_t maxCount) {
    std::vector<FontFamily> families;
    for (const KnownFace* face : {&kMincho, &kGothic})
        if (families.size() < maxCount && Find(*face)) families.push_back({face->family, SHIFTJIS_CHARSET});
    return families;
}

}  // namespace plat
