// The screen: set-up of the display (back screen, the four internal
// sprites, the pixel-format record and the effect tables), the present step
// that shows the back screen in the window, the restore of lost surfaces,
// and the release at shut-down. Surfaces come from platform/pixels/surface.h; the
// front surface belongs to the platform's window.
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "draw/krDraw.h"
#include "draw/objects_internal.h"
#include "input/krJoystick.h"
#include "platform/os/window.h"
#include "platform/text/cp932_literal.h"
#include "platform/os/window_placement.h"
#include "sound/krSound.h"
#include "system/krSystem.h"
#include "platform/os/random.h"

krScreenRecord krScreen;

namespace {

constexpr int kInternalSprites = 4;
constexpr const char* kSpriteNames[kInternalSprites] = {u8"内部用１"_cp932, u8"内部用２"_cp932, u8"内部用３"_cp932,
                                                        u8"内部用４"_cp932};
constexpr const char* kSpriteFailures[kInternalSprites] = {
    u8"Bufferスプライトが生成できません"_cp932, u8"Screenスプライトが生成できません"_cp932,
    u8"Fontスプライトが生成できません"_cp932, u8"Fontバッファスプライトが生成できません"_cp932};

int Fail(const char* message) { return krSystem::ReportError("krDraw::Screen", message); }

bool DepthOffered(int bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// Full screen: the first preferred depth the display takes; the second and
// third are tried only when set. False when none is taken; the display
// depth is then the last one tried.
bool ChooseFullScreenDepth() {
    krScreen.displayDepth = krScreen.preferredDepth[0];
    if (DepthOffered(krScreen.displayDepth)) return true;
    for (int i = 1; i < 3; ++i) {
        if (krScreen.preferredDepth[i] == 0) return false;
        krScreen.displayDepth = krScreen.preferredDepth[i];
        if (DepthOffered(krScreen.displayDepth)) return true;
    }
    return false;
}

// Frees what an earlier set-up left in the table and the back screen, so
// that a second krDraw::Screen does not leak them.
void FreeEarlierSurfaces() {
    for (krObjectRecord& record : krObjects) {
        if (record.surface) krDraw::internal::ClearObject(record);
    }
    plat::DestroySurface(krScreen.back);
    krScreen.back = nullptr;
}

bool CreateInternalSprites(bool systemMemory) {
    const plat::PixelFormat format = krScreen.back->format;
    for (int slot = 0; slot < kInternalSprites; ++slot) {
        krObjectRecord& record = krObjects[slot];
        record = krObjectRecord{};
        record.surface = plat::CreateSurface(krScreen.screenWidth, krScreen.screenHeight, format,
                                             slot >= 2 || systemMemory);
        if (!record.surface) {
            Fail(kSpriteFailures[slot]);
            return false;
        }
        krDraw::internal::ApplyColorKey(record.surface, 0);
        std::strncpy(record.name, kSpriteNames[slot], sizeof record.name - 1);
        record.key = 0;
        record.width = static_cast<std::uint16_t>(krScreen.screenWidth);
        record.height = static_cast<std::uint16_t>(krScreen.screenHeight);
    }
    return true;
}

void FillPixelFormat(const plat::PixelFormat& f) {
    krPixelFormat& p = krScreen.pixelFormat;
    p = krPixelFormat{};
    const std::uint32_t masks[3] = {f.redMask, f.greenMask, f.blueMask};
    std::uint32_t fields[3];
    int shifts[3];
    for (int c = 0; c < 3; ++c) {
        shifts[c] = std::countr_zero(masks[c]);
        fields[c] = masks[c] >> shifts[c];
        p.halfMask |= (fields[c] >> 1) << shifts[c];
        p.white |= fields[c] << shifts[c];
    }
    p.redMask = masks[0], p.greenMask = masks[1], p.blueMask = masks[2];
    p.redField = fields[0], p.greenField = fields[1], p.blueField = fields[2];
    p.redShift = shifts[0], p.greenShift = shifts[1], p.blueShift = shifts[2];
    // A 5-bit value fills the top five bits of a six-bit field.
    p.red5Shift = shifts[0] + (fields[0] == 0x3F ? 1 : 0);
    p.green5Shift = shifts[1] + (fields[1] == 0x3F ? 1 : 0);
    p.blue5Shift = shifts[2] + (fields[2] == 0x3F ? 1 : 0);
    p.doubleHalfMask = (p.halfMask << 16) | p.halfMask;
}

void BuildSineTable() {
    constexpr double kPi = 3.14159265358979323846;
    for (int i = 0; i < 360; ++i) {
        krScreen.sine[i] = static_cast<std::int32_t>(std::sin(2.0 * kPi * i / 360.0) * 360.0);
    }
    for (int i = 360; i < 450; ++i) krScreen.sine[i] = krScreen.sine[i - 360];
}

// Tables of the 16-bit effect blits, in the order they are built.
void BuildComponentTable() {
    const krPixelFormat& p = krScreen.pixelFormat;
    krScreen.component.assign(65536 * 3, 0);
    for (std::uint32_t r = 0; r <= p.redField; ++r) {
        for (std::uint32_t g = 0; g <= p.greenField; ++g) {
            for (std::uint32_t b = 0; b <= p.blueField; ++b) {
                const std::uint32_t pixel = ((r << p.redShift) + (g << p.greenShift) + b) & 0xFFFF;
                std::uint8_t* entry = &krScreen.component[pixel * 3];
                entry[0] = static_cast<std::uint8_t>(p.redField == 0x3F ? r >> 1 : r);
                entry[1] = static_cast<std::uint8_t>(p.greenField == 0x3F ? g >> 1 : g);
                entry[2] = static_cast<std::uint8_t>(p.blueField == 0x3F ? b >> 1 : b);
            }
        }
    }
}

void BuildBlendTables() {
    const krPixelFormat& p = krScreen.pixelFormat;
    const int shift5[3] = {p.red5Shift, p.green5Shift, p.blue5Shift};
    krScreen.crossFade.assign(3 * 32 * 32 * 32, 0);
    krScreen.fadeAdd.assign(3 * 32 * 32 * 32, 0);
    krScreen.subtract.assign(3 * 32 * 32, 0);
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 32; ++i) {
            for (int j = 0; j < 32; ++j) {
                for (int k = 0; k < 32; ++k) {
                    const int index = ((c * 32 + i) * 32 + j) * 32 + k;
                    const int faded = std::max(0, j - i);
                    krScreen.crossFade[index] =
                        static_cast<std::uint16_t>((faded + std::max(0, k - (31 - i))) << shift5[c]);
                    krScreen.fadeAdd[index] = static_cast<std::uint16_t>(std::min(31, faded + k) << shift5[c]);
                }
            }
        }
        for (int j = 0; j < 32; ++j) {
            for (int k = 0; k < 32; ++k) {
                krScreen.subtract[(c * 32 + j) * 32 + k] = static_cast<std::uint16_t>(std::max(0, j - k) << shift5[c]);
            }
        }
    }
}

void BuildThirdAndRandomTables() {
    krScreen.third.resize(94);
    for (int s = 0; s < 94; ++s) krScreen.third[s] = static_cast<std::uint16_t>(s / 3);
    krScreen.randomTable.resize(10000);
    for (std::uint8_t& value : krScreen.randomTable) value = static_cast<std::uint8_t>(plat::Random() % 3);
}

void BuildTables() {
    BuildSineTable();
    krScreen.component.clear();
    krScreen.crossFade.clear();
    krScreen.fadeAdd.clear();
    krScreen.subtract.clear();
    krScreen.third.clear();
    krScreen.randomTable.clear();
    // The blends are made for 16-bit pixels, 5-6-5 or 5-5-5; on a real
    // display this asks the desktop again after the mode change, which is
    // the display depth.
    if (krScreen.displayDepth != 16) return;
    BuildComponentTable();
    BuildBlendTables();
    BuildThirdAndRandomTables();
}

void ClearLoaderSlots() {
    for (int slot = 4; slot < krObjectCount; ++slot) krObjects[slot] = krObjectRecord{};
}

// The screen is shown in the window's client area centred at the largest
// whole scale that fits (shrunk with its aspect kept when it is larger than
// the client area); a screen of the client's size fills it.
void SetPresentationRects() {
    const int w = krScreen.screenWidth, h = krScreen.screenHeight;
    krScreen.presentSource = plat::Rect{0, 0, w, h};
    plat::Rect place{0, 0, w, h};
    if (krScreen.front != nullptr) place = plat::ScreenInArea(krScreen.front->width, krScreen.front->height, w, h);
    const int left = krSystemState.clientLeft, top = krSystemState.clientTop;
    krScreen.presentDestination = plat::Rect{left + place.left, top + place.top, left + place.right, top + place.bottom};
}

void StartEngineServices() {
    krSound::Init();  // no device: sound stays off, the game runs on
    krSound::ClearObjects();
    krSound::InitMidi();
    krSystem::ResetTimersAndKeys();
    krDraw::InitFont();
    krJoystick::Init();
    if (krSystemState.keepCursorClipped == 1) krSystem::ConfineCursorToScreen();
}

void RestoreIfLost(plat::Surface* surface) {
    if (plat::IsLost(surface)) plat::Restore(surface);
}

// Restores the loaded objects and reloads their pictures from their files
// or the pack, each with the key it had. The caller's load key is kept.
void ReloadObjects() {
    const krDraw::internal::LoadKey callerKey = krDraw::internal::CurrentLoadKey();
    for (int slot = 4; slot < krObjectCount; ++slot) {
        krObjectRecord& record = krObjects[slot];
        if (record.name[0] == '\0' || !plat::IsLost(record.surface)) continue;
        plat::Restore(record.surface);
        // Objects made by krDraw::CreateObject have no source to reload.
        if (std::strcmp(record.name, "*") == 0) continue;
        krDraw::internal::SetLoadKey({static_cast<std::uint32_t>(record.key), record.key == -1});
        if (record.fromPack) {
            char name[sizeof record.name];
            std::memcpy(name, record.name, sizeof name);
            krDraw::SwapPack(name, slot, record.reloadMode);
        } else {
            krDraw::SwapObject(record.name, slot, record.reloadMode);
        }
    }
    krDraw::internal::SetLoadKey(callerKey);
}

}  // namespace

namespace krDraw {

int Screen(int width, int height, int type) {
    FreeEarlierSurfaces();
    krScreen.deviceCreated = false;
    krScreen.front = nullptr;
    krScreen.clipper = false;
    krSystemState.errorRaised = 0;
    if (width == -1) {
        width = krSystemState.defaultWidth;
        height = krSystemState.defaultHeight;
    }
    krScreen.screenWidth = width;
    krScreen.screenHeight = height;
    krScreen.clip = plat::Rect{0, 0, width, height};

    // There is one display device: no accelerator is taken.
    krScreen.accelerator = false;
    krScreen.deviceCreated = true;
    bool systemMemory = !(type == 1 || type == 3);

    const bool fullScreen = krSystemState.fullScreen != 0;
    if (fullScreen && (!plat::IsWindow(krSystemState.mainWindow) || !plat::SetFullScreen(true)))
        return Fail(u8"フルスクリーン化できません"_cp932);
    plat::PixelFormat format = plat::DesktopFormat();
    if (fullScreen) {
        if (!ChooseFullScreenDepth()) return Fail(u8"解像度が変更できません"_cp932);
        format = plat::FormatForBits(krScreen.displayDepth);
        // A 5-5-5 mode reports itself as a 16-bit one.
        if (krScreen.displayDepth == 15) krScreen.displayDepth = 16;
    } else {
        krScreen.displayDepth = plat::DesktopBits();
    }

    krScreen.front = plat::FrontSurface();
    if (!krScreen.front && plat::IsWindow(krSystemState.mainWindow)) return Fail(u8"表画面が生成できません"_cp932);
    krScreen.back = plat::CreateSurface(width, height, format, systemMemory);
    if (!krScreen.back) return Fail(u8"裏画面が生成できません"_cp932);
    krScreen.clipper = !fullScreen;

    if (type == 3) systemMemory = true;
    if (!CreateInternalSprites(systemMemory)) return 0;

    // Scaled copies are done by the surface layer itself.
    krScreen.stretch = true;
    FillPixelFormat(krScreen.back->format);
    BuildTables();
    ClearLoaderSlots();
    krScreen.backgroundBand = 0;
    krScreen.backgroundTile = 0;
    SetPresentationRects();
    StartEngineServices();
    return 1;
}

void Present() {
    PresentEffects();
    if (krScreen.waitVerticalBlank) plat::WaitForVerticalBlank();
    if (!krScreen.front || !krScreen.back) return;
    // The destination is kept in desktop coordinates; the front surface is
    // the window's client area.
    plat::Rect destination = krScreen.presentDestination;
    destination.left -= krSystemState.clientLeft;
    destination.right -= krSystemState.clientLeft;
    destination.top -= krSystemState.clientTop;
    destination.bottom -= krSystemState.clientTop;
    const plat::HRESULT result =
        plat::BltStretch(krScreen.front, destination, krScreen.back, krScreen.presentSource, false);
    if (result == plat::DDERR_SURFACELOST) {
        Restore();
        return;
    }
    plat::PresentFront();
}

void Restore() {
    if (krScreen.front) plat::Restore(krScreen.front);
    RestoreIfLost(krScreen.back);
    for (int slot = 0; slot < 4; ++slot) RestoreIfLost(krObjects[slot].surface);
    ReloadObjects();
}

void Release() {
    if (krScreen.deviceCreated) {
        for (krObjectRecord& record : krObjects) {
            if (record.surface) internal::ClearObject(record);
        }
        krScreen.clipper = false;
        krScreen.front = nullptr;  // the window's own surface
        plat::DestroySurface(krScreen.back);
        krScreen.back = nullptr;
        if (krSystemState.fullScreen == 1) plat::SetFullScreen(false);
        krScreen.deviceCreated = false;
    }
    if (krSystemState.fullScreen == 1 || krSystemState.popupWindow == 1) {
        plat::MinimizeWindow(krSystemState.mainWindow);
    }
}

void SetDisplayDepth(int first, int second, int third) {
    krScreen.preferredDepth[0] = first;
    krScreen.preferredDepth[1] = second;
    krScreen.preferredDepth[2] = third;
}

void SetVSync(int on) { krScreen.waitVerticalBlank = on != 0; }

}  // namespace krDraw
