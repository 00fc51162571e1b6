// Face files on Windows (face_files.h): the system's fonts folder first, then
// the fonts carried in the "fonts" folder beside the program (the package
// brings Debian's IPA fonts there), so Japanese text is drawn on every
// Windows.
//
// The standard faces are looked up by their usual file names; other family
// names by reading the names inside every face file of those folders once
// (the English family name and those of the name table, Japanese ones
// included).
//
// The platform's own names come first: <windows.h> defines macros of the
// same names (the message numbers, the character sets).
#include "platform/text/face_files.h"

#include <map>

#include "platform/text/cp932.h"

namespace plat {
namespace {

struct InstalledFace {
    std::string family;  // UTF-8
    bool japanese = false;
};
// Every face of the folders, read once (below, among the system's calls).
std::vector<InstalledFace> InstalledFaces();

}  // namespace

std::vector<FontFamily> ListFontFamilies(std::size_t maxCount) {
    std::vector<FontFamily> families;
    std::map<std::string, std::size_t> seen;  // UTF-8 family -> index in families
    for (const InstalledFace& face : InstalledFaces()) {
        const std::string& name = face.family;
        auto it = seen.find(name);
        if (it != seen.end()) {
            if (face.japanese) families[it->second].charset = SHIFTJIS_CHARSET;
            continue;
        }
        if (families.size() >= maxCount) continue;
        seen.emplace(name, families.size());
        families.push_back({Utf8ToCp932(name), face.japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET});
    }
    return families;
}

}  // namespace plat

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/os/wide_text_win32.h"


namespace plat {

std::string ProgramPath();  // platform/os/window.h

namespace {

// The standard faces' files, best first: the system's own Japanese faces,
// then the IPA faces (as Debian and the package carry them).
const char* const kMinchoFiles[] = {"msmincho.ttc", "yumin.ttf", "ipam.ttf", "ipamp.ttf", "ipaexm.ttf"};
const char* const kGothicFiles[] = {"msgothic.ttc", "yugothm.ttc", "meiryo.ttc", "ipag.ttf", "ipagp.ttf", "ipaexg.ttf"};

std::string SystemFontsFolder() {
    PWSTR path = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(FOLDERID_Fonts, 0, nullptr, &path) == S_OK) folder = PortablePath(path) + "/";
    CoTaskMemFree(path);
    return folder;
}

std::string CarriedFontsFolder() {
    const std::string program = ProgramPath();
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string("fonts/") : program.substr(0, slash + 1) + "fonts/";
}

const std::vector<std::string>& Folders() {
    static const std::vector<std::string> folders = [] {
        std::vector<std::string> list;
        if (std::string system = SystemFontsFolder(); !system.empty()) list.push_back(system);
        list.push_back(CarriedFontsFolder());
        return list;
    }();
    return folders;
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool IsFaceFileName(const std::string& name) {
    const std::string lower = Lower(name);
    const std::size_t dot = lower.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = lower.substr(dot);
    return ext == ".ttf" || ext == ".ttc" || ext == ".otf" || ext == ".otc";
}

// Every face file of the folders, in folder order, names sorted.
std::vector<std::string> FaceFiles() {
    std::vector<std::string> files;
    for (const std::string& folder : Folders()) {
        std::vector<std::string> names;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(WideFromUtf8(folder + "*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            const std::string name = Utf8FromWide(entry.cFileName);
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsFaceFileName(name)) names.push_back(name);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) files.push_back(folder + name);
    }
    return files;
}

// A name-table string in UTF-8: UTF-16BE for Windows' names, bytes as they
// are for the Macintosh Roman ones (ASCII in practice).
std::string NameText(const FT_SfntName& name) {
    if (name.platform_id == TT_PLATFORM_MICROSOFT) {
        std::wstring wide;
        for (FT_UInt i = 0; i + 1 < name.string_len; i += 2)
            wide += static_cast<wchar_t>(name.string[i] << 8 | name.string[i + 1]);
        return Utf8FromWide(wide);
    }
    return std::string(reinterpret_cast<const char*>(name.string), name.string_len);
}

struct NamedFace {
    FaceFile file;
    std::vector<std::string> families;  // lower-cased UTF-8
    bool japanese = false;              // has kana
};

void AddNames(FT_Face face, NamedFace& named) {
    if (face->family_name) named.families.push_back(Lower(face->family_name));
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0) continue;
        if (name.name_id != TT_NAME_ID_FONT_FAMILY && name.name_id != TT_NAME_ID_TYPOGRAPHIC_FAMILY) continue;
        named.families.push_back(Lower(NameText(name)));
    }
}

// Every face of every file with its family names, read once.
const std::vector<NamedFace>& NamedFaces() {
    static const std::vector<NamedFace> faces = [] {
        std::vector<NamedFace> list;
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library) != 0) return list;
        for (const std::string& path : FaceFiles()) {
            FT_Long count = 1;
            for (FT_Long index = 0; index < count; ++index) {
                FT_Face face = nullptr;
                if (FT_New_Face(library, path.c_str(), index, &face) != 0) break;
                count = face->num_faces;
                NamedFace named;
                named.japanese = FT_Get_Char_Index(face, 0x3042) != 0;
                named.file = FaceFile{path, static_cast<int>(index), face->family_name ? face->family_name : "",
                                      named.japanese};
                AddNames(face, named);
                list.push_back(std::move(named));
                FT_Done_Face(face);
            }
        }
        FT_Done_FreeType(library);
        return list;
    }();
    return faces;
}

template <std::size_t N>
std::optional<FaceFile> FirstKnownFile(const char* const (&names)[N]) {
    for (const std::string& folder : Folders())
        for (const char* name : names)
            if (IsFile(folder + name)) {
                for (const NamedFace& face : NamedFaces())
                    if (face.file.path == folder + name && face.file.index == 0) return face.file;
                return FaceFile{folder + name, 0, {}, true};
            }
    return std::nullopt;
}

}  // namespace

std::optional<FaceFile> StandardFaceFile(bool serif) {
    std::optional<FaceFile> found = serif ? FirstKnownFile(kMinchoFiles) : FirstKnownFile(kGothicFiles);
    if (found) return found;
    // Any face at all, for a system without Japanese faces.
    const std::vector<NamedFace>& faces = NamedFaces();
    if (faces.empty()) return std::nullopt;
    return faces.front().file;
}

std::optional<FaceFile> FamilyFaceFile(const std::string& familyUtf8) {
    const std::string wanted = Lower(familyUtf8);
    for (const NamedFace& face : NamedFaces())
        if (std::find(face.families.begin(), face.families.end(), wanted) != face.families.end()) return face.file;
    return std::nullopt;
}

namespace {

std::vector<InstalledFace> InstalledFaces() {
    std::vector<InstalledFace> faces;
    for (const NamedFace& face : NamedFaces())
        if (!face.file.family.empty()) faces.push_back({face.file.family, face.japanese});
    return faces;
}

}  // namespace

}  // namespace plat
