// Rotation and texture mapping of an image object onto the back screen.
//
// The rotations turn the source rectangle about the centre of a
// destination box and step through the source with integer increments
// from the sine table (entries scaled by 360). RotateBlit and
// RotateMirrorBlit follow that stepping exactly, truncating u / 360 toward
// zero (the span kernel's kStepped360 map); the zooming members divide the same increments by the zoom into
// 1/65536-pixel fixed point (platform/pixels/effect_kernels.h) and turn about the
// box centre too. A source pixel of value 0 is transparent everywhere.
//
// Every member draws on 15-, 16-, 24- and 32-bit displays alike (the
// blended member blends components, 5 bits on 2-byte pixels, 8 bits on
// deeper ones). Boxes are cut to the clip rectangle and the back screen,
// and source rectangles to their surface, so no argument reads or writes
// outside a surface. A zoom that is not finite or smaller than 1/65536 in
// size, and a box side beyond 2^24, are refused with 0.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "draw/krDraw.h"
#include "draw/objects_internal.h"
#include "platform/pixels/effect_kernels.h"

namespace {

constexpr std::int64_t kMaxBoxSide = std::int64_t{1} << 24;
constexpr double kMinZoom = 1.0 / 65536.0;

// Box columns [colBegin, colEnd) and rows [rowBegin, rowEnd) that lie inside
// the clip rectangle and the back screen, box-relative.
struct BoxSpan {
    std::int64_t left = 0, top = 0, width = 0, height = 0;
    int colBegin = 0, colEnd = 0, rowBegin = 0, rowEnd = 0;
    bool Empty() const { return colBegin >= colEnd || rowBegin >= rowEnd; }
};

BoxSpan CutBox(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    BoxSpan box{left, top, right - left, bottom - top};
    const plat::Rect& clip = krScreen.clip;
    const std::int64_t clipLeft = std::max(clip.left, 0), clipTop = std::max(clip.top, 0);
    const std::int64_t clipRight = std::min(clip.right, krScreen.back->width);
    const std::int64_t clipBottom = std::min(clip.bottom, krScreen.back->height);
    const std::int64_t c0 = std::max<std::int64_t>(0, clipLeft - left), c1 = std::min(box.width, clipRight - left);
    const std::int64_t r0 = std::max<std::int64_t>(0, clipTop - top), r1 = std::min(box.height, clipBottom - top);
    if (c0 >= c1 || r0 >= r1) return box;  // empty
    box.colBegin = static_cast<int>(c0), box.colEnd = static_cast<int>(c1);
    box.rowBegin = static_cast<int>(r0), box.rowEnd = static_cast<int>(r1);
    return box;
}

// The source rectangle and the part of it that exists on its surface,
// rectangle-relative.
struct SourceRect {
    plat::Surface* surface = nullptr;
    int left = 0, top = 0;
    std::int64_t width = 0, height = 0;
    std::int64_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool Empty() const { return width <= 0 || height <= 0 || minX >= maxX || minY >= maxY; }
};

SourceRect CutSource(plat::Surface* surface, int left, int top, int right, int bottom) {
    SourceRect s{surface, left, top, std::int64_t{right} - left, std::int64_t{bottom} - top};
    s.minX = std::max<std::int64_t>(0, -std::int64_t{left});
    s.maxX = std::min<std::int64_t>(s.width, std::int64_t{surface->width} - left);
    s.minY = std::max<std::int64_t>(0, -std::int64_t{top});
    s.maxY = std::min<std::int64_t>(s.height, std::int64_t{surface->height} - top);
    return s;
}

// Locks the source and then the back screen for one drawing call.
class LockedPair {
public:
    LockedPair(plat::Surface* source, plat::Surface* back) : source_(source), back_(back) {
        std::uint8_t* bits = nullptr;
        int pitch = 0;
        if (plat::Lock(source_, &bits, &pitch) != plat::DD_OK) return;
        if (plat::Lock(back_, &bits, &pitch) != plat::DD_OK) {
            plat::Unlock(source_);
            return;
        }
        locked_ = true;
    }
    ~LockedPair() {
        if (!locked_) return;
        plat::Unlock(source_);
        plat::Unlock(back_);
    }
    bool Locked() const { return locked_; }

private:
    plat::Surface* source_;
    plat::Surface* back_;
    bool locked_ = false;
};

int NormalAngle(int angle) { return ((angle % 360) + 360) % 360; }

bool SameDepth(const plat::Surface* source) {
    return source && krScreen.back && source->format.bytesPerPixel == krScreen.back->format.bytesPerPixel;
}

// Cuts the source rectangle, locks both surfaces and runs the rotation
// kernel over the box; setMap(src, args) fills in the map from box
// positions to source coordinates.
template <class SetMap>
int RotateBox(const BoxSpan& box, int slot, int srcLeft, int srcTop, int srcRight, int srcBottom, bool mirror,
              plat::kernels::RotateOp op, int level, SetMap setMap) {
    if (box.Empty()) return 1;
    plat::Surface* source = krDraw::internal::SurfaceAt(slot);
    if (!SameDepth(source)) return 0;
    const SourceRect src = CutSource(source, srcLeft, srcTop, srcRight, srcBottom);
    if (src.Empty()) return 1;
    LockedPair lock(source, krScreen.back);
    if (!lock.Locked()) return 0;

    plat::kernels::RotateArgs a;
    a.dst = krScreen.back;
    a.boxLeft = static_cast<int>(box.left), a.boxTop = static_cast<int>(box.top);
    a.colBegin = box.colBegin, a.colEnd = box.colEnd, a.rowBegin = box.rowBegin, a.rowEnd = box.rowEnd;
    a.src = source;
    a.srcLeft = srcLeft, a.srcTop = srcTop;
    a.minX = src.minX, a.maxX = src.maxX, a.minY = src.minY, a.maxY = src.maxY;
    a.mirror = mirror;
    a.op = op;
    a.level = std::clamp(level, 0, 31);
    a.channels = plat::kernels::ChannelsOf(krScreen.back->format);
    setMap(src, a);
    plat::kernels::RotateAffine(a);
    return 1;
}

// The exact stepping of RotateBlit: u, v in 360ths of a pixel, divided with
// truncation toward zero, then moved by the centring offsets.
int RotateStepped(int left, int top, int right, int bottom, int angle, int slot, int srcLeft, int srcTop,
                  int srcRight, int srcBottom, bool mirror) {
    if (!krScreen.back) return 0;
    const BoxSpan box = CutBox(left, top, right, bottom);
    const std::int64_t sine = krScreen.sine[NormalAngle(angle)], cosine = krScreen.sine[NormalAngle(angle) + 90];
    return RotateBox(box, slot, srcLeft, srcTop, srcRight, srcBottom, mirror, plat::kernels::RotateOp::kCopy, 31,
                     [&](const SourceRect& src, plat::kernels::RotateArgs& a) {
                         const std::int64_t hw = box.width / 2, hh = box.height / 2;
                         a.step = plat::kernels::RotateStep::kStepped360;
                         a.offsetX = (box.width - src.width) / 2, a.offsetY = (box.height - src.height) / 2;
                         a.u0 = 360 * hw + hh * sine - hw * cosine, a.v0 = 360 * hh - hw * sine - hh * cosine;
                         a.uCol = cosine, a.vCol = sine, a.uRow = -sine, a.vRow = cosine;
                     });
}

// A map given as steps per column and row in 1/65536 pixels, turning about
// the box centre.
int RotateMapped(const BoxSpan& box, int slot, int srcLeft, int srcTop, int srcRight, int srcBottom, double uCol,
                 double vCol, double uRow, double vRow, bool mirror, plat::kernels::RotateOp op, int level) {
    return RotateBox(box, slot, srcLeft, srcTop, srcRight, srcBottom, mirror, op, level,
                     [&](const SourceRect& src, plat::kernels::RotateArgs& a) {
                         a.uCol = std::llround(uCol), a.vCol = std::llround(vCol);
                         a.uRow = std::llround(uRow), a.vRow = std::llround(vRow);
                         // The source point under the box centre: the source
                         // rectangle centred in the box, as RotateBlit centres it.
                         const std::int64_t hw = box.width / 2, hh = box.height / 2;
                         const std::int64_t centreX = hw - (box.width - src.width) / 2;
                         const std::int64_t centreY = hh - (box.height - src.height) / 2;
                         a.u0 = centreX * 65536 - hw * a.uCol - hh * a.uRow;
                         a.v0 = centreY * 65536 - hw * a.vCol - hh * a.vRow;
                     });
}

int RotateZoomed(int left, int top, int right, int bottom, int angle, float zoom, int slot, int srcLeft, int srcTop,
                 int srcRight, int srcBottom, bool mirror, plat::kernels::RotateOp op, int level) {
    if (!krScreen.back || !std::isfinite(zoom) || std::fabs(zoom) < kMinZoom) return 0;
    if (std::int64_t{right} - left > kMaxBoxSide || std::int64_t{bottom} - top > kMaxBoxSide) return 0;
    if (op == plat::kernels::RotateOp::kAlpha && level <= 0) return 1;
    const double scale = 65536.0 / (360.0 * zoom);
    const double sine = krScreen.sine[NormalAngle(angle)] * scale;
    const double cosine = krScreen.sine[NormalAngle(angle) + 90] * scale;
    return RotateMapped(CutBox(left, top, right, bottom), slot, srcLeft, srcTop, srcRight, srcBottom, cosine, sine,
                        -sine, cosine, mirror, op, level);
}

// ---- texture mapping ----

struct TextureMap {
    int width = 0, height = 0;
    std::vector<std::int32_t> x, y;
};
TextureMap textureMap;

constexpr int kMaxMapSide = 2048;
constexpr double kMapDepth = 4096.0;

double MapDistance(int kind, double dx, double dy) {
    const double ax = std::fabs(dx), ay = std::fabs(dy);
    switch (kind) {
        case 0: return std::sqrt(dx * dx + dy * dy);
        case 1: return std::max(ax, ay);
        case 2: return std::min(ax, ay);
        case 3: return (ax + ay) / 2;
        case 4: return ax;
        default: return ay;
    }
}

}  // namespace

namespace krDraw {

int RotateBlit(int left, int top, int right, int bottom, int angle, int slot, int srcLeft, int srcTop, int srcRight,
               int srcBottom) {
    return RotateStepped(left, top, right, bottom, angle, slot, srcLeft, srcTop, srcRight, srcBottom, false);
}

int RotateMirrorBlit(int left, int top, int right, int bottom, int angle, int slot, int srcLeft, int srcTop,
                     int srcRight, int srcBottom) {
    return RotateStepped(left, top, right, bottom, angle, slot, srcLeft, srcTop, srcRight, srcBottom, true);
}

int RotateZoomBlit(int left, int top, int right, int bottom, int angle, float zoom, int slot, int srcLeft, int srcTop,
                   int srcRight, int srcBottom) {
    return RotateZoomed(left, top, right, bottom, angle, zoom, slot, srcLeft, srcTop, srcRight, srcBottom, false,
                        plat::kernels::RotateOp::kCopy, 31);
}

int RotateZoomMirrorBlit(int left, int top, int right, int bottom, int angle, float zoom, int slot, int srcLeft,
                         int srcTop, int srcRight, int srcBottom) {
    return RotateZoomed(left, top, right, bottom, angle, zoom, slot, srcLeft, srcTop, srcRight, srcBottom, true,
                        plat::kernels::RotateOp::kCopy, 31);
}

int RotateZoomAlphaBlit(int left, int top, int right, int bottom, int angle, float zoom, int level, int slot,
                        int srcLeft, int srcTop, int srcRight, int srcBottom) {
    // The ends are exact: 31 copies whole pixels (a six-bit green keeps its
    // lowest bit), 0 leaves the back screen untouched.
    const auto op = level >= 31 ? plat::kernels::RotateOp::kCopy : plat::kernels::RotateOp::kAlpha;
    return RotateZoomed(left, top, right, bottom, angle, zoom, slot, srcLeft, srcTop, srcRight, srcBottom, false, op,
                        level);
}

int RotateScaleBlit(int x, int y, float angle, float scaleX, float scaleY, int slot, int srcLeft, int srcTop,
                    int srcRight, int srcBottom) {
    if (!krScreen.back || !std::isfinite(angle) || !std::isfinite(scaleX) || !std::isfinite(scaleY)) return 0;
    if (std::fabs(scaleX) < kMinZoom || std::fabs(scaleY) < kMinZoom) return 0;
    const double width = (static_cast<double>(srcRight) - srcLeft) * scaleX;
    const double height = (static_cast<double>(srcBottom) - srcTop) * scaleY;
    // A square box that holds the turned picture whatever the angle; a
    // picture scaled beyond any screen is cut to a box that still covers one.
    const double radius =
        std::min(std::ceil(std::sqrt(width * width + height * height) / 2.0) + 1.0, static_cast<double>(kMaxBoxSide / 2));
    const std::int64_t r = static_cast<std::int64_t>(radius);
    const double turn = angle * (3.14159265358979323846 / 180.0);
    const double cosine = std::cos(turn), sine = std::sin(turn);
    return RotateMapped(CutBox(x - r, y - r, x + r, y + r), slot, srcLeft, srcTop, srcRight, srcBottom,
                        cosine / scaleX * 65536.0, sine / scaleY * 65536.0, -sine / scaleX * 65536.0,
                        cosine / scaleY * 65536.0, false, plat::kernels::RotateOp::kCopy, 31);
}

int MakeTextureMap(int width, int height, int centerX, int centerY, int kind) {
    if (width < 1 || height < 1 || width > kMaxMapSide || height > kMaxMapSide || kind < 0 || kind > 5) return 0;
    const double cx = centerX == -1 ? width / 2 : centerX, cy = centerY == -1 ? height / 2 : centerY;
    TextureMap map;
    map.width = width, map.height = height;
    map.x.resize(static_cast<std::size_t>(width) * height);
    map.y.resize(map.x.size());
    constexpr double kTurn = 2.0 * 3.14159265358979323846;
    for (int j = 0; j < height; ++j) {
        for (int i = 0; i < width; ++i) {
            const double dx = i - cx, dy = j - cy;
            const double distance = MapDistance(kind, dx, dy);
            const std::size_t at = static_cast<std::size_t>(j) * width + i;
            map.x[at] = static_cast<std::int32_t>(std::floor(std::atan2(dy, dx) / kTurn * 256.0)) & 255;
            map.y[at] = static_cast<std::int32_t>(distance < 1.0 ? kMapDepth : kMapDepth / distance);
        }
    }
    textureMap = std::move(map);
    return 1;
}

int TextureMapBlit(int x, int y, int offsetX, int offsetY, int slot, int srcLeft, int srcTop, int srcRight,
                   int srcBottom) {
    if (!krScreen.back || textureMap.width == 0) return 0;
    plat::Surface* source = internal::SurfaceAt(slot);
    if (!SameDepth(source)) return 0;
    // The texture is the part of the rectangle that exists on its surface.
    const int texLeft = std::max(srcLeft, 0), texTop = std::max(srcTop, 0);
    const std::int64_t texWidth = std::min(srcRight, source->width) - std::int64_t{texLeft};
    const std::int64_t texHeight = std::min(srcBottom, source->height) - std::int64_t{texTop};
    if (texWidth <= 0 || texHeight <= 0) return 1;
    const BoxSpan box = CutBox(x, y, std::int64_t{x} + textureMap.width, std::int64_t{y} + textureMap.height);
    if (box.Empty()) return 1;
    LockedPair lock(source, krScreen.back);
    if (!lock.Locked()) return 0;
    for (int j = box.rowBegin; j < box.rowEnd; ++j) {
        for (int i = box.colBegin; i < box.colEnd; ++i) {
            const std::size_t at = static_cast<std::size_t>(j) * textureMap.width + i;
            std::int64_t tx = (std::int64_t{offsetX} + textureMap.x[at]) % texWidth;
            std::int64_t ty = (std::int64_t{offsetY} + textureMap.y[at]) % texHeight;
            if (tx < 0) tx += texWidth;
            if (ty < 0) ty += texHeight;
            const std::uint32_t p = plat::GetPixel(*source, static_cast<int>(texLeft + tx), static_cast<int>(texTop + ty));
            if (p != 0) plat::PutPixel(*krScreen.back, static_cast<int>(box.left + i), static_cast<int>(box.top + j), p);
        }
    }
    return 1;
}

}  // namespace krDraw
