// Blits and fills: the four clipped copies of an object's rectangle onto the
// back screen or another object, the capture of a back-screen rectangle,
// and the fills of the back screen and of objects. A copy that meets a lost
// surface restores the display (the next frame draws again).
#include <algorithm>
#include <cstdint>

#include "draw/krDraw.h"
#include "draw/objects_internal.h"

namespace {

// Whether a copy of the source box (l, t, r, b) to (x, y) stays inside the
// destination once the box is cut to its picture. A copy or fill whose
// destination reaches outside its surface is refused whole, as the display
// refuses it; only the source is cut to its picture.
bool DestinationInside(const plat::Surface& destination, std::int64_t x, std::int64_t y, const plat::Surface& source,
                       std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b) {
    if (l < 0) x -= l, l = 0;
    if (t < 0) y -= t, t = 0;
    r = std::min<std::int64_t>(r, source.width);
    b = std::min<std::int64_t>(b, source.height);
    if (r <= l || b <= t) return true;  // nothing to copy
    return x >= 0 && y >= 0 && x + (r - l) <= destination.width && y + (b - t) <= destination.height;
}

bool RectInside(const plat::Surface& surface, const plat::Rect& rect) {
    return rect.left >= 0 && rect.top >= 0 && rect.right <= surface.width && rect.bottom <= surface.height;
}

// Clips a copy of source rectangle (l, t, r, b) to (x, y) against the clip
// rectangle: the right and bottom edges first, then the left and top. The
// copy is made unless the rectangle ended inverted; a zero-sized one is
// passed on and draws nothing.
void ClippedCopy(plat::Surface* destination, int x, int y, int source, int l, int t, int r, int b, bool keyed) {
    plat::Surface* from = krDraw::internal::SurfaceAt(source);
    if (!destination || !from) return;
    const plat::Rect& clip = krScreen.clip;
    std::int64_t dx = x, dy = y, left = l, top = t, right = r, bottom = b;
    if (dx + (right - left) > clip.right) right = left + clip.right - dx;
    if (dy + (bottom - top) > clip.bottom) bottom = top + clip.bottom - dy;
    if (dx < clip.left) {
        left += clip.left - dx;
        dx = clip.left;
    }
    if (dy < clip.top) {
        top += clip.top - dy;
        dy = clip.top;
    }
    if (right < left || bottom < top) return;
    // Extreme arguments can push the rectangle past 32 bits: a start that
    // far right or down lies beyond any picture.
    if (left > INT32_MAX || top > INT32_MAX) return;
    right = std::min<std::int64_t>(right, INT32_MAX);
    bottom = std::min<std::int64_t>(bottom, INT32_MAX);
    const plat::Rect rect{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                          static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
    if (!DestinationInside(*destination, dx, dy, *from, rect.left, rect.top, rect.right, rect.bottom)) return;
    const plat::HRESULT result =
        plat::BltFast(destination, static_cast<int>(dx), static_cast<int>(dy), from, rect, keyed);
    if (result == plat::DDERR_SURFACELOST) krDraw::Restore();
}

plat::HRESULT FillBack(int left, int top, int right, int bottom, std::uint32_t value) {
    const plat::Rect rect{left, top, right, bottom};
    if (krScreen.back && !plat::IsLost(krScreen.back) && !RectInside(*krScreen.back, rect)) {
        return plat::DDERR_INVALIDRECT;
    }
    return plat::FillRect(krScreen.back, &rect, value);
}

}  // namespace

namespace krDraw {

void Blit(int x, int y, int source, int left, int top, int right, int bottom) {
    ClippedCopy(krScreen.back, x, y, source, left, top, right, bottom, true);
}

void BlitOpaque(int x, int y, int source, int left, int top, int right, int bottom) {
    ClippedCopy(krScreen.back, x, y, source, left, top, right, bottom, false);
}

void BlitObject(int destination, int x, int y, int source, int left, int top, int right, int bottom) {
    ClippedCopy(internal::SurfaceAt(destination), x, y, source, left, top, right, bottom, true);
}

void BlitObjectOpaque(int destination, int x, int y, int source, int left, int top, int right, int bottom) {
    ClippedCopy(internal::SurfaceAt(destination), x, y, source, left, top, right, bottom, false);
}

void CaptureScreen(int slot, int left, int top, int right, int bottom) {
    plat::Surface* object = internal::SurfaceAt(slot);
    if (!object || !krScreen.back) return;
    if (!DestinationInside(*object, 0, 0, *krScreen.back, left, top, right, bottom)) return;
    const plat::HRESULT result = plat::BltFast(object, 0, 0, krScreen.back, plat::Rect{left, top, right, bottom}, false);
    if (result == plat::DDERR_SURFACELOST) Restore();
}

plat::HRESULT ClearScreen() { return FillBack(0, 0, krScreen.screenWidth, krScreen.screenHeight, 0); }

plat::HRESULT ClearObject(int slot) {
    const krObjectRecord* record = internal::ObjectAt(slot);
    if (!record) return plat::DDERR_INVALIDPARAMS;
    const plat::Rect rect{0, 0, record->width, record->height};
    return plat::FillRect(record->surface, &rect, 0);
}

plat::HRESULT ClearRect(int left, int top, int right, int bottom) { return FillBack(left, top, right, bottom, 0); }

plat::HRESULT FrameRect(int left, int top, int right, int bottom) {
    FillBack(left, top, right, top + 1, 0);
    FillBack(left, bottom - 1, right, bottom, 0);
    FillBack(left, top, left + 1, bottom, 0);
    return FillBack(right - 1, top, right, bottom, 0);
}

plat::HRESULT WhiteScreen() {
    return FillBack(0, 0, krScreen.screenWidth, krScreen.screenHeight, krScreen.pixelFormat.white);
}

plat::HRESULT WhiteRect(int left, int top, int right, int bottom) {
    return FillBack(left, top, right, bottom, krScreen.pixelFormat.white);
}

std::uint32_t PixelOf(std::uint32_t colour) {
    return krScreen.back ? plat::MapColorRef(krScreen.back->format, colour) : 0;
}

plat::HRESULT FillRect(int left, int top, int right, int bottom, std::uint32_t value) {
    return FillBack(left, top, right, bottom, value & 0xFFFFu);
}

int HalfFillRect(int left, int top, int right, int bottom, std::uint32_t value) {
    plat::Surface* back = krScreen.back;
    if (!back) return 0;
    const plat::Rect& clip = krScreen.clip;
    right = std::min({right, clip.right, back->width});
    bottom = std::min({bottom, clip.bottom, back->height});
    left = std::max({left, clip.left, 0});
    top = std::max({top, clip.top, 0});
    if (right < left || bottom < top) return 1;

    std::uint8_t* bits = nullptr;
    int pitch = 0;
    if (plat::Lock(back, &bits, &pitch) != plat::DD_OK) return 0;
    // 50 % of the colour plus 50 % of each pixel, each half truncated.
    const std::uint32_t half = krScreen.pixelFormat.halfMask;
    const std::uint32_t pixelMask = back->format.bytesPerPixel == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    const std::uint32_t add = ((value & pixelMask) >> 1) & half;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            plat::PutPixel(*back, x, y, ((plat::GetPixel(*back, x, y) >> 1) & half) + add);
        }
    }
    plat::Unlock(back);
    return 1;
}

}  // namespace krDraw
