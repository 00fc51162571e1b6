// Pixel kernels of the rotations and the screen-region filters. They take
// components, not formats: a Channels record says where the three
// components of a pixel sit and how many bits of each the rules work on
// (5 on 2-byte pixels, so 5-6-5 green loses its lowest bit exactly as the
// 16-bit component table does; 8 on 3- and 4-byte pixels). One rule thus
// serves 15-, 16-, 24- and 32-bit surfaces.
//
// Each rule has a plain per-pixel Reference* kernel; the fast ones are
// tested against it. Kernels take rectangles already cut to the surfaces:
// they never read or write outside the rows and columns they are given.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/pixels/surface.h"

namespace plat::kernels {

struct Channels {
    int bytesPerPixel = 2;
    int shift[3] = {11, 6, 0};  // red, green, blue: where each component's top `bits` bits start
    int bits = 5;
    std::uint32_t field[3] = {0xF800, 0x07E0, 0x001F};  // the whole field of each component
    std::uint32_t Max() const { return (1u << bits) - 1u; }
    std::uint32_t Get(std::uint32_t pixel, int c) const { return (pixel >> shift[c]) & Max(); }
    // A rule's result replaces a component's whole field: a 5-bit value put
    // into a six-bit field leaves its lowest bit 0.
    std::uint32_t Replace(std::uint32_t pixel, int c, std::uint32_t value) const {
        return (pixel & ~field[c]) | (value << shift[c]);
    }
    // The bits outside the three fields (the unused top of 15- and 32-bit pixels).
    std::uint32_t Spare() const { return ~(field[0] | field[1] | field[2]); }
    std::uint32_t Put(std::uint32_t r, std::uint32_t g, std::uint32_t b) const {
        return (r << shift[0]) | (g << shift[1]) | (b << shift[2]);
    }
};

Channels ChannelsOf(const PixelFormat& format);

inline std::uint32_t LoadPixel(const std::uint8_t* p, int bytesPerPixel) {
    switch (bytesPerPixel) {
        case 2: return static_cast<std::uint32_t>(p[0] | p[1] << 8);
        case 3: return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
        default:
            return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                   static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
}

inline void StorePixel(std::uint8_t* p, int bytesPerPixel, std::uint32_t v) {
    for (int b = 0; b < bytesPerPixel; ++b) p[b] = static_cast<std::uint8_t>(v >> (8 * b));
}

// ---- rotation through a fixed-point affine map ----
//
// Box pixel (i, j) takes its source coordinate from u = u0 + i * uCol +
// j * uRow and v = v0 + i * vCol + j * vRow. In kFixed16 steps u and v are
// in 1/65536 pixels: source x = floor(u / 65536), source y = floor(v /
// 65536). In kStepped360 steps (the integer stepping of the plain
// rotations) they are in 360ths: source x = u / 360 - offsetX and source y =
// v / 360 - offsetY, the divisions truncating toward zero. Both are counted
// from the source rectangle's corner (srcLeft, srcTop). With mirror each
// coordinate is replaced by its absolute value first. A pixel is drawn when
// the coordinate lies in [minX, maxX) x [minY, maxY) (the source rectangle
// cut to its surface) and the source pixel is not 0.
enum class RotateOp { kCopy, kAlpha };
enum class RotateStep { kFixed16, kStepped360 };

struct RotateArgs {
    Surface* dst = nullptr;
    int boxLeft = 0, boxTop = 0;  // surface position of box pixel (0, 0)
    int colBegin = 0, colEnd = 0, rowBegin = 0, rowEnd = 0;  // box columns and rows to draw, inside dst
    const Surface* src = nullptr;
    int srcLeft = 0, srcTop = 0;
    std::int64_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    std::int64_t u0 = 0, v0 = 0, uCol = 0, vCol = 0, uRow = 0, vRow = 0;
    RotateStep step = RotateStep::kFixed16;
    std::int64_t offsetX = 0, offsetY = 0;  // kStepped360 only
    bool mirror = false;
    RotateOp op = RotateOp::kCopy;
    int level = 31;  // kAlpha: out = (s * level + d * (31 - level)) / 31 per component
    Channels channels;
};

void RotateAffine(const RotateArgs& a);
void ReferenceRotateAffine(const RotateArgs& a);

// ---- four-neighbour smoothing ----
//
// Rows 1 .. height - 2 and columns 1 .. width - 2 of the region, in reading
// order: each flagged component (bit 0 red, 1 green, 2 blue) becomes
// (left + right + up + down) >> 2, where left and up are already smoothed.
struct RegionArgs {
    Surface* surface = nullptr;
    int x = 0, y = 0, width = 0, height = 0;  // inside the surface
    Channels channels;
};

void SmoothRegion(const RegionArgs& a, unsigned flags);
void ReferenceSmoothRegion(const RegionArgs& a, unsigned flags);

// ---- rising smoke, noise and the circular mosaic ----
//
// The smoke and the noise draw entries from a table of 10000 random values
// through one walk: position and counter persist between calls; after
// entry 9999 the position restarts at plat::Random() % 1000, called exactly
// when entry 9999 has been taken.
struct RandomWalk {
    const std::uint8_t* table = nullptr;  // 10000 entries
    int position = 0;
    int counter = 0;
};

// Rows 1 .. height - 2, columns 1 .. width - 2, in reading order: when the
// counter has reached the current entry, the pixel itself (counter back to
// 0, next entry), else the average (sum >> 2) of its four neighbours
// (counter + 1); the flagged components of that value replace those of the
// pixel one row up. Every read sees the region as it was before the call.
void SmokeRegion(const RegionArgs& a, RandomWalk& walk, unsigned flags);
void ReferenceSmokeRegion(const RegionArgs& a, RandomWalk& walk, unsigned flags);

// Every pixel in reading order takes one entry e: its flagged components
// move by (e - 1) * 2^shift (shift 0 .. bits), held between 0 and the
// largest component.
void NoiseRegion(const RegionArgs& a, RandomWalk& walk, int shift, unsigned flags);
void ReferenceNoiseRegion(const RegionArgs& a, RandomWalk& walk, int shift, unsigned flags);

// Cells of cellSize x cellSize pixels laid from the anchor (anchorX,
// anchorY), surface coordinates at or above and left of the region's
// corner, so that a region cut at the surface's edge keeps its grid. Each
// cell's part inside the region becomes the average of its components
// inside a disc (pixel centres within cellSize / 2 of the cell's centre,
// by the square root) and 0 outside it; the bits outside the three fields
// are kept.
struct MosaicArgs {
    RegionArgs region;
    std::int64_t anchorX = 0, anchorY = 0;
    int cellSize = 1;  // at least 1
};
void MosaicRegion(const MosaicArgs& a);
void ReferenceMosaicRegion(const MosaicArgs& a);

// ---- the block blur of an object's rectangle ----
//
// Every source pixel that is not transparent (no colour bit set) is
// replaced, at the same place in the destination, by the average of the
// block of min(block, width) x min(block, height) source pixels starting
// at it, moved up and left to stay inside the rectangle: sums of the top
// five bits of each component, divided by the block's pixel count
// (truncated), put back at the top of the field (a six-bit field's lowest
// bit 0, an eight-bit field's low bits repeating the top ones).
struct BlurArgs {
    const std::uint8_t* src = nullptr;
    std::ptrdiff_t srcPitch = 0;  // bytes
    std::uint8_t* dst = nullptr;
    std::ptrdiff_t dstPitch = 0;  // bytes
    int width = 0, height = 0;
    int block = 1;  // at least 1
    int bytesPerPixel = 2;
    int shift[3] = {11, 5, 0};  // red, green, blue: where each field starts
    int bits[3] = {5, 6, 5};    // each field's width: 5, 6 or 8
};
void BlurRect(const BlurArgs& a);
void ReferenceBlurRect(const BlurArgs& a);

}  // namespace plat::kernels
