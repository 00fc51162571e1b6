// Scenes of the strip effects (waves, scrolling tiles, repeated rows,
// scanlines, jitter, the rolling drum) and of the scaled copies.
#include <cmath>

#include "draw/krDraw.h"
#include "platform/os/types.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

namespace {

constexpr int kCardW = 200, kCardH = 150;

void FrameStrips() {
    const ShowcasePictures& p = showcasePictures;
    const int card = p.card;
    krDraw::TileScroll(-24.0f, -16.0f, p.tile, 0, 0, 64, 48);
    const int repeat = 1 + static_cast<int>(showcaseSceneTime * 2) % 8;
    const int columns[4] = {0, 200, 400, 600};
    Label(columns[0] + 8, 48, "WaveBlit");
    krDraw::WaveBlit(columns[0], 64, 10, 1, 180.0f, card, 0, 0, kCardW, kCardH, 0);
    Label(columns[1] + 8, 48, "WaveScrollBlit");
    krDraw::WaveScrollBlit(columns[1], 64, 6, 2, 120.0f, 40.0f, card, 0, 0, kCardW, kCardH);
    Label(columns[2] + 8, 48, "RowRepeatBlit");
    krDraw::RowRepeatBlit(columns[2], 64, repeat, card, 0, 0, kCardW, kCardH);
    Label(columns[3] + 8, 48, "RollBlit");
    krDraw::RollBlit(columns[3], 64, 1, 50.0f, card, 0, 0, kCardW, kCardH);
    Label(columns[0] + 8, 232, "ScanlineBlit gap 2");
    krDraw::ScanlineBlit(columns[0], 248, 2, card, 0, 0, kCardW, kCardH);
    Label(columns[1] + 8, 232, "ScanlineBlit gap -4");
    krDraw::ScanlineBlit(columns[1], 248, -4, card, 0, 0, kCardW, kCardH);
    Label(columns[2] + 8, 232, "JitterBlit");
    krDraw::JitterBlit(columns[2], 248, 3, card, 0, 0, kCardW, kCardH);
    Label(columns[3] + 8, 232, "TileScroll (behind)");
    Label(8, 420, "WaveTile: a band of waving tiles");
    krDraw::WaveTile(440, 600, 12, 2, 90.0f, 20.0f, p.sprites, 0, 0, 64, 64);
}

void FrameScaled() {
    const ShowcasePictures& p = showcasePictures;
    DrawBackdrop();
    const float t = showcaseSceneTime;
    Label(24, 48, "StretchBlit: keyed, breathing");
    for (int i = 0; i < 4; ++i) {
        const float phase = t * 2.5f + i * 0.8f;
        const int w = 40 + static_cast<int>(60 * (1 + std::sin(phase)));
        const int h = 40 + static_cast<int>(60 * (1 + std::cos(phase * 0.7f)));
        krDraw::StretchBlit(40 + i * 180 + (160 - w) / 2, 200 - h / 2, p.sprites, i * 64, 0, i * 64 + 64, 64, w, h);
    }
    Label(24, 330, "StretchBlitOpaque: x1/2, x1, x3/2 (nearest)");
    krDraw::StretchBlitOpaque(24, 350, p.card, 0, 0, kCardW, kCardH, 100, 75);
    krDraw::StretchBlitOpaque(140, 350, p.card, 0, 0, kCardW, kCardH, 200, 150);
    krDraw::StretchBlitOpaque(356, 350, p.card, 0, 0, kCardW, kCardH, 300, 225);
    Label(672, 350, "x8 of a");
    Label(672, 364, "32x32 corner");
    krDraw::StretchBlitOpaque(672, 380, p.sprites, 16, 16, 32, 32, 128, 128);
}

}  // namespace

void AddStripScenes(std::vector<ShowcaseScene>& scenes) {
    scenes.push_back({"strips", "Strip effects", "-", nullptr, &FrameStrips, nullptr});
    scenes.push_back({"scaled", "Scaled copies", "-", nullptr, &FrameScaled, nullptr});
}
