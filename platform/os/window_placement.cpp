// Window placement arithmetic (see window_placement.h).
#include "platform/os/window_placement.h"

#include <algorithm>

namespace plat {
namespace {

// The start of a span of `size` inside [low, high): centred, or at `low`
// when the span does not fit.
int CentredStart(int low, int high, int size) {
    const long long room = static_cast<long long>(high) - low - size;
    return room <= 0 ? low : static_cast<int>(low + room / 2);
}

// A start moved into [low, high - size], or `low` when the span does not fit.
int KeptStart(int low, int high, int size, int start) {
    const long long last = static_cast<long long>(high) - size;
    if (last <= low) return low;
    return static_cast<int>(std::clamp<long long>(start, low, last));
}

// Division rounding towards minus infinity.
int FloorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return static_cast<int>(q);
}

}  // namespace

Point AreaToScreen(const Rect& place, int screenWidth, int screenHeight, Point area) {
    if (place.Width() <= 0 || place.Height() <= 0) return area;
    return Point{FloorDiv(static_cast<long long>(area.x - place.left) * screenWidth, place.Width()),
                 FloorDiv(static_cast<long long>(area.y - place.top) * screenHeight, place.Height())};
}

Point ScreenToArea(const Rect& place, int screenWidth, int screenHeight, Point screen) {
    if (screenWidth <= 0 || screenHeight <= 0) return screen;
    return Point{place.left + FloorDiv((2LL * screen.x + 1) * place.Width(), 2LL * screenWidth),
                 place.top + FloorDiv((2LL * screen.y + 1) * place.Height(), 2LL * screenHeight)};
}

bool DesktopKnown(const Rect& desktop) { return desktop.right > desktop.left && desktop.bottom > desktop.top; }

Point CentredOrigin(const Rect& desktop, int width, int height) {
    if (!DesktopKnown(desktop)) return Point{kWindowCentred, kWindowCentred};
    return Point{CentredStart(desktop.left, desktop.right, std::max(0, width)),
                 CentredStart(desktop.top, desktop.bottom, std::max(0, height))};
}

Point KeptOnDesktop(const Rect& desktop, Point requested, int width, int height) {
    if (!DesktopKnown(desktop)) return requested;
    const Point centred = CentredOrigin(desktop, width, height);
    width = std::max(0, width);
    height = std::max(0, height);
    return Point{requested.x == kWindowCentred ? centred.x : KeptStart(desktop.left, desktop.right, width, requested.x),
                 requested.y == kWindowCentred ? centred.y : KeptStart(desktop.top, desktop.bottom, height, requested.y)};
}

Rect AspectFit(int areaWidth, int areaHeight, int screenWidth, int screenHeight) {
    if (areaWidth <= 0 || areaHeight <= 0 || screenWidth <= 0 || screenHeight <= 0) return Rect{};
    // Compare the aspects in integers: area.w / area.h against screen.w / screen.h.
    const long long wide = static_cast<long long>(areaWidth) * screenHeight;
    const long long tall = static_cast<long long>(areaHeight) * screenWidth;
    int w = areaWidth, h = areaHeight;
    if (wide >= tall)
        w = static_cast<int>(tall / screenHeight);  // bars left and right
    else
        h = static_cast<int>(wide / screenWidth);  // bars above and below
    w = std::max(1, w);
    h = std::max(1, h);
    const int left = (areaWidth - w) / 2, top = (areaHeight - h) / 2;
    return Rect{left, top, left + w, top + h};
}

Rect ScreenInArea(int areaWidth, int areaHeight, int screenWidth, int screenHeight) {
    if (areaWidth <= 0 || areaHeight <= 0 || screenWidth <= 0 || screenHeight <= 0) return Rect{};
    const int scale = std::min(areaWidth / screenWidth, areaHeight / screenHeight);
    if (scale < 1) return AspectFit(areaWidth, areaHeight, screenWidth, screenHeight);
    const int w = screenWidth * scale, h = screenHeight * scale;
    const int left = (areaWidth - w) / 2, top = (areaHeight - h) / 2;
    return Rect{left, top, left + w, top + h};
}

}  // namespace plat
