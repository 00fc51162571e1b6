// Every per-pixel blend side by side, each drawing the same piece of the
// card over the same part of the backdrop, with its parameter swinging.
#include <cmath>

#include "draw/krDraw.h"
#include "platform/pixels/surface.h"
#include "platform/os/types.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

namespace {

// The piece of the card every blend draws: frame, glass and the round
// see-through window (pixels of value 0 are skipped by every blend).
constexpr int kL = 45, kT = 35, kR = 155, kB = 115;
constexpr int kColumns = 7, kCellW = 114, kCellH = 176, kFirstRow = 56;
// The piece of the backdrop under every blend.
constexpr int kBackLeft = 520, kBackTop = 270;
// Rows of the gradients' piece drawn at their start values.
constexpr int kGradientStart = 8;

struct BlendScene {
    bool paused = false;
    float time = 0.0f;
} blend;

// 0..1, swinging once every few seconds.
float Swing(float speed) { return 0.5f + 0.5f * std::sin(blend.time * speed); }
int Level(float speed) { return static_cast<int>(Swing(speed) * 31.0f + 0.5f); }

using Draw = void (*)(int x, int y, int card);

struct Member {
    const char* name;
    Draw draw;
};

const Member kMembers[] = {
    {"HalfBlit", [](int x, int y, int c) { krDraw::HalfBlit(x, y, c, kL, kT, kR, kB); }},
    {"AlphaBlit", [](int x, int y, int c) { krDraw::AlphaBlit(x, y, Swing(1.3f), c, kL, kT, kR, kB); }},
    {"AlphaBlitRGB",
     [](int x, int y, int c) { krDraw::AlphaBlitRGB(x, y, Swing(1.1f), Swing(1.7f), Swing(2.3f), c, kL, kT, kR, kB); }},
    // The gradients run down the piece from its ninth row. The alpha one
    // starts as an even mix of card and backdrop and lets the backdrop go
    // over the next 64 rows, leaving the card at half strength; the fade
    // starts at the backdrop alone and brings the card in over 62 rows.
    {"AlphaGradient",
     [](int x, int y, int c) {
         krDraw::AlphaGradientBlit(x, y, 0.5f, 0.5f, 0.5f, 1, kGradientStart, 4, c, kL, kT, kR, kB);
     }},
    {"FadeBlit", [](int x, int y, int c) { krDraw::FadeBlit(x, y, Level(1.3f), c, kL, kT, kR, kB); }},
    {"FadeBlitRGB",
     [](int x, int y, int c) { krDraw::FadeBlitRGB(x, y, Level(1.1f), Level(1.7f), Level(2.3f), c, kL, kT, kR, kB); }},
    {"FadeGradient",
     [](int x, int y, int c) { krDraw::FadeGradientBlit(x, y, 0, 0, 0, 1, kGradientStart, 2, c, kL, kT, kR, kB); }},
    {"AddBlit", [](int x, int y, int c) { krDraw::AddBlit(x, y, c, kL, kT, kR, kB); }},
    {"AddAlphaBlit", [](int x, int y, int c) { krDraw::AddAlphaBlit(x, y, Swing(1.5f), c, kL, kT, kR, kB); }},
    {"SubBlit", [](int x, int y, int c) { krDraw::SubBlit(x, y, c, kL, kT, kR, kB); }},
    {"DarkBlit", [](int x, int y, int c) { krDraw::DarkBlit(x, y, Level(1.3f), c, kL, kT, kR, kB); }},
    {"DarkBlitRGB",
     [](int x, int y, int c) { krDraw::DarkBlitRGB(x, y, Level(1.1f), Level(1.7f), Level(2.3f), c, kL, kT, kR, kB); }},
    {"BrightBlit", [](int x, int y, int c) { krDraw::BrightBlit(x, y, Swing(1.3f), c, kL, kT, kR, kB); }},
    {"BrightBlitRGB",
     [](int x, int y, int c) { krDraw::BrightBlitRGB(x, y, Swing(1.1f), Swing(1.7f), Swing(2.3f), c, kL, kT, kR, kB); }},
    {"ChannelBlit",
     [](int x, int y, int c) {
         const int mask = static_cast<int>(blend.time) % 7 + 1;
         krDraw::ChannelBlit(x, y, mask & 1, mask & 2, mask & 4, c, kL, kT, kR, kB);
     }},
    {"GrayBlit", [](int x, int y, int c) { krDraw::GrayBlit(x, y, c, kL, kT, kR, kB); }},
    {"BlurBlit", [](int x, int y, int c) { krDraw::BlurBlit(x, y, 1 + Level(0.9f) / 6, c, kL, kT, kR, kB); }},
    {"SmoothEdgeBlit", [](int x, int y, int c) { krDraw::SmoothEdgeBlit(x, y, c, kL, kT, kR, kB); }},
    {"RefractBlit", [](int x, int y, int c) { krDraw::RefractBlit(x, y, Swing(1.2f), c, kL, kT, kR, kB); }},
    {"FlipBlit", [](int x, int y, int c) { krDraw::FlipBlit(x, y, static_cast<int>(blend.time) % 4, c, kL, kT, kR, kB); }},
    {"SmearBlit", [](int x, int y, int c) { krDraw::SmearBlit(x, y, 0, 30 + Level(1.0f) * 2, c, kL, kT, kR, kB); }},
};

void EnterBlends() { blend = BlendScene{}; }

void FrameBlends() {
    if (ShowcasePressed(plat::VK_SPACE)) blend.paused = !blend.paused;
    krDraw::FillRect(0, 0, 800, 600, plat::MapRGB(krScreen.back->format, 16, 20, 48));
    const int card = showcasePictures.card;
    int i = 0;
    for (const Member& m : kMembers) {
        const int x = 4 + (i % kColumns) * kCellW, y = kFirstRow + (i / kColumns) * kCellH;
        Label(x, y, m.name);
        // The same piece of the backdrop (sun, hills and meadow) under each.
        krDraw::BlitOpaque(x, y + 16, showcasePictures.backdrop, kBackLeft, kBackTop, kBackLeft + (kR - kL),
                           kBackTop + (kB - kT));
        m.draw(x, y + 16, card);
        ++i;
    }
    if (!blend.paused) blend.time += krSystemState.frameTime;
}

}  // namespace

void AddBlendScenes(std::vector<ShowcaseScene>& scenes) {
    scenes.push_back({"blends", "Per-pixel blends over the same picture", "Space: hold the parameters", &EnterBlends,
                      &FrameBlends, nullptr});
}
