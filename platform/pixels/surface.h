// Pixel-buffer surfaces: the display layer's off-screen and front buffers.
//
// A surface is a block of rows (pitch in bytes) in one of four formats:
// 15-bit 5-5-5 and 16-bit 5-6-5 (two bytes), 24-bit packed B,G,R bytes, and
// 32-bit X8R8G8B8. Copies, scaled copies and fills clip every rectangle to
// both surfaces, so no caller can make them touch memory outside a buffer.
// Every live surface is registered, so a backend (or a test) can mark all
// of them lost; a lost surface refuses copies with DDERR_SURFACELOST until
// it is restored.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/os/types.h"

namespace plat {

struct PixelFormat {
    int bits = 16;           // 15, 16, 24 or 32
    int bytesPerPixel = 2;   // 2, 2, 3 or 4
    std::uint32_t redMask = 0xF800, greenMask = 0x07E0, blueMask = 0x001F;
};

// The format of a display of the given depth (15, 16, 24 or 32; anything
// else gives 16-bit 5-6-5).
PixelFormat FormatForBits(int bits);

// Converts 8-bit components to a pixel by keeping the top bits of each.
std::uint32_t MapRGB(const PixelFormat& fmt, std::uint8_t r, std::uint8_t g, std::uint8_t b);
// Converts a 0x00BBGGRR colour to a pixel of the format.
std::uint32_t MapColorRef(const PixelFormat& fmt, std::uint32_t colorRef);
// Expands a pixel to 8-bit components, each component's bits moved to the
// top of the byte with the low bits zero (a 5-bit 31 reads as 248).
void UnmapRGB(const PixelFormat& fmt, std::uint32_t pixel, std::uint8_t& r, std::uint8_t& g,
              std::uint8_t& b);

constexpr int kMaxSurfaceSide = 16384;

struct Surface {
    int width = 0;
    int height = 0;
    int pitch = 0;  // bytes per row, a multiple of 16
    PixelFormat format;
    std::uint8_t* pixels = nullptr;  // owned; aligned to a cache line
    bool hasColorKey = false;
    std::uint32_t colorKey = 0;  // source colour key (a pixel value)
    bool lost = false;
    bool systemMemory = false;  // where the caller asked it to live; informational
    int lockCount = 0;
    // Takes a new program-wide value whenever the pixels may change: at
    // creation, on every copy or fill into the surface, span or pixel
    // written, lock, unlock and restore. Code that writes through the pixel
    // pointer does so between Lock and Unlock. A caller that remembers the
    // value can tell that nothing else wrote since. Surfaces belong to the
    // main thread, and so does the counter.
    std::uint64_t contentStamp = 0;

    std::uint8_t* Row(int y) { return pixels + static_cast<std::ptrdiff_t>(y) * pitch; }
    const std::uint8_t* Row(int y) const { return pixels + static_cast<std::ptrdiff_t>(y) * pitch; }
};

// Creates a zero-filled surface; nullptr when a side is not in 1..16384 or
// memory runs out.
Surface* CreateSurface(int width, int height, const PixelFormat& fmt, bool systemMemory = false);
void DestroySurface(Surface* s);

// Gives the surface a new content stamp (see Surface::contentStamp).
void MarkWritten(Surface& s);

// Reads and writes one pixel (no bounds check: callers stay inside).
std::uint32_t GetPixel(const Surface& s, int x, int y);
void PutPixel(Surface& s, int x, int y, std::uint32_t value);

// Copies src's rectangle to dst at (x, y). The rectangle is first clipped to
// src, then the destination to dst. With keyed, source pixels equal to
// src's colour key (when it has one) are skipped. Formats must match.
HRESULT BltFast(Surface* dst, int x, int y, const Surface* src, const Rect& srcRect, bool keyed);
// Scaled copy (nearest neighbour) of srcRect onto dstRect, clipped to dst.
// The formats may differ (a full-screen back screen shown on a desktop of
// another depth): pixels are then converted keeping each component's top bits.
HRESULT BltStretch(Surface* dst, const Rect& dstRect, const Surface* src, const Rect& srcRect, bool keyed);
// Fills a rectangle (nullptr: the whole surface), clipped to the surface.
HRESULT FillRect(Surface* dst, const Rect* rect, std::uint32_t value);

HRESULT Lock(Surface* s, std::uint8_t** bits, int* pitch);
HRESULT Unlock(Surface* s);

void SetColorKey(Surface* s, std::uint32_t key);
bool GetColorKey(const Surface* s, std::uint32_t* key);

bool IsLost(const Surface* s);
// Brings a lost surface back; its contents are then undefined (zeroed here).
HRESULT Restore(Surface* s);
// Marks every live surface lost (the display was taken away).
void MarkAllSurfacesLost();
std::size_t LiveSurfaceCount();

}  // namespace plat
