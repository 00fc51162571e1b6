// Image objects: the 512-slot table's loaders (BMP files beside the
// program), empty objects, release, and the colour keys applied to objects
// as they are loaded or on request. Slots 0 to 3 belong to the screen's
// internal sprites; loaders hand out 4 to 511, so 0 doubles as failure.
#include <cstring>
#include <string>

#include "draw/krDraw.h"
#include "draw/objects_internal.h"
#include "platform/images/bmp.h"
#include "platform/os/window.h"
#include "platform/text/cp932_literal.h"
#include "system/krSystem.h"

krObjectRecord krObjects[krObjectCount];

namespace {

constexpr int kFirstLoaderSlot = 4;
constexpr std::size_t kMaxNameLength = 30;
constexpr int kLoadModeDriverMemory = 2;

krDraw::internal::LoadKey loadKey;

bool NameTooLong(const char* name) { return std::strlen(name) > kMaxNameLength; }

// The lowest slot from 4 whose name is empty, or 0 when none is.
int FindFreeSlot() {
    for (int slot = kFirstLoaderSlot; slot < krObjectCount; ++slot) {
        if (krObjects[slot].name[0] == '\0') return slot;
    }
    return 0;
}

// Marks a slot taken by a loader: name, from-pack flag 0, reload mode 2.
// The name may be the record's own (a reload of the same picture).
void TakeSlot(krObjectRecord& record, const char* name) {
    char copy[sizeof record.name] = {};
    std::strncpy(copy, name, sizeof copy - 1);
    std::memcpy(record.name, copy, sizeof copy);
    record.fromPack = 0;
    record.reloadMode = 2;
}

// Objects share the back screen's format (a 16-bit display may be 5-5-5).
plat::PixelFormat ObjectFormat() {
    return krScreen.back ? krScreen.back->format : plat::FormatForBits(krScreen.displayDepth);
}

bool InSystemMemory(int mode) { return mode != kLoadModeDriverMemory; }

// Gives a new object its key from the load colour-key state.
void ApplyLoadKey(krObjectRecord& record) {
    record.key = loadKey.corner ? -1 : static_cast<std::int32_t>(loadKey.color);
    krDraw::internal::ApplyColorKey(record.surface, record.key);
}

// A picture's name as the engine looks for it: in the program's folder.
std::string FolderName(const char* name) { return std::string(krSystem::GetBaseFolder(0)) + name; }

// Loads the picture named by the record into it (the file beside the
// program); the record keeps its name either way.
bool LoadIntoRecord(krObjectRecord& record, const char* name, int mode) {
    const std::string path = plat::ResolvePath(FolderName(name));
    plat::Surface* surface = plat::LoadBmpFile(path, ObjectFormat(), InSystemMemory(mode));
    if (!surface) return false;
    record.surface = surface;
    record.width = static_cast<std::uint16_t>(surface->width);
    record.height = static_cast<std::uint16_t>(surface->height);
    ApplyLoadKey(record);
    return true;
}

}  // namespace

namespace krDraw::internal {

krObjectRecord* ObjectAt(int slot) { return (slot >= 0 && slot < krObjectCount) ? &krObjects[slot] : nullptr; }

plat::Surface* SurfaceAt(int slot) {
    krObjectRecord* record = ObjectAt(slot);
    return record ? record->surface : nullptr;
}

void ClearObject(krObjectRecord& record) {
    plat::DestroySurface(record.surface);
    record = krObjectRecord{};
}

std::uint32_t ApplyColorKey(plat::Surface* surface, std::int32_t colorRef) {
    if (!surface) return 0;
    std::uint32_t key = 0xFFFFFFFFu;  // a lost surface cannot be read
    if (!plat::IsLost(surface)) {
        key = colorRef == -1 ? plat::GetPixel(*surface, 0, 0)
                             : plat::MapColorRef(surface->format, static_cast<std::uint32_t>(colorRef));
    }
    plat::SetColorKey(surface, key);
    return surface->colorKey;
}

bool CreateObjectIn(int slot, int width, int height, int mode) {
    krObjectRecord& record = krObjects[slot];
    TakeSlot(record, "*");
    record.width = static_cast<std::uint16_t>(width);
    record.height = static_cast<std::uint16_t>(height);
    record.surface = plat::CreateSurface(width, height, ObjectFormat(), InSystemMemory(mode));
    if (!record.surface) return krSystem::ReportError("krDraw::CreateObject", u8"スプライトを作成できません"_cp932);
    ApplyLoadKey(record);
    return true;
}

void ApplyLoadKey(krObjectRecord& record) { ::ApplyLoadKey(record); }

LoadKey CurrentLoadKey() { return loadKey; }

void SetLoadKey(const LoadKey& key) { loadKey = key; }

}  // namespace krDraw::internal

namespace krDraw {

int LoadObject(const char* name, int mode) {
    if (!name) name = "";
    if (NameTooLong(name)) return krSystem::ReportError("krDraw::LoadObject", u8"ファイル名またはリソース名が長すぎます"_cp932);
    const int slot = FindFreeSlot();
    if (slot == 0) return krSystem::ReportError("krDraw::LoadObject", u8"オブジェクト数が多過ぎます"_cp932);
    krObjectRecord& record = krObjects[slot];
    TakeSlot(record, name);
    if (!LoadIntoRecord(record, name, mode))
        return krSystem::ReportLoadError("krDraw::LoadObject", u8"BMPファイルを読み込めません"_cp932, FolderName(name).c_str());
    return slot;
}

int SwapObject(const char* name, int slot, int mode) {
    if (!name) name = "";
    if (NameTooLong(name)) return krSystem::ReportError("krDraw::SwapObject", u8"ファイル名またはリソース名が長すぎます"_cp932);
    krObjectRecord* record = internal::ObjectAt(slot);
    if (!record) return krSystem::ReportError("krDraw::SwapObject", u8"BMPファイルを読み込めません"_cp932);
    plat::DestroySurface(record->surface);
    record->surface = nullptr;
    TakeSlot(*record, name);
    if (!LoadIntoRecord(*record, name, mode))
        return krSystem::ReportLoadError("krDraw::SwapObject", u8"BMPファイルを読み込めません"_cp932, FolderName(name).c_str());
    return 1;
}

int CreateObject(int width, int height, int mode) {
    const int slot = FindFreeSlot();
    if (slot == 0) return krSystem::ReportError("krDraw::CreateObject", u8"オブジェクト数が多過ぎます"_cp932);
    return internal::CreateObjectIn(slot, width, height, mode) ? slot : 0;
}

void ReleaseObject(int slot) {
    krObjectRecord* record = internal::ObjectAt(slot);
    if (!record || !record->surface) return;
    plat::DestroySurface(record->surface);
    record->surface = nullptr;
    std::memset(record->name, 0, sizeof record->name);
    record->key = 0;
    record->width = 0;
    record->height = 0;
}

void SetColorKey(std::uint32_t colorRef) {
    loadKey.color = colorRef;
    loadKey.corner = false;
}

void SetCornerColorKey() { loadKey.corner = true; }

plat::HRESULT SetObjectColorKey(int slot, std::uint32_t colorRef) {
    krObjectRecord* record = internal::ObjectAt(slot);
    if (!record || !record->surface) return plat::DDERR_INVALIDPARAMS;
    record->key = static_cast<std::int32_t>(colorRef);
    internal::ApplyColorKey(record->surface, record->key);
    return plat::DD_OK;
}

plat::HRESULT SetObjectCornerColorKey(int slot) {
    krObjectRecord* record = internal::ObjectAt(slot);
    if (!record || !record->surface) return plat::DDERR_INVALIDPARAMS;
    record->key = -1;
    internal::ApplyColorKey(record->surface, -1);
    return plat::DD_OK;
}

plat::HRESULT CopyColorKey(int destination, int source) {
    plat::Surface* to = internal::SurfaceAt(destination);
    plat::Surface* from = internal::SurfaceAt(source);
    if (!to || !from) return plat::DDERR_INVALIDPARAMS;
    std::uint32_t key = 0;
    if (!plat::GetColorKey(from, &key)) return plat::DDERR_GENERIC;
    plat::SetColorKey(to, key);
    return plat::DD_OK;
}

}  // namespace krDraw
