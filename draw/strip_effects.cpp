// Strip effects and scaled copies. The strip effects draw an object's
// rectangle as a run of one-row (or one-tile) copies through krDraw::Blit
// or krDraw::BlitOpaque, each row moved by a wave, a scroll, a repeat, a
// gap, a random jitter or a turning drum; the animated ones keep one
// process-wide state each and advance it by speed x frameTime per call.
// The scaled copies go through the surface layer's scaled copy, directly
// onto the back screen or through the Buffer sprite.
//
// Limits: every loop runs only over the rows that can reach the clip
// rectangle (or, for the drum, the rows the picture has), so extreme
// rectangles cost no more than visible ones; the random effects walk every
// row of any rectangle a picture can have, so that they draw as many random
// numbers clipped as unclipped. Coordinates that leave the 32-bit range are
// dropped rather than wrapped.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "draw/krDraw.h"
#include "draw/objects_internal.h"
#include "draw/strip_effects_internal.h"
#include "system/krSystem.h"
#include "platform/os/random.h"

namespace {

using i64 = std::int64_t;

constexpr double kPi = 3.14159265358979323846;
// Beyond this a float phase can no longer hold whole rows or degrees apart.
constexpr float kTameLimit = 1.0e6f;
// Rectangles of up to this many rows take one random number per row (per
// step of the scanline walk) from their top, seen or clipped, so that the
// shared generator runs the same whatever the clip; taller ones, which no
// picture has, walk only the rows that can be seen.
constexpr std::int64_t kRandomWalkRows = 1 << 16;

krDraw::internal::StripEffectState state;

bool FitsInt(i64 v) { return v >= INT32_MIN && v <= INT32_MAX; }

i64 FloorDiv(i64 a, i64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

float FrameStep(float speed) { return speed * krSystemState.frameTime; }

// A phase pushed far out by an extreme speed (or made NaN by one) is folded
// back into [0, period) so that truncating it stays meaningful.
float Tame(float value, float period) {
    if (!std::isfinite(value)) return 0;
    if (std::fabs(value) < kTameLimit) return value;
    float folded = std::fmod(value, period);
    if (folded < 0) folded += period;
    return folded;
}

// The wave's phase: one subtraction once it reaches a full turn.
float AdvanceDegrees(float phase, float step) {
    phase += step;
    if (phase >= 360) phase -= 360;
    return Tame(phase, 360);
}

// A scroll phase brought back into [0, period) by one addition or
// subtraction of the period (and folded when one is not enough).
float WrapRows(float phase, float period) {
    if (phase < 0) {
        phase += period;
    } else if (phase >= period) {
        phase -= period;
    }
    if (std::isfinite(phase) && phase >= 0 && phase < period) return phase;
    phase = Tame(phase, period);
    if (phase < 0 || phase >= period) phase = std::fmod(phase, period);
    return phase < 0 ? phase + period : phase;
}

// A tile offset brought back between -size and 0 by one tile size.
float WrapTile(float offset, float size) {
    if (offset < -size) {
        offset += size;
    } else if (offset > 0) {
        offset -= size;
    }
    if (std::isfinite(offset) && std::fabs(offset) < kTameLimit) return offset;
    offset = Tame(offset, size);
    return offset > 0 ? offset - size : offset;
}

// Horizontal offset of a wave row: the angle advances one degree per row
// (or per divisor rows) from the phase; amplitude x cos, truncated.
i64 WaveOffset(int amplitude, int divisor, i64 row, float phase) {
    const i64 angle = (divisor == 0 ? row : row / divisor) + static_cast<i64>(phase);
    const double degrees = static_cast<double>(angle % 360);
    return static_cast<i64>(amplitude * std::cos(degrees * 2.0 * kPi / 360.0));
}

// Rows [from, to) whose destination row, destOfFrom + (r - from), lies in
// the clip rectangle; empty when first >= last.
struct RowSpan {
    i64 first, last;
};
RowSpan VisibleRows(i64 from, i64 to, i64 destOfFrom) {
    const plat::Rect& clip = krScreen.clip;
    return {std::max(from, from + clip.top - destOfFrom), std::min(to, from + clip.bottom - destOfFrom)};
}

// The rows a random effect walks: all of them, unless there are too many.
RowSpan RandomRows(i64 from, i64 to, i64 destOfFrom) {
    if (to - from <= kRandomWalkRows) return {from, to};
    return VisibleRows(from, to, destOfFrom);
}

// Copies source row `row` (columns left..right) to (x, y); rows and points
// outside the 32-bit range draw nothing.
void CopyRow(i64 x, i64 y, int slot, int left, i64 row, int right, bool keyed) {
    if (!FitsInt(x) || !FitsInt(y) || !FitsInt(row) || !FitsInt(row + 1)) return;
    const int r = static_cast<int>(row);
    if (keyed) {
        krDraw::Blit(static_cast<int>(x), static_cast<int>(y), slot, left, r, right, r + 1);
    } else {
        krDraw::BlitOpaque(static_cast<int>(x), static_cast<int>(y), slot, left, r, right, r + 1);
    }
}

void CopyRect(i64 x, i64 y, int slot, int left, int top, int right, int bottom) {
    if (!FitsInt(x) || !FitsInt(y)) return;
    krDraw::Blit(static_cast<int>(x), static_cast<int>(y), slot, left, top, right, bottom);
}

// The drum of krDraw::RollBlit: the last destination row (from 0) on which
// source row i of n is drawn.
i64 DrumEnd(i64 i, i64 n, float phase) {
    if (n < 2) return 0;
    const i64 h = n / 2;
    const double angle = (static_cast<double>(phase) + static_cast<double>(i)) * 2.0 * kPi / static_cast<double>(n - 1);
    return static_cast<i64>(static_cast<double>(h) + static_cast<double>(h) * std::cos(angle));
}

// Screen coordinates [first, last) along one axis of a scaled copy.
struct Span {
    i64 first, last;
    bool Empty() const { return first >= last; }
};

// The screen coordinates d of a scaled copy of `length` points from `start`
// that lie in [clipFrom, clipTo) and whose nearest source point,
// sourceStart + (d - start) x sourceLength / length, lies in [0, limit):
// one run, as the source point never falls while d rises.
Span DrawnSpan(i64 start, i64 length, i64 sourceStart, i64 sourceLength, i64 clipFrom, i64 clipTo, i64 limit) {
    Span span{std::max(start, clipFrom), std::min(start + length, clipTo)};
    if (length <= 0 || sourceLength <= 0) return {0, 0};
    // Both factors may approach 2^32: the product needs more than 64 bits.
    auto source = [&](i64 d) {
        return sourceStart + static_cast<i64>(static_cast<__int128>(d - start) * sourceLength / length);
    };
    while (!span.Empty() && source(span.first) < 0) ++span.first;
    while (!span.Empty() && source(span.last - 1) >= limit) --span.last;
    return span;
}

void ScaledCopy(int x, int y, int slot, int left, int top, int right, int bottom, int width, int height, bool keyed) {
    const plat::Surface* from = krDraw::internal::SurfaceAt(slot);
    if (!from || !krScreen.back) return;
    const i64 x2 = static_cast<i64>(x) + width, y2 = static_cast<i64>(y) + height;
    if (!FitsInt(x2) || !FitsInt(y2)) return;
    const plat::Rect source{left, top, right, bottom};
    if (krScreen.stretch) {
        const plat::Rect target{x, y, static_cast<int>(x2), static_cast<int>(y2)};
        if (plat::BltStretch(krScreen.back, target, from, source, keyed) == plat::DDERR_SURFACELOST) krDraw::Restore();
        return;
    }
    // Without a stretching device the picture is scaled into the Buffer
    // sprite and copied from there, keyed by the sprite's own black key.
    // Only the points that the device would draw go through it: those in
    // the clip rectangle whose source lies inside the picture; the rest of
    // the sprite holds whatever was scaled into it before.
    plat::Surface* buffer = krDraw::internal::SurfaceAt(0);
    if (!buffer || right < left || bottom < top) return;
    const plat::Rect& clip = krScreen.clip;
    const Span columns = DrawnSpan(x, width, left, right - left, clip.left, clip.right, from->width);
    const Span rows = DrawnSpan(y, height, top, bottom - top, clip.top, clip.bottom, from->height);
    if (columns.Empty() || rows.Empty()) return;
    // The sprite's (0, 0) stands for the screen point (first column, first row).
    const i64 left0 = x - columns.first, top0 = y - rows.first;
    if (!FitsInt(left0) || !FitsInt(top0)) return;
    const plat::Rect target{static_cast<int>(left0), static_cast<int>(top0), static_cast<int>(x2 - columns.first),
                            static_cast<int>(y2 - rows.first)};
    if (plat::BltStretch(buffer, target, from, source, false) != plat::DD_OK) return;
    const int w = static_cast<int>(columns.last - columns.first), h = static_cast<int>(rows.last - rows.first);
    const int at = static_cast<int>(columns.first), atRow = static_cast<int>(rows.first);
    if (keyed) {
        krDraw::Blit(at, atRow, 0, 0, 0, w, h);
    } else {
        krDraw::BlitOpaque(at, atRow, 0, 0, 0, w, h);
    }
}

}  // namespace

namespace krDraw::internal {

StripEffectState& StripEffects() { return state; }

}  // namespace krDraw::internal

namespace krDraw {

void WaveBlit(int x, int y, int amplitude, int divisor, float speed, int slot, int left, int top, int right,
              int bottom, int alternate) {
    const int sign = state.waveSign;
    const RowSpan rows = VisibleRows(top, bottom, y);
    for (i64 r = rows.first; r < rows.last; ++r) {
        i64 offset = WaveOffset(amplitude, divisor, r, state.wavePhase);
        // The sign flips after every row, drawn or clipped.
        if (alternate) offset *= ((r - top) & 1) ? -sign : sign;
        CopyRow(static_cast<i64>(x) + offset, static_cast<i64>(y) + (r - top), slot, left, r, right, true);
    }
    const i64 rowCount = std::max<i64>(0, static_cast<i64>(bottom) - top);
    if (alternate && (rowCount & 1)) state.waveSign = -sign;
    state.wavePhase = AdvanceDegrees(state.wavePhase, FrameStep(speed));
}

void TileScroll(float xSpeed, float ySpeed, int slot, int left, int top, int right, int bottom) {
    const i64 w = static_cast<i64>(right) - left, h = static_cast<i64>(bottom) - top;
    if (w <= 0 || h <= 0) return;  // no tile to repeat
    const i64 xOffset = static_cast<i64>(state.tileX), yOffset = static_cast<i64>(state.tileY);
    for (i64 row = 0; row <= krScreen.screenHeight / h + 1; ++row)
        for (i64 column = 0; column <= krScreen.screenWidth / w + 1; ++column)
            CopyRect(column * w + xOffset, row * h + yOffset, slot, left, top, right, bottom);
    state.tileX = WrapTile(state.tileX + FrameStep(xSpeed), static_cast<float>(w));
    state.tileY = WrapTile(state.tileY + FrameStep(ySpeed), static_cast<float>(h));
}

void WaveScrollBlit(int x, int y, int amplitude, int divisor, float waveSpeed, float scrollSpeed, int slot, int left,
                    int top, int right, int bottom) {
    const i64 height = static_cast<i64>(bottom) - top;
    if (height <= 0) return;
    const i64 scrolled = static_cast<i64>(state.waveScrollRows);
    const RowSpan rows = VisibleRows(top, bottom, static_cast<i64>(y) + top);
    for (i64 r = rows.first; r < rows.last; ++r) {
        i64 source = scrolled + r;
        if (source >= bottom) source = source - bottom + top + 1;
        const i64 offset = WaveOffset(amplitude, divisor, r, state.waveScrollPhase);
        CopyRow(static_cast<i64>(x) + offset, static_cast<i64>(y) + r, slot, left, source, right, true);
    }
    state.waveScrollPhase = AdvanceDegrees(state.waveScrollPhase, FrameStep(waveSpeed));
    state.waveScrollRows = WrapRows(state.waveScrollRows - FrameStep(scrollSpeed), static_cast<float>(height));
}

void WaveTile(int firstRow, int lastRow, int amplitude, int divisor, float waveSpeed, float scrollSpeed, int slot,
              int left, int top, int right, int bottom) {
    const i64 w = static_cast<i64>(right) - left, height = static_cast<i64>(bottom) - top;
    if (w <= 0 || height <= 0) return;
    const i64 scrolled = static_cast<i64>(state.waveTileRows);
    const RowSpan rows = VisibleRows(firstRow, lastRow, firstRow);
    for (i64 d = rows.first; d < rows.last; ++d) {
        const i64 i = d - firstRow;
        i64 r = i % height + scrolled;
        if (r > height - 1) r -= height;
        const i64 offset = WaveOffset(amplitude, divisor, i, state.waveTilePhase);
        for (i64 n = 0; n <= krScreen.screenWidth / w + 1; ++n)
            CopyRow(n * w + offset - amplitude, d, slot, left, top + r, right, true);
    }
    state.waveTilePhase = AdvanceDegrees(state.waveTilePhase, FrameStep(waveSpeed));
    state.waveTileRows = WrapRows(state.waveTileRows - FrameStep(scrollSpeed), static_cast<float>(height));
}

void RowRepeatBlit(int x, int y, int repeat, int slot, int left, int top, int right, int bottom) {
    if (repeat < 1) return;  // no row would ever be reached
    const plat::Rect& clip = krScreen.clip;
    // Block j repeats source row top + j * repeat on destination rows
    // y + j * repeat .. y + j * repeat + repeat - 1.
    for (i64 j = std::max<i64>(0, FloorDiv(static_cast<i64>(clip.top) - y, repeat));; ++j) {
        const i64 row = static_cast<i64>(top) + j * repeat, start = static_cast<i64>(y) + j * repeat;
        if (row >= bottom || start >= clip.bottom) break;
        const i64 from = std::max<i64>(start, clip.top), to = std::min<i64>(start + repeat, clip.bottom);
        for (i64 d = from; d < to; ++d) CopyRow(x, d, slot, left, row, right, true);
    }
}

void ScanlineBlit(int x, int y, int gap, int slot, int left, int top, int right, int bottom) {
    const plat::Rect& clip = krScreen.clip;
    if (gap > 0) {
        // Rows top + gap, top + 2 gap, ...: the first row is left out.
        const i64 firstVisible = -FloorDiv(static_cast<i64>(y) - clip.top, gap);
        for (i64 j = std::max<i64>(1, firstVisible);; ++j) {
            const i64 row = static_cast<i64>(top) + j * gap, d = static_cast<i64>(y) + j * gap;
            if (row >= bottom || d >= clip.bottom) break;
            CopyRow(x, d, slot, left, row, right, true);
        }
    } else if (gap < 0) {
        // Random distances of 1 to -gap rows, starting from top.
        const i64 range = -static_cast<i64>(gap);
        const RowSpan rows = RandomRows(top, bottom, y);
        for (i64 row = rows.first; row < rows.last; row += plat::Random() % range + 1)
            CopyRow(x, static_cast<i64>(y) + (row - top), slot, left, row, right, true);
    }
}

void JitterBlit(int x, int y, int range, int slot, int left, int top, int right, int bottom) {
    if (range <= 0) {
        Blit(x, y, slot, left, top, right, bottom);
        return;
    }
    const i64 span = 2 * static_cast<i64>(range);
    const RowSpan rows = RandomRows(top, bottom, y);
    for (i64 r = rows.first; r < rows.last; ++r) {
        const i64 shift = plat::Random() % span - range;
        CopyRow(static_cast<i64>(x) + shift, static_cast<i64>(y) + (r - top), slot, left, r, right, true);
    }
}

void RollBlit(int x, int y, int forward, float speed, int slot, int left, int top, int right, int bottom) {
    const i64 n = static_cast<i64>(bottom) - top;
    if (n <= 0) return;
    const plat::Rect& clip = krScreen.clip;
    if (const plat::Surface* source = internal::SurfaceAt(slot)) {
        // Only rows the picture has can draw anything.
        const i64 firstRow = std::max<i64>(0, -static_cast<i64>(top));
        const i64 lastRow = std::min<i64>(n, static_cast<i64>(source->height) - top);
        for (i64 i = firstRow; i < lastRow; ++i) {
            const i64 from = i == 0 ? 0 : DrumEnd(i - 1, n, state.rollPhase) + 1;
            const i64 to = DrumEnd(i, n, state.rollPhase);
            const i64 first = std::max<i64>(from, static_cast<i64>(clip.top) - y);
            const i64 last = std::min<i64>(to, static_cast<i64>(clip.bottom) - 1 - y);
            for (i64 d = first; d <= last; ++d) CopyRow(x, static_cast<i64>(y) + d, slot, left, top + i, right, false);
        }
    }
    const float step = FrameStep(speed);
    state.rollPhase = WrapRows(forward ? state.rollPhase + step : state.rollPhase - step, static_cast<float>(n));
}

void StretchBlit(int x, int y, int slot, int left, int top, int right, int bottom, int width, int height) {
    ScaledCopy(x, y, slot, left, top, right, bottom, width, height, true);
}

void StretchBlitOpaque(int x, int y, int slot, int left, int top, int right, int bottom, int width, int height) {
    ScaledCopy(x, y, slot, left, top, right, bottom, width, height, false);
}

}  // namespace krDraw
