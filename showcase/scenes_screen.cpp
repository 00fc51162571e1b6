// Scenes of the screen transitions and the scrolling background. Every step
// between scenes covers and uncovers the screen through the main loop's own
// scene change (showcase/shell.cpp); the transition scene repeats it on
// Space. The background scene turns the drifting tiles and the tall band on.
#include "draw/krDraw.h"
#include "platform/os/types.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

namespace {

constexpr int kBandHeight = 1800;
constexpr int kHeaderBottom = 40;

void FrameTransition() {
    const ShowcasePictures& p = showcasePictures;
    DrawBackdrop();
    if (ShowcasePressed(plat::VK_SPACE)) ShowcaseReplayScene();
    Label(24, 60, "Every scene change runs the covering transition: while it covers, the main loop");
    Label(24, 76, "only presents; when it ends the loop changes scene, and the new scene uncovers.");
    Label(24, 108, "The pattern: ten cells of 64 x 48, one per present, tiled over the screen.");
    krDraw::BlitOpaque(80, 140, p.cover, 0, 0, 640, 48);
    for (int k = 0; k < 10; ++k) krDraw::Printf(80 + k * 64 + 26, 192, "%d", k);
}

plat::Rect savedClip;

void EnterBackground() {
    krDraw::LoadBackground("showcase\\band.bmp", "showcase\\tile.bmp", kBandHeight);
    // Keep the scene's name and keys readable above the background.
    savedClip = krScreen.clip;
    krScreen.clip.top = kHeaderBottom;
    if (!krDraw::background.on) krDraw::ToggleBackground();
}

void LeaveBackground() {
    if (krDraw::background.on) krDraw::ToggleBackground();
    krScreen.clip = savedClip;
}

void FrameBackground() {
    if (ShowcasePressed(plat::VK_SPACE)) krDraw::ToggleBackground();
    if (!krDraw::background.on) {
        DrawBackdrop();
        Label(24, 60, "The background is off: Space turns it on again.");
    }
}

}  // namespace

void AddScreenScenes(std::vector<ShowcaseScene>& scenes) {
    scenes.push_back({"transition", "Covering and uncovering transition", "Space: cover and uncover again", nullptr,
                      &FrameTransition, nullptr});
    scenes.push_back({"background", "Scrolling background", "Arrows: scroll the band   Space: on/off",
                      &EnterBackground, &FrameBackground, &LeaveBackground});
}
