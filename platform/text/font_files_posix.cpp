// Face files through fontconfig: the standard faces are its Japanese serif
// and sans-serif matches, other names must match a family exactly.
#include <fontconfig/fontconfig.h>

#include "platform/text/font_files.h"

namespace plat {
namespace {

// fontconfig is set up on first use and finished at exit, so that the
// library's own records are freed too.
void UseFontconfig() {
    struct Session {
        Session() { FcInit(); }
        ~Session() { FcFini(); }
    };
    static Session session;
}

std::optional<FaceFile> FaceFileOf(FcPattern* font) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file) return std::nullopt;
    FaceFile f;
    f.path = reinterpret_cast<const char*>(file);
    int index = 0;
    if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch) f.index = index;
    FcChar8* family = nullptr;
    if (FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch && family)
        f.family = reinterpret_cast<const char*>(family);
    return f;
}

bool HasFamily(FcPattern* font, const std::string& familyUtf8) {
    FcChar8* family = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
        if (FcStrCmpIgnoreCase(family, reinterpret_cast<const FcChar8*>(familyUtf8.c_str())) == 0) return true;
    }
    return false;
}

// Best match for a pattern; with requiredFamily set, only a font of that
// family counts as a match.
std::optional<FaceFile> Match(FcPattern* pattern, const std::string* requiredFamily) {
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* font = FcFontMatch(nullptr, pattern, &result);
    std::optional<FaceFile> found;
    if (font && (!requiredFamily || HasFamily(font, *requiredFamily))) found = FaceFileOf(font);
    if (font) FcPatternDestroy(font);
    return found;
}

// Any scalable face at all, for a system without the usual families.
std::optional<FaceFile> AnyOutlineFace() {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    std::optional<FaceFile> found;
    for (int i = 0; set && i < set->nfont && !found; ++i) found = FaceFileOf(set->fonts[i]);
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

}  // namespace

std::optional<FaceFile> StandardFace(bool serif) {
    UseFontconfig();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(serif ? "serif" : "sans-serif"));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    std::optional<FaceFile> found = Match(pattern, nullptr);
    FcPatternDestroy(pattern);
    return found ? found : AnyOutlineFace();
}

std::optional<FaceFile> FamilyFace(const std::string& familyUtf8) {
    UseFontconfig();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(familyUtf8.c_str()));
    std::optional<FaceFile> found = Match(pattern, &familyUtf8);
    FcPatternDestroy(pattern);
    return found;
}

std::vector<InstalledFace> InstalledFaces() {
    UseFontconfig();
    std::vector<InstalledFace> faces;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_CHARSET, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch || !family) continue;
        FcCharSet* chars = nullptr;
        const bool japanese = FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &chars) == FcResultMatch && chars &&
                              FcCharSetHasChar(chars, 0x3042);
        faces.push_back({reinterpret_cast<const char*>(family), japanese});
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return faces;
}

}  // namespace plat
