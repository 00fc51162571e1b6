// Pixel-buffer surfaces: creation and the registry of live surfaces, pixel
// formats and colour conversion, locks, source colour keys, the lost state,
// and the clipped copies, scaled copies and fills. The per-pixel work of
// copies and fills is done by the kernels of platform/pixels/blit_kernels.cpp.
#include "platform/pixels/surface.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

#include "platform/pixels/blit_kernels.h"

namespace plat {
namespace {

std::unordered_set<Surface*>& Registry() {
    static std::unordered_set<Surface*> live;
    return live;
}

// Pixel memory is calloc'ed (large blocks come zeroed from the system
// without touching every page) and aligned by hand to a cache line, so
// that aligned vectors never straddle two lines; the block's own address
// is kept just below the aligned pixels.
constexpr std::size_t kPixelAlign = 64;

std::uint8_t* AllocatePixels(std::size_t bytes) {
    const std::size_t total = bytes + kPixelAlign + sizeof(void*);
    void* block = std::calloc(total, 1);
    if (!block) return nullptr;
    std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block) + sizeof(void*);
    start = (start + kPixelAlign - 1) & ~static_cast<std::uintptr_t>(kPixelAlign - 1);
    auto* pixels = reinterpret_cast<std::uint8_t*>(start);
    std::memcpy(pixels - sizeof(void*), &block, sizeof(void*));
    return pixels;
}

void FreePixels(std::uint8_t* pixels) {
    if (!pixels) return;
    void* block = nullptr;
    std::memcpy(&block, pixels - sizeof(void*), sizeof(void*));
    std::free(block);
}

struct Channel {
    int shift = 0;
    int width = 0;
};

Channel ChannelOf(std::uint32_t mask) {
    if (mask == 0) return {};
    const int shift = std::countr_zero(mask);
    return {shift, std::countr_one(mask >> shift)};  // masks are contiguous runs of bits
}

std::uint32_t PackComponent(std::uint32_t mask, std::uint8_t value8) {
    const Channel c = ChannelOf(mask);
    if (c.width == 0) return 0;
    const std::uint32_t top = c.width >= 8 ? static_cast<std::uint32_t>(value8) << (c.width - 8)
                                            : static_cast<std::uint32_t>(value8) >> (8 - c.width);
    return (top << c.shift) & mask;
}

std::uint8_t UnpackComponent(std::uint32_t mask, std::uint32_t pixel) {
    const Channel c = ChannelOf(mask);
    if (c.width == 0) return 0;
    const std::uint32_t v = (pixel & mask) >> c.shift;
    return static_cast<std::uint8_t>(c.width >= 8 ? v >> (c.width - 8) : v << (8 - c.width));
}

std::uint32_t ValueMask(const PixelFormat& fmt) {
    return fmt.bytesPerPixel >= 4 ? 0xFFFFFFFFu : (1u << (8 * fmt.bytesPerPixel)) - 1u;
}

bool SameFormat(const PixelFormat& a, const PixelFormat& b) {
    return a.bytesPerPixel == b.bytesPerPixel && a.redMask == b.redMask && a.greenMask == b.greenMask &&
           a.blueMask == b.blueMask;
}

// A rectangle in 64-bit arithmetic, so that clipping extreme inputs cannot
// overflow.
struct Box {
    std::int64_t left, top, right, bottom;
    std::int64_t Width() const { return right - left; }
    std::int64_t Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
};

Box BoxOf(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

bool Inverted(const Rect& r) { return r.right < r.left || r.bottom < r.top; }

// Clips a copy of src box s to (dx, dy) on dst: first s to the source
// surface (moving the destination point along), then the destination to
// the destination surface (moving the source rectangle along).
void ClipCopy(const Surface& dst, std::int64_t& dx, std::int64_t& dy, const Surface& src, Box& s) {
    if (s.left < 0) { dx -= s.left; s.left = 0; }
    if (s.top < 0) { dy -= s.top; s.top = 0; }
    s.right = std::min<std::int64_t>(s.right, src.width);
    s.bottom = std::min<std::int64_t>(s.bottom, src.height);
    if (dx < 0) { s.left -= dx; dx = 0; }
    if (dy < 0) { s.top -= dy; dy = 0; }
    s.right = std::min(s.right, s.left + (dst.width - dx));
    s.bottom = std::min(s.bottom, s.top + (dst.height - dy));
}

bool Overlaps(std::int64_t dx, std::int64_t dy, const Box& s) {
    return dx < s.right && s.left < dx + s.Width() && dy < s.bottom && s.top < dy + s.Height();
}

// Copies a clipped, non-empty rectangle; rectangles of one surface that
// overlap go through a temporary copy of the source.
void CopyClipped(Surface& dst, std::int64_t dx, std::int64_t dy, const Surface& src, const Box& s, bool keyed) {
    const int bpp = dst.format.bytesPerPixel;
    kernels::CopyArgs a;
    a.dst = dst.Row(static_cast<int>(dy)) + dx * bpp;
    a.dstPitch = dst.pitch;
    a.src = src.Row(static_cast<int>(s.top)) + s.left * bpp;
    a.srcPitch = src.pitch;
    a.width = static_cast<int>(s.Width());
    a.rows = static_cast<int>(s.Height());

    std::vector<std::uint8_t> temp;
    if (&dst == &src && Overlaps(dx, dy, s)) {
        const std::size_t rowBytes = static_cast<std::size_t>(a.width) * bpp;
        temp.resize(rowBytes * a.rows);
        kernels::CopyArgs toTemp{temp.data(), static_cast<std::ptrdiff_t>(rowBytes), a.src, a.srcPitch, a.width,
                                 a.rows};
        kernels::CopyRect(toTemp, bpp);
        a.src = temp.data();
        a.srcPitch = static_cast<std::ptrdiff_t>(rowBytes);
    }
    if (keyed && src.hasColorKey) {
        kernels::KeyedCopy(a, bpp, src.colorKey);
    } else {
        kernels::CopyRect(a, bpp);
    }
}

// Nearest-neighbour source coordinate of each destination coordinate in
// [from, to) of a scaled copy; coordinates whose source falls outside
// [0, limit) are left out (first is the first destination coordinate kept).
std::vector<int> ScaleMap(std::int64_t dstStart, std::int64_t dstLength, std::int64_t srcStart,
                          std::int64_t srcLength, std::int64_t from, std::int64_t to, std::int64_t limit,
                          std::int64_t& first) {
    std::vector<int> map;
    first = to;
    for (std::int64_t d = from; d < to; ++d) {
        // Both factors may approach 2^32: the product needs more than 64 bits.
        const auto offset = static_cast<__int128>(d - dstStart) * srcLength / dstLength;
        const std::int64_t s = srcStart + static_cast<std::int64_t>(offset);
        if (s < 0 || s >= limit) continue;
        if (map.empty()) first = d;
        map.push_back(static_cast<int>(s));
    }
    return map;
}

// Converts pixels between two formats channel by channel, keeping the top
// bits of each component (as UnmapRGB followed by MapRGB would).
class FormatConverter {
public:
    FormatConverter(const PixelFormat& from, const PixelFormat& to)
        : channels_{Make(from.redMask, to.redMask), Make(from.greenMask, to.greenMask),
                    Make(from.blueMask, to.blueMask)} {}

    std::uint32_t operator()(std::uint32_t p) const {
        std::uint32_t out = 0;
        for (const Step& c : channels_) {
            const std::uint32_t v = (p & c.fromMask) >> c.fromShift;
            out |= (c.widen >= 0 ? v << c.widen : v >> -c.widen) << c.toShift;
        }
        return out;
    }

private:
    struct Step {
        std::uint32_t fromMask;
        int fromShift, toShift, widen;
    };
    static Step Make(std::uint32_t fromMask, std::uint32_t toMask) {
        const Channel from = ChannelOf(fromMask), to = ChannelOf(toMask);
        if (from.width == 0 || to.width == 0) return {0, 0, 0, 0};
        return {fromMask, from.shift, to.shift, to.width - from.width};
    }
    Step channels_[3];
};

// The clipped work of a scaled copy: for each kept destination row and
// column (from firstY, firstX) the source row and column it shows.
struct ScaledRows {
    const std::uint8_t* pixels;
    int pitch;
    const std::vector<int>& rows;
    const std::vector<int>& columns;
    std::int64_t firstX, firstY;
    bool useKey;
    std::uint32_t key;
};

// Scaled copy between surfaces of one 2- or 4-byte format. A row that
// shows the same source row as the one above it is, without a key, a copy
// of that row.
template <typename Pixel>
void StretchSameFormat(Surface& dst, const ScaledRows& a) {
    const std::size_t width = a.columns.size();
    const int* columns = a.columns.data();
    const Pixel key = static_cast<Pixel>(a.key);
    const Pixel* previous = nullptr;
    for (std::size_t j = 0; j < a.rows.size(); ++j) {
        auto* out = reinterpret_cast<Pixel*>(dst.Row(static_cast<int>(a.firstY + static_cast<std::int64_t>(j)))) +
                    a.firstX;
        if (!a.useKey && j > 0 && a.rows[j] == a.rows[j - 1]) {
            std::memcpy(out, previous, width * sizeof(Pixel));
            continue;
        }
        const auto* in = reinterpret_cast<const Pixel*>(a.pixels + static_cast<std::ptrdiff_t>(a.rows[j]) * a.pitch);
        if (a.useKey) {
            for (std::size_t i = 0; i < width; ++i) {
                const Pixel p = in[columns[i]];
                out[i] = p == key ? out[i] : p;
            }
        } else {
            for (std::size_t i = 0; i < width; ++i) out[i] = in[columns[i]];
        }
        previous = out;
    }
}

std::uint32_t ReadPixel(const std::uint8_t* p, int bpp) {
    std::uint32_t v = 0;
    std::memcpy(&v, p, static_cast<std::size_t>(bpp));
    return v;
}

}  // namespace

PixelFormat FormatForBits(int bits) {
    PixelFormat f;
    switch (bits) {
        case 15:
            f.bits = 15;
            f.bytesPerPixel = 2;
            f.redMask = 0x7C00;
            f.greenMask = 0x03E0;
            f.blueMask = 0x001F;
            break;
        case 24:
        case 32:
            f.bits = bits;
            f.bytesPerPixel = bits / 8;
            f.redMask = 0xFF0000;
            f.greenMask = 0x00FF00;
            f.blueMask = 0x0000FF;
            break;
        default:
            f.bits = 16;
            f.bytesPerPixel = 2;
            f.redMask = 0xF800;
            f.greenMask = 0x07E0;
            f.blueMask = 0x001F;
            break;
    }
    return f;
}

std::uint32_t MapRGB(const PixelFormat& fmt, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return PackComponent(fmt.redMask, r) | PackComponent(fmt.greenMask, g) | PackComponent(fmt.blueMask, b);
}

std::uint32_t MapColorRef(const PixelFormat& fmt, std::uint32_t colorRef) {
    return MapRGB(fmt, static_cast<std::uint8_t>(colorRef), static_cast<std::uint8_t>(colorRef >> 8),
                  static_cast<std::uint8_t>(colorRef >> 16));
}

void UnmapRGB(const PixelFormat& fmt, std::uint32_t pixel, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
    r = UnpackComponent(fmt.redMask, pixel);
    g = UnpackComponent(fmt.greenMask, pixel);
    b = UnpackComponent(fmt.blueMask, pixel);
}

void MarkWritten(Surface& s) {
    static std::uint64_t lastStamp = 0;
    s.contentStamp = ++lastStamp;
}

Surface* CreateSurface(int width, int height, const PixelFormat& fmt, bool systemMemory) {
    if (width < 1 || height < 1 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) return nullptr;
    if (fmt.bytesPerPixel < 2 || fmt.bytesPerPixel > 4) return nullptr;
    auto* s = new (std::nothrow) Surface;
    if (!s) return nullptr;
    s->width = width;
    s->height = height;
    s->pitch = (width * fmt.bytesPerPixel + 15) & ~15;
    s->format = fmt;
    s->systemMemory = systemMemory;
    s->pixels = AllocatePixels(static_cast<std::size_t>(s->pitch) * static_cast<std::size_t>(height));
    if (!s->pixels) {
        delete s;
        return nullptr;
    }
    MarkWritten(*s);
    Registry().insert(s);
    return s;
}

void DestroySurface(Surface* s) {
    if (!s) return;
    Registry().erase(s);
    FreePixels(s->pixels);
    delete s;
}

std::uint32_t GetPixel(const Surface& s, int x, int y) {
    return ReadPixel(s.Row(y) + static_cast<std::ptrdiff_t>(x) * s.format.bytesPerPixel, s.format.bytesPerPixel);
}

void PutPixel(Surface& s, int x, int y, std::uint32_t value) {
    MarkWritten(s);
    std::memcpy(s.Row(y) + static_cast<std::ptrdiff_t>(x) * s.format.bytesPerPixel, &value,
                static_cast<std::size_t>(s.format.bytesPerPixel));
}

HRESULT BltFast(Surface* dst, int x, int y, const Surface* src, const Rect& srcRect, bool keyed) {
    if (!dst || !src) return DDERR_INVALIDPARAMS;
    if (dst->lost || src->lost) return DDERR_SURFACELOST;
    if (!SameFormat(dst->format, src->format)) return DDERR_INVALIDPARAMS;
    if (Inverted(srcRect)) return DDERR_INVALIDRECT;
    std::int64_t dx = x, dy = y;
    Box s = BoxOf(srcRect);
    ClipCopy(*dst, dx, dy, *src, s);
    MarkWritten(*dst);
    if (!s.Empty()) CopyClipped(*dst, dx, dy, *src, s, keyed);
    return DD_OK;
}

HRESULT BltStretch(Surface* dst, const Rect& dstRect, const Surface* src, const Rect& srcRect, bool keyed) {
    if (!dst || !src) return DDERR_INVALIDPARAMS;
    if (dst->lost || src->lost) return DDERR_SURFACELOST;
    if (Inverted(dstRect) || Inverted(srcRect)) return DDERR_INVALIDRECT;
    const Box d = BoxOf(dstRect), s = BoxOf(srcRect);
    if (d.Empty() || s.Empty()) return DD_OK;
    MarkWritten(*dst);
    const bool sameFormat = SameFormat(dst->format, src->format);
    if (sameFormat && d.Width() == s.Width() && d.Height() == s.Height()) {
        std::int64_t dx = d.left, dy = d.top;
        Box clipped = s;
        ClipCopy(*dst, dx, dy, *src, clipped);
        if (!clipped.Empty()) CopyClipped(*dst, dx, dy, *src, clipped, keyed);
        return DD_OK;
    }

    std::int64_t firstX = 0, firstY = 0;
    const std::vector<int> columns =
        ScaleMap(d.left, d.Width(), s.left, s.Width(), std::max<std::int64_t>(d.left, 0),
                 std::min<std::int64_t>(d.right, dst->width), src->width, firstX);
    const std::vector<int> rows =
        ScaleMap(d.top, d.Height(), s.top, s.Height(), std::max<std::int64_t>(d.top, 0),
                 std::min<std::int64_t>(d.bottom, dst->height), src->height, firstY);
    if (columns.empty() || rows.empty()) return DD_OK;

    // A scaled copy within one surface reads from a snapshot of it.
    std::vector<std::uint8_t> snapshot;
    const std::uint8_t* srcPixels = src->pixels;
    if (src == dst) {
        snapshot.assign(src->pixels, src->pixels + static_cast<std::size_t>(src->pitch) * src->height);
        srcPixels = snapshot.data();
    }
    const int srcBpp = src->format.bytesPerPixel, dstBpp = dst->format.bytesPerPixel;
    const FormatConverter convert(src->format, dst->format);
    const bool useKey = keyed && src->hasColorKey;
    const std::uint32_t key = src->colorKey & ValueMask(src->format);
    const ScaledRows scaled{srcPixels, src->pitch, rows, columns, firstX, firstY, useKey, key};
    if (sameFormat && srcBpp == 2) {
        StretchSameFormat<std::uint16_t>(*dst, scaled);
        return DD_OK;
    }
    if (sameFormat && srcBpp == 4) {
        StretchSameFormat<std::uint32_t>(*dst, scaled);
        return DD_OK;
    }
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const std::uint8_t* srcRow = srcPixels + static_cast<std::ptrdiff_t>(rows[j]) * src->pitch;
        std::uint8_t* out = dst->Row(static_cast<int>(firstY + static_cast<std::int64_t>(j))) + firstX * dstBpp;
        for (std::size_t i = 0; i < columns.size(); ++i, out += dstBpp) {
            std::uint32_t p = ReadPixel(srcRow + static_cast<std::ptrdiff_t>(columns[i]) * srcBpp, srcBpp);
            if (useKey && p == key) continue;
            if (!sameFormat) p = convert(p);
            std::memcpy(out, &p, static_cast<std::size_t>(dstBpp));
        }
    }
    return DD_OK;
}

HRESULT FillRect(Surface* dst, const Rect* rect, std::uint32_t value) {
    if (!dst) return DDERR_INVALIDPARAMS;
    if (dst->lost) return DDERR_SURFACELOST;
    Box b{0, 0, dst->width, dst->height};
    if (rect) {
        if (Inverted(*rect)) return DDERR_INVALIDRECT;
        b.left = std::max<std::int64_t>(rect->left, 0);
        b.top = std::max<std::int64_t>(rect->top, 0);
        b.right = std::min<std::int64_t>(rect->right, dst->width);
        b.bottom = std::min<std::int64_t>(rect->bottom, dst->height);
    }
    if (b.Empty()) return DD_OK;
    MarkWritten(*dst);
    const int bpp = dst->format.bytesPerPixel;
    kernels::Fill(dst->Row(static_cast<int>(b.top)) + b.left * bpp, dst->pitch, static_cast<int>(b.Width()),
                  static_cast<int>(b.Height()), bpp, value & ValueMask(dst->format));
    return DD_OK;
}

HRESULT Lock(Surface* s, std::uint8_t** bits, int* pitch) {
    if (!s || !bits || !pitch) return DDERR_INVALIDPARAMS;
    if (s->lost) return DDERR_SURFACELOST;
    ++s->lockCount;
    MarkWritten(*s);
    *bits = s->pixels;
    *pitch = s->pitch;
    return DD_OK;
}

HRESULT Unlock(Surface* s) {
    if (!s) return DDERR_INVALIDPARAMS;
    if (s->lockCount <= 0) return DDERR_NOTLOCKED;
    --s->lockCount;
    MarkWritten(*s);
    return DD_OK;
}

void SetColorKey(Surface* s, std::uint32_t key) {
    if (!s) return;
    s->hasColorKey = true;
    s->colorKey = key & ValueMask(s->format);
}

bool GetColorKey(const Surface* s, std::uint32_t* key) {
    if (!s || !s->hasColorKey) return false;
    if (key) *key = s->colorKey;
    return true;
}

bool IsLost(const Surface* s) { return s && s->lost; }

HRESULT Restore(Surface* s) {
    if (!s) return DDERR_INVALIDPARAMS;
    if (s->lost) {
        std::memset(s->pixels, 0, static_cast<std::size_t>(s->pitch) * static_cast<std::size_t>(s->height));
        s->lost = false;
        s->lockCount = 0;
        MarkWritten(*s);
    }
    return DD_OK;
}

void MarkAllSurfacesLost() {
    for (Surface* s : Registry()) s->lost = true;
}

std::size_t LiveSurfaceCount() { return Registry().size(); }

}  // namespace plat
