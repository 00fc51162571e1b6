// Scenes of the rotations and texture mapping, the screen-region filters,
// the clip-rectangle wipes and the inverted rectangle.
#include <cmath>
#include <cstdio>

#include "draw/krDraw.h"
#include "platform/os/types.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

namespace {

constexpr int kEmblem = 128;

// ---- rotations ----

struct RotationScene {
    float angle = 0.0f;
    float speed = 60.0f;  // degrees per second
    float zoom = 1.5f;
    bool mapped = false;
} rotation;

void EnterRotation() { rotation = RotationScene{}; }

void FrameRotation() {
    RotationScene& r = rotation;
    const int emblem = showcasePictures.emblem;
    const float dt = krSystemState.frameTime;
    if (ShowcaseHeld(plat::VK_LEFT)) r.speed -= 90.0f * dt;
    if (ShowcaseHeld(plat::VK_RIGHT)) r.speed += 90.0f * dt;
    if (ShowcaseHeld(plat::VK_UP)) r.zoom = std::fmin(r.zoom * (1.0f + dt), 4.0f);
    if (ShowcaseHeld(plat::VK_DOWN)) r.zoom = std::fmax(r.zoom / (1.0f + dt), 0.25f);
    r.angle = std::fmod(r.angle + r.speed * dt + 360.0f, 360.0f);
    const int a = static_cast<int>(r.angle);
    const float pulse = 1.0f + 0.5f * std::sin(showcaseSceneTime * 2.0f);

    // The mapped tunnel fills the lower band: the tile's bricks wrapped
    // round a centre, moving inwards.
    if (!r.mapped) r.mapped = krDraw::MakeTextureMap(800, 200, -1, -1, 0) == 1;
    const int drift = static_cast<int>(showcaseSceneTime * 40.0f);
    DrawBackdrop();
    krDraw::TextureMapBlit(0, 400, drift / 2, drift, showcasePictures.tile, 0, 0, 64, 48);

    const int boxes[6] = {8, 140, 272, 404, 536, 668};
    Label(boxes[0], 48, "RotateBlit");
    krDraw::RotateBlit(boxes[0], 64, boxes[0] + 128, 192, a, emblem, 0, 0, kEmblem, kEmblem);
    Label(boxes[1], 48, "RotateMirrorBlit");
    krDraw::RotateMirrorBlit(boxes[1], 64, boxes[1] + 128, 192, a, emblem, 0, 0, kEmblem, kEmblem);
    Label(boxes[2], 48, "RotateZoomBlit");
    krDraw::RotateZoomBlit(boxes[2], 64, boxes[2] + 128, 192, a, r.zoom * pulse * 0.5f, emblem, 0, 0, kEmblem, kEmblem);
    Label(boxes[3], 48, "RotateZoomMirror");
    krDraw::RotateZoomMirrorBlit(boxes[3], 64, boxes[3] + 128, 192, a, r.zoom * 0.5f, emblem, 0, 0, kEmblem, kEmblem);
    Label(boxes[4], 48, "RotateZoomAlpha");
    krDraw::RotateZoomAlphaBlit(boxes[4], 64, boxes[4] + 128, 192, 360 - a, r.zoom * 0.5f,
                                static_cast<int>(16 + 15 * std::sin(showcaseSceneTime * 1.5f)), emblem, 0, 0, kEmblem,
                                kEmblem);
    Label(boxes[5], 48, "RotateScaleBlit");
    krDraw::RotateScaleBlit(boxes[5] + 64, 128, r.angle * 0.5f, 0.6f * pulse, 0.6f, emblem, 0, 0, kEmblem, kEmblem);

    Label(8, 220, "The sprites turning and zooming:");
    for (int i = 0; i < 4; ++i) {
        const float z = r.zoom * (0.8f + 0.4f * std::sin(showcaseSceneTime * 2.0f + static_cast<float>(i)));
        krDraw::RotateZoomBlit(40 + i * 190, 236, 40 + i * 190 + 150, 386, (a * (i + 1)) % 360, z, showcasePictures.sprites,
                               i * 64, 0, i * 64 + 64, 64);
    }
    Label(8, 384, "TextureMapBlit: the brick tile through a distance table");
    char line[96];
    std::snprintf(line, sizeof line, "angle %3d   speed %+.0f deg/s   zoom %.2f", a, r.speed, r.zoom);
    Label(560, 384, line);
}

// ---- filters ----

struct Filter {
    const char* name;
    int (*apply)(int x, int y, int w, int h);
};

const Filter kFilters[] = {
    {"SmoothRect", [](int x, int y, int w, int h) { return krDraw::SmoothRect(x, y, w, h); }},
    {"SmoothRectRGB (red, blue)", [](int x, int y, int w, int h) { return krDraw::SmoothRectRGB(x, y, w, h, 1, 0, 1); }},
    {"SmokeRect", [](int x, int y, int w, int h) { return krDraw::SmokeRect(x, y, w, h); }},
    {"SmokeRectRGB (green)", [](int x, int y, int w, int h) { return krDraw::SmokeRectRGB(x, y, w, h, 0, 1, 0); }},
    {"EnlargeRect", [](int x, int y, int w, int h) { return krDraw::EnlargeRect(x, y, w / 2, h / 2, 0); }},
    {"EnlargeRect scanlines", [](int x, int y, int w, int h) { return krDraw::EnlargeRect(x, y, w / 2, h / 2, 1); }},
    {"MosaicRect", [](int x, int y, int w, int h) { return krDraw::MosaicRect(x, y, w, h, 12); }},
    {"NoiseRect", [](int x, int y, int w, int h) { return krDraw::NoiseRect(x, y, w, h, 1); }},
    {"NoiseRectRGB (red)", [](int x, int y, int w, int h) { return krDraw::NoiseRectRGB(x, y, w, h, 2, 1, 0, 0); }},
    {"InvertRect", [](int x, int y, int w, int h) { return krDraw::InvertRect(x, y, x + w, y + h); }},
};

constexpr int kFilterW = 190, kFilterH = 120;

void FrameFilters() {
    DrawBackdrop();
    // The same busy content under every filter: the creatures hopping.
    for (int i = 0; i < 10; ++i) {
        const int x = 8 + (i % 4) * 198, y = 52 + (i / 4) * 180;
        for (int k = 0; k < 3; ++k) {
            const int hop = static_cast<int>(std::fabs(std::sin(showcaseSceneTime * 3.0f + k + i)) * 30.0f);
            krDraw::Blit(x + 8 + k * 58, y + 40 - hop, showcasePictures.sprites, ((i + k) % 4) * 64, 0,
                         ((i + k) % 4) * 64 + 64, 64);
        }
    }
    for (int i = 0; i < 10; ++i) {
        const int x = 8 + (i % 4) * 198, y = 52 + (i / 4) * 180;
        kFilters[i].apply(x, y + 16, kFilterW, kFilterH);
        Label(x, y, kFilters[i].name);
    }
}

// ---- wipes ----

struct WipeScene {
    int type = 1;
    bool closing = false;
    float rest = 0.0f;  // pause between two wipes
    bool started = false;
} wipes;

void EnterWipes() { wipes = WipeScene{}; }

void LeaveWipes() {
    // A closed screen stays closed across scenes unless it is opened.
    if (krDraw::wipe.state != 0) {
        krScreen.clip = krDraw::wipe.saved;
        krDraw::wipe.state = 0;
    }
}

void FrameWipes() {
    WipeScene& w = wipes;
    for (int digit = 1; digit <= 9; ++digit) {
        if (!ShowcasePressed('0' + digit)) continue;
        LeaveWipes();
        w = WipeScene{};
        w.type = digit;
    }
    if (!w.started) {
        w.started = krDraw::StartWipe(w.closing ? 1 : 0, w.type, 500.0f, 40) == 1;
    } else if (krDraw::wipe.state == 0 || krDraw::wipe.state == -1) {
        // Finished: rest a little, then the opposite direction; after a
        // closing the next type opens.
        w.rest += krSystemState.frameTime;
        if (w.rest >= 0.4f) {
            w.rest = 0.0f;
            w.started = false;
            if (w.closing) w.type = w.type % 9 + 1;
            w.closing = !w.closing;
        }
    }
    krDraw::ClearScreen();
    DrawBackdrop();  // clipped: only the wipe's rectangle shows it
    for (int i = 0; i < 6; ++i)
        krDraw::Blit(60 + i * 120, 400, showcasePictures.sprites, (i % 4) * 64, 0, (i % 4) * 64 + 64, 64);
    if (w.started) krDraw::StepWipe();
    char line[96];
    std::snprintf(line, sizeof line, "StartWipe type %d, %s   (StepWipe each frame)", w.type,
                  w.closing ? "closing" : "opening");
    Label(8, 48, line);
}

}  // namespace

void AddRotationScenes(std::vector<ShowcaseScene>& scenes) {
    scenes.push_back({"rotation", "Rotation, zoom and texture mapping", "Left/Right: turn speed   Up/Down: zoom",
                      &EnterRotation, &FrameRotation, nullptr});
    scenes.push_back({"filters", "Screen filters", "-", nullptr, &FrameFilters, nullptr});
    scenes.push_back({"wipes", "Clip wipes opening and closing", "1-9: wipe type", &EnterWipes, &FrameWipes, &LeaveWipes});
}
