// Window placement arithmetic, shared by the engine and both edges: where a
// window goes on the desktop, and where a screen of one size is shown inside
// a client area of another. Pure functions of sizes and rectangles.
//
// A desktop whose size is unknown (0 or less, as a display may report while
// it is still starting) is never used to centre on: the caller then lets the
// window system place the window (kWindowCentred).
#pragma once
#include <climits>

#include "platform/os/types.h"

namespace plat {

// A window position meaning "centre it on the desktop, whatever its size
// turns out to be": the edge works it out when it makes the window.
constexpr int kWindowCentred = INT_MIN;

// True when the desktop rectangle has an area.
bool DesktopKnown(const Rect& desktop);

// The top-left corner that centres a width x height window on the desktop.
// A window larger than the desktop starts at the desktop's top-left corner,
// so that its client area begins on the desktop. An unknown desktop gives
// kWindowCentred in both coordinates.
Point CentredOrigin(const Rect& desktop, int width, int height);

// A requested top-left corner moved as little as needed for the window to
// lie on the desktop (a window larger than the desktop gets its top-left
// corner). kWindowCentred in either coordinate centres on that axis. An
// unknown desktop keeps the request, except that kWindowCentred stays.
Point KeptOnDesktop(const Rect& desktop, Point requested, int width, int height);

// Where a screen of screenWidth x screenHeight is shown in an area of
// areaWidth x areaHeight (left and top relative to the area, right and
// bottom exclusive): centred at the largest whole multiple of its size that
// fits. A screen larger than the area is shrunk to the largest size of its
// own aspect that fits, centred, so nothing of it is ever cut off. Empty
// for empty sizes.
Rect ScreenInArea(int areaWidth, int areaHeight, int screenWidth, int screenHeight);

// A point of the area mapped into the screen shown at `place` (points
// outside the place map outside the screen), and a point of the screen back
// to the centre of its pixel in the area. A place of the screen's own size
// maps every point onto itself, shifted by the place's corner.
Point AreaToScreen(const Rect& place, int screenWidth, int screenHeight, Point area);
Point ScreenToArea(const Rect& place, int screenWidth, int screenHeight, Point screen);

// The largest rectangle of the screen's aspect centred in the area.
Rect AspectFit(int areaWidth, int areaHeight, int screenWidth, int screenHeight);

}  // namespace plat
