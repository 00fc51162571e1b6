// Shapes and pixels on the back screen through the platform's canvas, the
// frame-rate line, and the screenshot: the top-left of the back screen
// written as a 24-bit bottom-up BMP file.
#include <array>
#include <bit>
#include <cstdio>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "draw/krFrameRate.h"
#include "platform/os/atomic_file.h"
#include "platform/pixels/canvas.h"
#include "platform/os/user_folder.h"
#include "platform/os/window.h"
#include "system/krSystem.h"

namespace {

// ---- canvas on the back screen ----

// The result a shape operation hands back: the canvas's release result,
// which is a failure when there was no surface to draw on.
int CanvasResult(const plat::Canvas& dc) {
    if (!dc.Target()) return plat::DDERR_INVALIDPARAMS;
    return dc.Ready() ? plat::DD_OK : plat::DDERR_SURFACELOST;
}

plat::Canvas screenDC;
bool screenDCHeld = false;

// ---- frame rate ----

constexpr std::int32_t kMaxCountedFrames = 999;
constexpr std::uint32_t kMeasurementPeriodMs = 2000;

// ---- screenshot ----

constexpr std::size_t kBmpHeaderSize = 58;

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

std::array<std::uint8_t, kBmpHeaderSize> BmpHeader(std::uint32_t width, std::uint32_t height, std::uint32_t rowSize) {
    std::array<std::uint8_t, kBmpHeaderSize> h{};
    const std::uint32_t imageSize = rowSize * height;
    h[0] = 'B';
    h[1] = 'M';
    Put32(&h[2], kBmpHeaderSize + imageSize);
    Put32(&h[10], kBmpHeaderSize);
    Put32(&h[14], 40);
    Put32(&h[18], width);
    Put32(&h[22], height);
    Put16(&h[26], 1);
    Put16(&h[28], 24);
    Put32(&h[34], imageSize);
    Put32(&h[38], 2834);
    Put32(&h[42], 2834);
    return h;  // compression, colours used / important and the gap stay 0
}

// One component of a pixel as a byte: fields of 8 bits or more give the low
// byte of the shifted pixel; narrower fields give their 5-bit value (a 6-bit
// field halved) moved up by 3, as the 16-bit component table holds them.
std::uint8_t ComponentByte(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    if (bits >= 8) return static_cast<std::uint8_t>(pixel >> shift);
    const std::uint32_t value = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>((value >> (bits - 5)) << 3);
}

bool WriteRows(std::FILE* file, const plat::Surface& s, int width, int height, std::size_t rowSize) {
    std::vector<std::uint8_t> row(rowSize, 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = plat::GetPixel(s, x, y);
            row[x * 3 + 0] = ComponentByte(pixel, s.format.blueMask);
            row[x * 3 + 1] = ComponentByte(pixel, s.format.greenMask);
            row[x * 3 + 2] = ComponentByte(pixel, s.format.redMask);
        }
        if (std::fwrite(row.data(), 1, rowSize, file) != rowSize) return false;
    }
    return true;
}

}  // namespace

krFrameRateRecord krFrameRate;

namespace krDraw {

int DrawLine(int x1, int y1, int x2, int y2, std::uint32_t color, int penWidth) {
    plat::Canvas dc(krScreen.back);
    dc.SelectPen(plat::Pen::Solid(color, penWidth));
    dc.MoveTo(x1, y1);
    dc.LineTo(x2, y2);
    return CanvasResult(dc);
}

int DrawRect(int left, int top, int right, int bottom, std::uint32_t fillColor, std::uint32_t penColor,
             int penWidth) {
    plat::Canvas dc(krScreen.back);
    dc.SelectBrush(plat::Brush::Solid(fillColor));
    dc.SelectPen(plat::Pen::Solid(penColor, penWidth));
    dc.Rectangle(left, top, right, bottom);
    return CanvasResult(dc);
}

int DrawPolygon(const plat::Point* points, int count, std::uint32_t color, std::uint32_t backColor, int penWidth,
                int fillMode) {
    plat::Canvas dc(krScreen.back);
    dc.SelectPen(plat::Pen::Solid(color, penWidth));
    dc.SelectBrush(fillMode == 0 ? plat::Brush::None() : plat::Brush::Hatched(color));
    if (fillMode == 2) dc.SetBkMode(plat::TRANSPARENT);
    else dc.SetBkColor(backColor);
    dc.Polygon(points, count);
    return CanvasResult(dc);
}

int DrawBezier(const plat::Point* points, int count, std::uint32_t color, int penWidth) {
    plat::Canvas dc(krScreen.back);
    dc.SelectPen(plat::Pen::Solid(color, penWidth));
    dc.PolyBezier(points, count);
    return CanvasResult(dc);
}

int SetScreenPixel(int x, int y, std::uint32_t color) {
    plat::Canvas dc(krScreen.back);
    dc.SetPixel(x, y, color);
    return CanvasResult(dc);
}

void GetScreenPixel(int x, int y, int* red, int* green, int* blue) {
    const std::uint32_t color = plat::Canvas(krScreen.back).GetPixel(x, y);
    if (red) *red = static_cast<int>(color & 0xFF);
    if (green) *green = static_cast<int>((color >> 8) & 0xFF);
    if (blue) *blue = static_cast<int>((color >> 16) & 0xFF);
}

void GetScreenDC() {
    screenDC = plat::Canvas(krScreen.back);
    screenDCHeld = true;
}

void ReleaseScreenDC() {
    if (!screenDCHeld) return;
    screenDC = plat::Canvas();
    screenDCHeld = false;
}

void DrawFps() {
    krFrameRateRecord& f = krFrameRate;
    const std::uint32_t now = plat::TimeGetTime();
    if (now >= f.nextMeasurement) {
        f.rate = static_cast<float>(f.frames / 2.0);
        if (f.rate > f.maximum) f.maximum = f.rate;
        if (f.rate > 0.0f && f.rate < f.minimum) f.minimum = f.rate;
        f.nextMeasurement = plat::TimeGetTime() + kMeasurementPeriodMs;
        f.frames = 0;
    }
    if (++f.frames > kMaxCountedFrames) f.frames = kMaxCountedFrames;
    std::snprintf(f.text, sizeof f.text, "%3.1f fps ( max %3.1f / min %3.1f )", f.rate, f.maximum, f.minimum);
    SetFont(1, 12, 0, 0, 0, 0);
    SetFontColor(0xFFFFFF, 0x800000, 0);
    DrawString(0, 0, f.text);
    ReleaseFont();
}

int SaveScreen(const char* name, int width, int height) {
    plat::Surface* back = krScreen.back;
    if (!back || !name || width <= 0 || height <= 0 || width > back->width || height > back->height) return 0;
    std::uint8_t* pixels = nullptr;
    int pitch = 0;
    if (plat::Lock(back, &pixels, &pitch) != plat::DD_OK) return 0;
    const std::size_t rowSize = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    // An installed program writes its shots to the player's data folder, not beside itself.
    const int folder = plat::ProgramIsInstalled() ? 1 : 0;
    const std::string path = plat::ResolvePath(std::string(krSystem::GetBaseFolder(folder)) + name);
    bool written = false;
    // A shot that cannot be written whole leaves any earlier file of that name as it was.
    plat::AtomicFile file(path);
    if (file.IsOpen()) {
        const auto header = BmpHeader(width, height, static_cast<std::uint32_t>(rowSize));
        written = file.Write(header.data(), header.size()) && WriteRows(file.Stream(), *back, width, height, rowSize);
        written = written && file.Commit();
    }
    plat::Unlock(back);
    return written ? 1 : 0;
}

}  // namespace krDraw
