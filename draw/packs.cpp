// Image pack files: the pack name, the readers that decode one entry into
// an image object (a new one, or the caller's slot), and the converter that
// appends every BMP picture of a folder to a pack. The entry format and the
// guarded walk over it are in draw/pack_format.h.
//
// A found entry is decoded into a temporary object and moved onto the final
// object with one copy. The readers expand the 5-bit components into the
// back screen's format, so they work on 15-, 16-, 24- and 32-bit displays;
// the converter needs a display of more than 16 bits to read colours whole.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "draw/objects_internal.h"
#include "draw/pack_format.h"
#include "platform/os/atomic_file.h"
#include "platform/text/cp932.h"
#include "platform/os/window.h"
#include "platform/text/cp932_literal.h"
#include "system/krSystem.h"

namespace {

constexpr std::size_t kMaxPackPath = 255;
constexpr std::size_t kMaxPictureName = 30;
constexpr int kCopyTries = 10;
// Convert's report when the new pack cannot be made or written whole.
constexpr const char* kPackNotWritten = u8"パックファイルに書き込めません"_cp932;
// A restore pass reloads pack objects through the reader, whose copy may
// start another pass; this many passes may be open at once.
constexpr int kMaxRestoreNesting = 2;

std::string packPath;  // empty until krDraw::SetPackFile
int restoreNesting = 0;

// The pack opened for reading, closed on every way out.
using PackFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A picture request on its way: where it comes from and where it goes.
struct Request {
    const char* label;
    std::string name;  // upper case
    bool swap;         // krDraw::SwapPack: the picture goes into `slot`
    int slot;
    int mode;
};

int Fail(const Request& request, const char* message) { return krSystem::ReportError(request.label, message); }

// The object the picture ends in: a new one, or the caller's slot with its
// old surface released. 0 after krDraw::CreateObject reported why.
int MakeFinalObject(const Request& request, int width, int height) {
    if (!request.swap) return krDraw::CreateObject(width, height, request.mode);
    krObjectRecord& record = krObjects[request.slot];
    plat::DestroySurface(record.surface);
    record.surface = nullptr;
    return krDraw::internal::CreateObjectIn(request.slot, width, height, request.mode) ? request.slot : 0;
}

// Gives back what a failed read made; the caller's own slot stays its own.
void DropFinalObject(const Request& request, int slot) {
    if (!request.swap) krDraw::ReleaseObject(slot);
}

// Copies the decoded picture onto the final object, restoring the display
// when it was lost on the way. The display's result of the last try.
plat::HRESULT CopyDecoded(int from, int to) {
    plat::HRESULT result = plat::DDERR_GENERIC;
    for (int attempt = 0; attempt < kCopyTries; ++attempt) {
        plat::Surface* source = krDraw::internal::SurfaceAt(from);
        plat::Surface* target = krDraw::internal::SurfaceAt(to);
        if (!source || !target) return plat::DDERR_INVALIDPARAMS;
        result = plat::BltStretch(target, plat::Rect{0, 0, target->width, target->height}, source,
                                  plat::Rect{0, 0, source->width, source->height}, false);
        if (result == plat::DD_OK) break;
        if (result == plat::DDERR_SURFACELOST && restoreNesting < kMaxRestoreNesting) {
            ++restoreNesting;
            krDraw::Restore();
            --restoreNesting;
        }
    }
    return result;
}

// Decodes the found entry (the file stands at its pixels) into an object.
int Decode(const Request& request, PackFile& file, const krDraw::pack::Entry& entry) {
    const int slot = MakeFinalObject(request, entry.width, entry.height);
    if (slot == 0) return 0;
    const int temporary = krDraw::CreateObject(entry.width, entry.height, 2);
    if (temporary == 0) {
        DropFinalObject(request, slot);
        return 0;
    }
    plat::Surface* work = krObjects[temporary].surface;
    std::uint8_t* bits = nullptr;
    int pitch = 0;
    if (plat::Lock(work, &bits, &pitch) != plat::DD_OK) {
        krDraw::ReleaseObject(temporary);
        DropFinalObject(request, slot);
        return 0;
    }
    const bool complete = krDraw::pack::ReadPixels(file.get(), entry, work->format, bits, pitch);
    plat::Unlock(work);
    file.reset();
    if (!complete) {  // the file shrank under us
        krDraw::ReleaseObject(temporary);
        DropFinalObject(request, slot);
        return Fail(request, u8"BMPファイルを読み込めません"_cp932);
    }

    const plat::HRESULT copied = CopyDecoded(temporary, slot);
    krDraw::ReleaseObject(temporary);
    if (copied != plat::DD_OK) {
        DropFinalObject(request, slot);
        return krSystem::ReportError(request.label, u8"サーフェース間で展開できません"_cp932, copied);
    }

    krObjectRecord& record = krObjects[slot];
    krDraw::internal::ApplyLoadKey(record);
    std::memset(record.name, 0, sizeof record.name);
    std::memcpy(record.name, request.name.data(), request.name.size());
    record.fromPack = 1;
    record.reloadMode = 2;
    record.width = entry.width;
    record.height = entry.height;
    return slot;
}

int ReadPicture(const Request& request) {
    if (request.name.size() > kMaxPictureName) return Fail(request, u8"ファイル名またはリソース名が長すぎます"_cp932);
    PackFile file(packPath.empty() ? nullptr : std::fopen(plat::ResolvePath(packPath).c_str(), "rb"), std::fclose);
    std::uint64_t size = 0;
    if (!file.get() || !krDraw::pack::MeasureFile(file.get(), size))
        return krSystem::ReportLoadError(request.label, u8"パックファイル名が指定されていません"_cp932, packPath.c_str());

    krDraw::pack::Entry entry;
    if (krDraw::pack::Find(file.get(), size, request.name, entry) != krDraw::pack::Lookup::kFound)
        return Fail(request, u8"BMPファイルを読み込めません"_cp932);
    // No object can be made of an empty entry or of one larger than any
    // surface: refused with the object maker's report before a slot is
    // taken, so that the slot is not left named but empty.
    if (entry.width == 0 || entry.height == 0 || entry.width > plat::kMaxSurfaceSide ||
        entry.height > plat::kMaxSurfaceSide)
        return krSystem::ReportError("krDraw::CreateObject", u8"スプライトを作成できません"_cp932);
    return Decode(request, file, entry);
}

// Appends one picture of the folder (its name relative to the program's
// folder, in upper case) to the new pack; a picture that cannot be loaded
// has been reported by the loader and is left out (false).
bool AppendPicture(plat::AtomicFile& pack, const std::string& relative) {
    const int slot = krDraw::LoadObject(relative.c_str(), 1);
    if (slot == 0) return false;
    std::vector<std::uint8_t> bytes;
    krDraw::pack::EncodeEntry(bytes, krDraw::pack::BaseName(relative), *krObjects[slot].surface);
    pack.Write(bytes.data(), bytes.size());
    krDraw::ReleaseObject(slot);
    return true;
}

}  // namespace

namespace krDraw {

void SetPackFile(const char* name) {
    const std::string path = std::string(krSystem::GetBaseFolder(0)) + (name ? name : "");
    // A path the record cannot hold is no pack name at all.
    packPath = path.size() <= kMaxPackPath ? path : std::string();
}

int LoadPack(const char* name, int mode) {
    return ReadPicture({"krDraw::LoadPack", plat::UpperCase(name ? name : ""), false, 0, mode});
}

int SwapPack(const char* name, int slot, int mode) {
    const Request request{"krDraw::SwapPack", plat::UpperCase(name ? name : ""), true, slot, mode};
    if (!internal::ObjectAt(slot)) return Fail(request, u8"BMPファイルを読み込めません"_cp932);
    return ReadPicture(request);
}

int Convert(const char* packName, const char* folder, int deleteFirst) {
    if (plat::DesktopBits() <= 16) return krSystem::ReportError("krDraw::Convert", u8"画面をフルカラーにして下さい"_cp932);
    const std::string base = krSystem::GetBaseFolder(0);
    const std::string packFull = base + (packName ? packName : "");
    const std::string folderName = folder ? folder : "";
    const std::string packPath = plat::ResolvePath(packFull);
    // The new pack is built beside the old one and replaces it only when
    // written whole, so a failed conversion leaves the old pack as it was.
    plat::AtomicFile out(packPath, deleteFirst ? plat::AtomicFile::Start::kEmpty : plat::AtomicFile::Start::kExisting);
    if (!out.IsOpen()) return krSystem::ReportError("krDraw::Convert", kPackNotWritten);
    bool appended = false;
    for (const std::string& file : pack::BmpFilesIn(plat::ResolvePath(base + folderName))) {
        const std::string name = plat::Utf8ToCp932(file);
        appended |= AppendPicture(out, plat::UpperCase(folderName.empty() ? name : folderName + "\\" + name));
    }
    if (appended) return out.Commit() ? 1 : krSystem::ReportError("krDraw::Convert", kPackNotWritten);
    // Nothing to add: the pack stays as it was, or is gone when asked to start afresh.
    out.Discard();
    if (deleteFirst) std::remove(packPath.c_str());
    return 1;
}

}  // namespace krDraw
