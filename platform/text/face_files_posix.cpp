// Face files through fontconfig: the installed Japanese serif and
// sans-serif faces, families by name, and the list of installed families.
#include "platform/text/face_files.h"

#include <fontconfig/fontconfig.h>

#include <map>

#include "platform/os/notice.h"
#include "platform/text/cp932.h"

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

// Has kana: fontconfig's character set holds U+3042.
bool CoversJapanese(FcPattern* font) {
    FcCharSet* chars = nullptr;
    return FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) == FcResultMatch && chars && FcCharSetHasChar(chars, 0x3042);
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
    f.japanese = CoversJapanese(font);
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
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_CHARSET, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    std::optional<FaceFile> found;
    for (int i = 0; set && i < set->nfont && !found; ++i) found = FaceFileOf(set->fonts[i]);
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

}  // namespace

std::optional<FaceFile> StandardFaceFile(bool serif) {
    UseFontconfig();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(serif ? "serif" : "sans-serif"));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    std::optional<FaceFile> found = Match(pattern, nullptr);
    FcPatternDestroy(pattern);
    if (!found) found = AnyOutlineFace();
    // Text still draws its Latin letters from whatever was found; the
    // Japanese ones would silently be missing, so the player is told once.
    if (!found || !found->japanese) {
        static bool told = false;
        if (!told)
            Notice(std::string("no Japanese font found (fontconfig searched for a ") + (serif ? "serif" : "sans-serif") +
                   " face with lang ja, then any outline face; found " +
                   (found ? found->family + " in " + found->path : std::string("none")) +
                   "): Japanese text will not show; install fonts-ipafont-mincho and fonts-ipafont-gothic");
        told = true;
    }
    return found;
}

std::optional<FaceFile> FamilyFaceFile(const std::string& familyUtf8) {
    UseFontconfig();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(familyUtf8.c_str()));
    std::optional<FaceFile> found = Match(pattern, &familyUtf8);
    FcPatternDestroy(pattern);
    return found;
}

std::vector<FontFamily> ListFontFamilies(std::size_t maxCount) {
    std::vector<FontFamily> families;
    UseFontconfig();
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_CHARSET, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    std::map<std::string, std::size_t> seen;  // UTF-8 family -> index in families
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch || !family) continue;
        const std::string name = reinterpret_cast<const char*>(family);
        const bool japanese = CoversJapanese(set->fonts[i]);
        auto it = seen.find(name);
        if (it != seen.end()) {
            if (japanese) families[it->second].charset = SHIFTJIS_CHARSET;
            continue;
        }
        if (families.size() >= maxCount) continue;
        seen.emplace(name, families.size());
        families.push_back({Utf8ToCp932(name), japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET});
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return families;
}

}  // namespace plat
