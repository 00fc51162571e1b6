// Helpers of the image-object table shared by the graphics modules (screen
// set-up, objects, blits): range-checked slot access, record reset, the
// colour-key derivation and the module-wide load colour-key state.
#pragma once
#include <cstdint>

#include "draw/krDraw.h"

namespace krDraw::internal {

// The record of a slot, or nullptr for a number outside 0..511.
krObjectRecord* ObjectAt(int slot);
// The slot's surface, or nullptr for a bad number or an empty slot.
plat::Surface* SurfaceAt(int slot);
// Frees the slot's surface (if any) and clears the record: no surface,
// empty name, from-pack flag 0, reload mode 2, key 0, size 0.
void ClearObject(krObjectRecord& record);

// The pixel value a GDI colour 0x00BBGGRR has on the surface, or with -1
// the surface's top-left pixel; the value is set as its source colour key.
std::uint32_t ApplyColorKey(plat::Surface* surface, std::int32_t colorRef);

// Makes an empty object of the given size in a slot whose surface is
// already gone: named "*", keyed by the load colour key. False after
// "スプライトを作成できません" was reported.
bool CreateObjectIn(int slot, int width, int height, int mode);
// Gives an object its key from the load colour-key state and records it.
void ApplyLoadKey(krObjectRecord& record);

// The load colour-key state that krDraw::SetColorKey and
// krDraw::SetCornerColorKey change.
struct LoadKey {
    std::uint32_t color = 0;
    bool corner = false;
};
LoadKey CurrentLoadKey();
void SetLoadKey(const LoadKey& key);

}  // namespace krDraw::internal
