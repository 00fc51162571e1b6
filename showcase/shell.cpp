// The showcase's start-up step and frame: the screen, the shared pictures,
// key polling, scene stepping with Page Down / Page Up (Tab / Shift+Tab),
// the scene's name and keys on top, and the present.
#include <cmath>
#include <cstring>

#include "draw/krDraw.h"
#include "platform/os/types.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

ShowcasePictures showcasePictures;
float showcaseSceneTime = 0.0f;
long showcaseSceneFrame = 0;

namespace {

constexpr float kStep = 1.0f / 60.0f;
constexpr int kLoadMode = 2;

int startScene = 0;
int currentScene = -1;

// Press states of the keys the showcase reads (held keys), polled once per
// frame, and the keys pressed since the last frame.
std::int32_t keyState[256] = {};
std::int32_t lastBackgroundKey = 0;
int pageDownReleases = 0;
bool pressed[256] = {};  // went down since the last frame

constexpr int kPolledKeys[] = {plat::VK_NEXT,  plat::VK_PRIOR, plat::VK_TAB,   plat::VK_SHIFT, plat::VK_SPACE,
                               plat::VK_LEFT,  plat::VK_UP,    plat::VK_RIGHT, plat::VK_DOWN,  plat::VK_RETURN,
                               plat::VK_HOME,  plat::VK_END,   '1', '2', '3', '4', '5', '6', '7', '8', '9', '0',
                               'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P',
                               'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z'};

void PollKeys() {
    for (int vk : kPolledKeys) krSystem::PollKey(vk, keyState[vk]);
    // A press is the key-down message itself (lastKey), so that a tap that
    // goes down and up between two polls still counts. It waits while a
    // transition runs, when the scene could not change anyway.
    std::memset(pressed, 0, sizeof pressed);
    const std::int32_t typed = krSystemState.lastKey;
    if (typed > 0 && typed < 256 && krDraw::transition.direction == 0) {
        pressed[typed] = true;
        krSystemState.lastKey = 0;
    }
    // While the scrolling background runs, polls give 0 and a key press
    // reaches only backgroundKey: take its changes as presses. A tap inside
    // one frame leaves no trace there, so Page Down is also counted by its
    // releases (the watched key), and only so while the background runs.
    const std::int32_t bk = krSystemState.backgroundKey;
    if (bk > 0 && bk < 256 && bk != lastBackgroundKey && bk != plat::VK_NEXT) pressed[bk] = true;
    lastBackgroundKey = bk;
    const int releases = krSystem::WatchedKeyCount();
    if (krDraw::background.on && releases != pageDownReleases) pressed[plat::VK_NEXT] = true;
    pageDownReleases = releases;
}

void EnterScene(int index) {
    const std::vector<ShowcaseScene>& scenes = ShowcaseScenes();
    if (currentScene >= 0 && scenes[currentScene].leave) scenes[currentScene].leave();
    currentScene = index;
    showcaseSceneTime = 0.0f;
    showcaseSceneFrame = 0;
    if (scenes[index].enter) scenes[index].enter();
}

// A scene change goes through the main loop: the covering transition
// starts and the scene number moves off 1, so the loop only presents while
// the screen is covered; when the cover is complete the loop sets the scene
// back to 1 (nextScene), marks the change, and the next frame enters the
// pending scene and uncovers it.
constexpr int kCoveringScene = 2;
int pendingScene = -1;

void RequestScene(int index) {
    if (krDraw::transition.direction != 0) return;  // one change at a time
    pendingScene = index;
    krDraw::StartCover();
    krSystemState.nextScene = 1;
    krSystemState.scene = kCoveringScene;
}

void EnterPendingScene() {
    if (pendingScene < 0 || krSystemState.sceneChanged == 0) return;
    EnterScene(pendingScene);
    pendingScene = -1;
    krDraw::StartUncover();
}

void StepScene(int delta) {
    const int count = static_cast<int>(ShowcaseScenes().size());
    RequestScene(((currentScene + delta) % count + count) % count);
}

void HandleNavigation() {
    int delta = 0;
    if (ShowcasePressed(plat::VK_NEXT)) delta = 1;
    if (ShowcasePressed(plat::VK_PRIOR)) delta = -1;
    if (ShowcasePressed(plat::VK_TAB)) delta = ShowcaseHeld(plat::VK_SHIFT) ? -1 : 1;
    if (delta != 0) StepScene(delta);
}

void DrawHeader() {
    const std::vector<ShowcaseScene>& scenes = ShowcaseScenes();
    const ShowcaseScene& s = scenes[currentScene];
    krDraw::Printf(8, 6, " %d/%d  %s ", currentScene + 1, static_cast<int>(scenes.size()), s.title);
    krDraw::Printf(8, 22, " PgDn/Tab: next   PgUp/Shift+Tab: back   Esc: end   %s ", s.keys);
}

void LoadPictures() {
    ShowcasePictures& p = showcasePictures;
    krDraw::SetColorKey(0);
    p.backdrop = krDraw::LoadObject("showcase\\backdrop.bmp", kLoadMode);
    p.sprites = krDraw::LoadObject("showcase\\sprites.bmp", kLoadMode);
    p.card = krDraw::LoadObject("showcase\\card.bmp", kLoadMode);
    p.emblem = krDraw::LoadObject("showcase\\emblem.bmp", kLoadMode);
    p.cover = krDraw::LoadObject("showcase\\cover.bmp", kLoadMode);
    p.band = krDraw::LoadObject("showcase\\band.bmp", kLoadMode);
    p.tile = krDraw::LoadObject("showcase\\tile.bmp", kLoadMode);
}

}  // namespace

bool ShowcasePressed(int vk) {
    if (vk <= 0 || vk >= 256) return false;
    return pressed[vk];
}

bool ShowcaseHeld(int vk) {
    if (vk <= 0 || vk >= 256) return false;
    return keyState[vk] == 1 || keyState[vk] == 3 || krSystemState.backgroundKey == vk;
}

const std::vector<ShowcaseScene>& ShowcaseScenes() {
    static const std::vector<ShowcaseScene> scenes = [] {
        std::vector<ShowcaseScene> all;
        AddDrawingScenes(all);
        AddBlendScenes(all);
        AddStripScenes(all);
        AddScreenScenes(all);
        AddMessageScenes(all);
        AddRotationScenes(all);
        AddSoundScenes(all);
        AddMusicScenes(all);
        return all;
    }();
    return scenes;
}

int FindShowcaseScene(const std::string& name) {
    const std::vector<ShowcaseScene>& scenes = ShowcaseScenes();
    for (std::size_t i = 0; i < scenes.size(); ++i)
        if (name == scenes[i].name) return static_cast<int>(i);
    return -1;
}

void SetShowcaseStartScene(int index) { startScene = index; }
void ShowcaseReplayScene() { RequestScene(currentScene); }
int CurrentShowcaseScene() { return currentScene; }

void DrawBackdrop() {
    krDraw::BlitOpaque(0, 0, showcasePictures.backdrop, 0, 0, 800, 600);
}

void Label(int x, int y, const char* text) {
    krDraw::SetFont(1, 12, 0, 400, 0, 0);
    krDraw::SetFontColor(0xFFFFFF, 0x000000, 0);
    krDraw::DrawString(x, y, text);
    krDraw::ReleaseFont();
}

void ShowcaseStartup() {
    krDraw::Screen(800, 600, 1);
    LoadPictures();
    krDraw::LoadTransition("showcase\\cover.bmp");
    krSystem::SetFrameRate(60);
    krSystem::WatchKey(plat::VK_NEXT);
    currentScene = -1;
    EnterScene(startScene);
    krSystemState.scene = 1;
    krSystemState.previousScene = 0;
}

void ShowcaseFrame() {
    // A fixed step, so that every run shows the same frames.
    krSystemState.frameTime = kStep;
    EnterPendingScene();
    PollKeys();
    HandleNavigation();
    krDraw::ClearScreen();
    ShowcaseScenes()[currentScene].frame();
    DrawHeader();
    krDraw::Present();
    showcaseSceneTime += kStep;
    ++showcaseSceneFrame;
}
