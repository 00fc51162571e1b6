// The showcase: a second program on the engine's own shell that shows its
// services scene by scene. The shell (showcase/shell.cpp) loads the shared
// pictures, steps between scenes with the main loop's covering transition,
// draws each scene's name and keys, and presents; each scenes_*.cpp file
// adds the scenes of one group of services.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text/cp932_literal.h"

// The window caption and single-instance name, apart from the game's so
// both can run side by side.
inline constexpr const char* kShowcaseTitle = u8"kr ショーケース"_cp932;

struct ShowcaseScene {
    const char* name;   // short name for the headless driver's --scene
    const char* title;  // shown at the top of the screen
    const char* keys;   // the scene's own keys, shown under the title
    void (*enter)();    // may be null
    void (*frame)();    // draws the scene on the back screen
    void (*leave)();    // may be null
};

// The pictures every scene may use (image object handles).
struct ShowcasePictures {
    int backdrop = 0, sprites = 0, card = 0, emblem = 0, cover = 0, band = 0, tile = 0;
};
extern ShowcasePictures showcasePictures;

// Seconds and frames since the current scene was entered.
extern float showcaseSceneTime;
extern long showcaseSceneFrame;

// Keys as the shell reads them once per frame: pressed since the last frame
// (however short the press), or held now.
bool ShowcasePressed(int vk);
bool ShowcaseHeld(int vk);

// The scenes in showing order, and the one the program starts with.
const std::vector<ShowcaseScene>& ShowcaseScenes();
int FindShowcaseScene(const std::string& name);  // -1 when unknown
void SetShowcaseStartScene(int index);
int CurrentShowcaseScene();

// The steps given to krSystem::SetGameSteps.
void ShowcaseStartup();
void ShowcaseFrame();

// Group registrations, in showing order (scenes_*.cpp).
void AddDrawingScenes(std::vector<ShowcaseScene>& scenes);
void AddBlendScenes(std::vector<ShowcaseScene>& scenes);
void AddStripScenes(std::vector<ShowcaseScene>& scenes);
void AddScreenScenes(std::vector<ShowcaseScene>& scenes);
void AddMessageScenes(std::vector<ShowcaseScene>& scenes);
void AddRotationScenes(std::vector<ShowcaseScene>& scenes);
void AddSoundScenes(std::vector<ShowcaseScene>& scenes);
void AddMusicScenes(std::vector<ShowcaseScene>& scenes);

// Covers the screen and enters the current scene afresh when uncovering.
void ShowcaseReplayScene();

// Small drawing helpers shared by the scenes.
void DrawBackdrop();
// A caption for a part of a scene, in the scene's own small text.
void Label(int x, int y, const char* text);
