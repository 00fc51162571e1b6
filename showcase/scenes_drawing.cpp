// Scenes of the plain drawing services: opaque and keyed copies, fills,
// half fills, shapes through the canvas and single pixels.
#include <cmath>

#include "draw/krDraw.h"
#include "platform/pixels/surface.h"
#include "platform/os/types.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::uint32_t Pixel(int r, int g, int b) { return plat::MapRGB(krScreen.back->format, r, g, b); }

struct Walker {
    float x = 560, y = 420;
} walker;

void EnterBlits() { walker = Walker{}; }

void DrawFills() {
    Label(24, 52, "FillRect / HalfFillRect / ClearRect / WhiteRect / FrameRect");
    const int colours[6][3] = {{230, 60, 60}, {240, 170, 40}, {240, 230, 60}, {60, 200, 90}, {60, 130, 230}, {150, 80, 210}};
    for (int i = 0; i < 6; ++i) krDraw::FillRect(24 + i * 40, 72, 60 + i * 40, 108, Pixel(colours[i][0], colours[i][1], colours[i][2]));
    krDraw::HalfFillRect(40, 90, 240, 140, Pixel(0, 0, 0));
    krDraw::ClearRect(264, 72, 300, 108);
    krDraw::WhiteRect(304, 72, 340, 108);
    krDraw::FrameRect(24, 150, 340, 156);
}

void DrawShapes() {
    Label(24, 168, "DrawLine / DrawRect / DrawPolygon / DrawBezier / SetScreenPixel");
    const float t = showcaseSceneTime;
    for (int i = 0; i < 12; ++i) {
        const double a = t * 0.8 + i * kPi / 6;
        krDraw::DrawLine(100, 260, 100 + static_cast<int>(70 * std::cos(a)), 260 + static_cast<int>(70 * std::sin(a)),
                         0x00FFFF - 0x1500 * i, 1 + i % 3);
    }
    krDraw::DrawRect(190, 200, 330, 320, 0x603020, 0x40C0FF, 3);
    const plat::Point star[5] = {{260, 205}, {300, 315}, {200, 245}, {320, 245}, {220, 315}};
    krDraw::DrawPolygon(star, 5, 0x30F0F0, 0x000000, 1, 2);
    const int lift = static_cast<int>(60 * std::sin(t * 2));
    const plat::Point curve[4] = {{30, 420}, {110, 340 - lift}, {220, 500 + lift}, {330, 400}};
    krDraw::DrawBezier(curve, 4, 0x80FF80, 3);
    for (int i = 0; i < 200; ++i) {
        const int x = 24 + (i * 37) % 310, y = 450 + (i * 53 + static_cast<int>(t * 60)) % 120;
        krDraw::SetScreenPixel(x, y, (i % 2) ? 0xFFFFFF : 0x60E0FF);
    }
}

void DrawCopies() {
    const ShowcasePictures& p = showcasePictures;
    Label(400, 52, "BlitOpaque: the sheet as it is");
    krDraw::BlitOpaque(400, 72, p.sprites, 0, 0, 256, 64);
    Label(400, 150, "Blit: keyed on black, animated, arrows walk");
    const int frame = static_cast<int>(showcaseSceneTime * 8) % 4;
    for (int i = 0; i < 5; ++i) {
        const int hop = static_cast<int>(std::fabs(std::sin(showcaseSceneTime * 3 + i)) * 50);
        krDraw::Blit(400 + i * 72, 240 - hop, p.sprites, ((frame + i) % 4) * 64, 0, ((frame + i) % 4) * 64 + 64, 64);
    }
    // The walker: arrow keys, clipped at the screen's edges.
    const float speed = 200 * krSystemState.frameTime;
    if (ShowcaseHeld(plat::VK_LEFT)) walker.x -= speed;
    if (ShowcaseHeld(plat::VK_RIGHT)) walker.x += speed;
    if (ShowcaseHeld(plat::VK_UP)) walker.y -= speed;
    if (ShowcaseHeld(plat::VK_DOWN)) walker.y += speed;
    walker.x = std::fmin(std::fmax(walker.x, -60.0f), 796.0f);
    walker.y = std::fmin(std::fmax(walker.y, -60.0f), 596.0f);
    krDraw::Blit(static_cast<int>(walker.x), static_cast<int>(walker.y), p.sprites, 64, 0, 128, 64);
}

void FrameBlits() {
    DrawBackdrop();
    krDraw::HalfFillRect(16, 44, 348, 590, Pixel(0, 0, 40));
    DrawFills();
    DrawShapes();
    DrawCopies();
}

}  // namespace

void AddDrawingScenes(std::vector<ShowcaseScene>& scenes) {
    scenes.push_back({"blits", "Copies, fills and shapes", "Arrows: walk", &EnterBlits, &FrameBlits, nullptr});
}
