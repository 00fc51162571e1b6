// Screen-region filters, clip-rectangle wipes and the inverted rectangle.
//
// The filters change a rectangle of the back screen in place, working on
// components (5 bits on 15- and 16-bit displays, put back at the 5-bit
// shifts; 8 bits on 24- and 32-bit ones; platform/pixels/effect_kernels.h). The
// region is first cut to the back screen; a region outside it changes
// nothing. The smoke and the noise draw from the random table of the screen
// set-up (a table of the same kind is made here on displays that have none)
// through one process-wide position.
//
// The wipes move the edges of the clip rectangle over several frames; the
// main loop puts the saved rectangle back when the scene changes mid-wipe.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "draw/krDraw.h"
#include "draw/objects_internal.h"
#include "platform/pixels/canvas.h"
#include "platform/pixels/effect_kernels.h"
#include "system/krSystem.h"
#include "platform/os/random.h"

namespace krDraw {
WipeRecord wipe;
}

namespace {

using plat::kernels::Channels;

// ---- filter frame ----

// The region cut to the back screen, locked for the call.
class LockedRegion {
public:
    LockedRegion(int x, int y, int width, int height) {
        plat::Surface* back = krScreen.back;
        if (!back) return;
        const std::int64_t left = std::max<std::int64_t>(x, 0), top = std::max<std::int64_t>(y, 0);
        const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + width, back->width);
        const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + height, back->height);
        empty_ = width <= 0 || height <= 0 || left >= right || top >= bottom;
        if (empty_) return;
        std::uint8_t* bits = nullptr;
        int pitch = 0;
        if (plat::Lock(back, &bits, &pitch) != plat::DD_OK) return;
        locked_ = true;
        args_.surface = back;
        args_.x = static_cast<int>(left), args_.y = static_cast<int>(top);
        args_.width = static_cast<int>(right - left), args_.height = static_cast<int>(bottom - top);
        args_.channels = plat::kernels::ChannelsOf(back->format);
    }
    ~LockedRegion() {
        if (locked_) plat::Unlock(args_.surface);
    }
    LockedRegion(const LockedRegion&) = delete;
    LockedRegion& operator=(const LockedRegion&) = delete;

    // What the filter returns when it cannot draw: 1 for nothing to do,
    // 0 when the back screen is missing or cannot be locked.
    int Result() const { return empty_ ? 1 : 0; }
    bool Ready() const { return locked_; }
    const plat::kernels::RegionArgs& Args() const { return args_; }
    // Keeps at most width x height pixels of the region, from its corner.
    void CapSize(int width, int height) {
        args_.width = std::min(args_.width, width);
        args_.height = std::min(args_.height, height);
    }
    const Channels& Ch() const { return args_.channels; }
    int Bpp() const { return args_.channels.bytesPerPixel; }
    std::uint8_t* At(int x, int y) const {
        return args_.surface->Row(args_.y + y) + static_cast<std::ptrdiff_t>(args_.x + x) * Bpp();
    }
    std::uint32_t Get(int x, int y) const { return plat::kernels::LoadPixel(At(x, y), Bpp()); }
    void Put(int x, int y, std::uint32_t v) const { plat::kernels::StorePixel(At(x, y), Bpp(), v); }

private:
    bool empty_ = false;
    bool locked_ = false;
    plat::kernels::RegionArgs args_;
};

unsigned Flags(int red, int green, int blue) { return (red ? 1u : 0u) | (green ? 2u : 0u) | (blue ? 4u : 0u); }

// ---- the random table and its position ----

struct RandomState {
    int counter = 0;
    int position = 0;
    std::vector<std::uint8_t> ownTable;  // for displays without the screen's table
};
RandomState randomState;

const std::vector<std::uint8_t>& RandomTable() {
    if (krScreen.randomTable.size() == 10000) return krScreen.randomTable;
    if (randomState.ownTable.size() != 10000) {
        randomState.ownTable.resize(10000);
        for (std::uint8_t& value : randomState.ownTable) value = static_cast<std::uint8_t>(plat::Random() % 3);
    }
    return randomState.ownTable;
}

// The process-wide walk through the table, lent to one kernel call.
class Walk {
public:
    Walk() {
        walk_.table = RandomTable().data();
        walk_.position = randomState.position;
        walk_.counter = randomState.counter;
    }
    ~Walk() {
        randomState.position = walk_.position;
        randomState.counter = walk_.counter;
    }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;
    plat::kernels::RandomWalk& operator*() { return walk_; }

private:
    plat::kernels::RandomWalk walk_;
};

// ---- filters ----

int Smooth(int x, int y, int width, int height, unsigned flags) {
    LockedRegion region(x, y, width, height);
    if (!region.Ready()) return region.Result();
    plat::kernels::SmoothRegion(region.Args(), flags);
    return 1;
}

int Smoke(int x, int y, int width, int height, unsigned flags) {
    LockedRegion region(x, y, width, height);
    if (!region.Ready()) return region.Result();
    Walk walk;
    plat::kernels::SmokeRegion(region.Args(), *walk, flags);
    return 1;
}

int Noise(int x, int y, int width, int height, int shift, unsigned flags) {
    LockedRegion region(x, y, width, height);
    if (!region.Ready()) return region.Result();
    Walk walk;
    plat::kernels::NoiseRegion(region.Args(), *walk, shift, flags);
    return 1;
}

// The region into the Buffer sprite's corner with every pixel a 2 x 2
// block, or with scanlines its lower row black.
template <int Bpp>
void DoubleInto(const LockedRegion& region, plat::Surface& buffer, bool scanlines) {
    const plat::kernels::RegionArgs& a = region.Args();
    const std::size_t doubledBytes = static_cast<std::size_t>(2 * a.width) * Bpp;
    for (int j = 0; j < a.height; ++j) {
        const std::uint8_t* from = region.At(0, j);
        std::uint8_t* upper = buffer.Row(2 * j);
        for (int i = 0; i < a.width; ++i, from += Bpp, upper += 2 * Bpp) {
            std::memcpy(upper, from, Bpp);
            std::memcpy(upper + Bpp, from, Bpp);
        }
        std::uint8_t* lower = buffer.Row(2 * j + 1);
        if (scanlines) std::memset(lower, 0, doubledBytes);
        else std::memcpy(lower, buffer.Row(2 * j), doubledBytes);
    }
}

// ---- wipes ----

krDraw::WipeRecord& W() { return krDraw::wipe; }

// Moves value toward target by step without passing it; true once there.
bool Approach(std::int32_t& value, std::int32_t target, std::int32_t step) {
    if (value < target) value = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{value} + step, target));
    else if (value > target) value = static_cast<std::int32_t>(std::max<std::int64_t>(std::int64_t{value} - step, target));
    return value == target;
}

// Moves a pair of edges toward each other; once they meet or cross both
// are set to the middle. True once they have met.
bool Meet(std::int32_t& low, std::int32_t& high, std::int32_t step, std::int32_t middle) {
    if (low < high) {
        low = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{low} + step, INT32_MAX));
        high = static_cast<std::int32_t>(std::max<std::int64_t>(std::int64_t{high} - step, INT32_MIN));
    }
    if (low < high) return false;
    low = high = middle;
    return true;
}

std::int32_t MiddleX(const plat::Rect& s) { return s.left + (s.right - s.left) / 2; }
std::int32_t MiddleY(const plat::Rect& s) { return s.top + (s.bottom - s.top) / 2; }

// The slit width, kept between 0 and the saved rectangle's side.
std::int32_t Slit(std::int32_t side) { return std::clamp(W().slit, 0, std::max(side, 0)); }

// The opening wipe's first rectangle.
void Collapse(plat::Rect& c, const plat::Rect& s, int type) {
    const std::int32_t mx = MiddleX(s), my = MiddleY(s);
    switch (type) {
        case 1: c.top = s.bottom; break;
        case 2: c.bottom = s.top; break;
        case 3: c.left = s.right; break;
        case 4: c.right = s.left; break;
        case 5: c.top = c.bottom = my; break;
        case 6: c.left = c.right = mx; break;
        case 7: c.left = c.right = mx, c.top = c.bottom = my; break;
        case 8: {
            const std::int32_t slit = Slit(s.right - s.left);
            c.left = mx - slit / 2, c.right = mx + slit / 2, c.top = c.bottom = my;
            break;
        }
        default: {
            const std::int32_t slit = Slit(s.bottom - s.top);
            c.top = my - slit / 2, c.bottom = my + slit / 2, c.left = c.right = mx;
            break;
        }
    }
}

// One frame of an opening wipe; true once the saved rectangle is restored.
bool OpenStep(plat::Rect& c, const plat::Rect& s, int type, std::int32_t step) {
    switch (type) {
        case 1: return Approach(c.top, s.top, step);
        case 2: return Approach(c.bottom, s.bottom, step);
        case 3: return Approach(c.left, s.left, step);
        case 4: return Approach(c.right, s.right, step);
        case 5: return Approach(c.top, s.top, step) & Approach(c.bottom, s.bottom, step);
        case 6: return Approach(c.left, s.left, step) & Approach(c.right, s.right, step);
        case 7:
            return Approach(c.top, s.top, step) & Approach(c.bottom, s.bottom, step) & Approach(c.left, s.left, step) &
                   Approach(c.right, s.right, step);
        case 8:
            if (c.top != s.top || c.bottom != s.bottom) {
                Approach(c.top, s.top, step), Approach(c.bottom, s.bottom, step);
                return false;
            }
            return Approach(c.left, s.left, step) & Approach(c.right, s.right, step);
        default:
            if (c.left != s.left || c.right != s.right) {
                Approach(c.left, s.left, step), Approach(c.right, s.right, step);
                return false;
            }
            return Approach(c.top, s.top, step) & Approach(c.bottom, s.bottom, step);
    }
}

// One frame of a closing wipe; true once the rectangle is empty.
bool CloseStep(plat::Rect& c, const plat::Rect& s, int type, std::int32_t step) {
    const std::int32_t mx = MiddleX(s), my = MiddleY(s);
    switch (type) {
        case 1: return Approach(c.top, s.bottom, step);
        case 2: return Approach(c.bottom, s.top, step);
        case 3: return Approach(c.left, s.right, step);
        case 4: return Approach(c.right, s.left, step);
        case 5: return Meet(c.top, c.bottom, step, my);
        case 6: return Meet(c.left, c.right, step, mx);
        case 7: return Meet(c.top, c.bottom, step, my) & Meet(c.left, c.right, step, mx);
        case 8: {
            const std::int32_t slit = Slit(s.right - s.left), left = mx - slit / 2, right = mx + slit / 2;
            if (c.left != left || c.right != right) {
                Approach(c.left, left, step), Approach(c.right, right, step);
                return false;
            }
            return Meet(c.top, c.bottom, step, my);
        }
        default: {
            const std::int32_t slit = Slit(s.bottom - s.top), top = my - slit / 2, bottom = my + slit / 2;
            if (c.top != top || c.bottom != bottom) {
                Approach(c.top, top, step), Approach(c.bottom, bottom, step);
                return false;
            }
            return Meet(c.left, c.right, step, mx);
        }
    }
}

// Pixels an edge travels this frame: at least one, so every wipe ends
// whatever the speed (a negative or not-a-number speed moves one pixel).
std::int32_t WipeStep() {
    const double travelled = static_cast<double>(krSystemState.frameTime) * W().speed;
    if (!(travelled > 0)) return 1;
    return static_cast<std::int32_t>(std::min(travelled, 1e8)) + 1;
}

}  // namespace

namespace krDraw {

int SmoothRect(int x, int y, int width, int height) { return Smooth(x, y, width, height, 7u); }

int SmoothRectRGB(int x, int y, int width, int height, int red, int green, int blue) {
    return Smooth(x, y, width, height, Flags(red, green, blue));
}

int SmokeRect(int x, int y, int width, int height) { return Smoke(x, y, width, height, 7u); }

int SmokeRectRGB(int x, int y, int width, int height, int red, int green, int blue) {
    return Smoke(x, y, width, height, Flags(red, green, blue));
}

int EnlargeRect(int x, int y, int width, int height, int scanlines) {
    plat::Surface* buffer = internal::SurfaceAt(0);
    if (!buffer || !krScreen.back || buffer->format.bytesPerPixel != krScreen.back->format.bytesPerPixel) return 0;
    std::int64_t left = 0, top = 0;
    int doubledWidth = 0, doubledHeight = 0;
    {
        LockedRegion region(x, y, width, height);
        if (!region.Ready()) return region.Result();
        // Twice the part on the screen must fit into the Buffer sprite.
        region.CapSize(buffer->width / 2, buffer->height / 2);
        std::uint8_t* bits = nullptr;
        int pitch = 0;
        if (plat::Lock(buffer, &bits, &pitch) != plat::DD_OK) return 0;
        const plat::kernels::RegionArgs& a = region.Args();
        switch (region.Bpp()) {
            case 2: DoubleInto<2>(region, *buffer, scanlines != 0); break;
            case 3: DoubleInto<3>(region, *buffer, scanlines != 0); break;
            default: DoubleInto<4>(region, *buffer, scanlines != 0); break;
        }
        plat::Unlock(buffer);
        // The enlarged picture keeps (x, y) as its corner: the part cut
        // away above and left of the screen is doubled away too.
        left = std::int64_t{x} + 2 * (std::int64_t{a.x} - x);
        top = std::int64_t{y} + 2 * (std::int64_t{a.y} - y);
        doubledWidth = 2 * a.width, doubledHeight = 2 * a.height;
    }
    // A corner beyond the screen's right or bottom edge shows nothing.
    if (left >= krScreen.back->width || top >= krScreen.back->height) return 1;
    BlitOpaque(static_cast<int>(left), static_cast<int>(top), 0, 0, 0, doubledWidth, doubledHeight);
    return 1;
}

int MosaicRect(int x, int y, int width, int height, int cellSize) {
    if (cellSize < 1) return 0;
    LockedRegion region(x, y, width, height);
    if (!region.Ready()) return region.Result();
    // The cells are laid from (x, y), so a region cut at the screen's edge
    // keeps its grid.
    plat::kernels::MosaicArgs m;
    m.region = region.Args();
    m.anchorX = x, m.anchorY = y;
    m.cellSize = cellSize;
    plat::kernels::MosaicRegion(m);
    return 1;
}

int NoiseRect(int x, int y, int width, int height, int shift) { return Noise(x, y, width, height, shift, 7u); }

int NoiseRectRGB(int x, int y, int width, int height, int shift, int red, int green, int blue) {
    return Noise(x, y, width, height, shift, Flags(red, green, blue));
}

int StartWipe(int closing, int type, float speed, int slitWidth) {
    if (wipe.state > 0 || type < 0 || type > 9) return 0;
    if (wipe.state == -1) krScreen.clip = wipe.saved;
    wipe.saved = krScreen.clip;
    if (type == 0) type = plat::Random() % 9 + 1;
    wipe.opened = wipe.closed = 0;
    wipe.closing = closing ? 1 : 0;
    wipe.type = type;
    wipe.speed = speed;
    wipe.slit = slitWidth;
    if (wipe.closing) {
        wipe.state = 2;
        return 1;
    }
    wipe.state = 1;
    Collapse(krScreen.clip, wipe.saved, type);
    return 1;
}

int StepWipe() {
    if (wipe.state <= 0) return 0;
    const std::int32_t step = WipeStep();
    if (wipe.state == 1) {
        if (OpenStep(krScreen.clip, wipe.saved, wipe.type, step)) {
            krScreen.clip = wipe.saved;
            wipe.state = 0;
            wipe.opened = 1;
        }
    } else if (CloseStep(krScreen.clip, wipe.saved, wipe.type, step)) {
        wipe.state = -1;
        wipe.closed = 1;
    }
    return 1;
}

void CloseClip() {
    // A running or closed wipe already holds the full rectangle; the clip
    // rectangle is then part of it, or empty.
    if (wipe.state == 0) wipe.saved = krScreen.clip;
    krScreen.clip.right = krScreen.clip.left;
    krScreen.clip.bottom = krScreen.clip.top;
    wipe.state = -1;
}

int InvertRect(int left, int top, int right, int bottom) {
    plat::Canvas dc(krScreen.back);
    return dc.InvertRect(plat::Rect{left, top, right, bottom}) ? 1 : 0;
}

}  // namespace krDraw
