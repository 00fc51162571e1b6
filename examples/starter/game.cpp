// The starter game: a little walker on a field. The arrow keys walk it,
// Space rings a chime, a tune plays all along, a line of Japanese text sits
// on top; Escape ends the game (the engine itself does that). Its Japanese
// text is written u8"..."_cp932: code page 932, the engine's encoding, with
// every compiler.
#include "game.h"

#include <cstdint>

#include "draw/krDraw.h"
#include "platform/os/types.h"
#include "platform/text/cp932_literal.h"
#include "sound/krSound.h"
#include "system/krSystem.h"

const char* const kStarterTitle = u8"スターター"_cp932;

namespace {

constexpr int kScreenWidth = 640, kScreenHeight = 480;
constexpr int kWalkerSize = 32;        // one pose of walker.bmp; two poses side by side
constexpr float kStep = 1.0f / 60.0f;  // a fixed step: every run shows the same frames
constexpr float kSpeed = 120.0f;       // pixels per second
constexpr int kLoadMode = 2;

struct Walker {
    float x = (kScreenWidth - kWalkerSize) / 2.0f;
    float y = (kScreenHeight - kWalkerSize) / 2.0f;
    int pose = 0;
    float poseTime = 0.0f;
};

struct Keys {
    std::int32_t left = 0, right = 0, up = 0, down = 0, space = 0;
};

int walkerPicture = 0;
int chime = 0;
Walker walker;
Keys keys;

// Press states from krSystem::PollKey: 1 just went down, 3 held.
bool Held(std::int32_t state) { return state == 1 || state == 3; }

float Clamp(float value, float low, float high) { return value < low ? low : (value > high ? high : value); }

void PollKeys() {
    krSystem::PollKey(plat::VK_LEFT, keys.left);
    krSystem::PollKey(plat::VK_RIGHT, keys.right);
    krSystem::PollKey(plat::VK_UP, keys.up);
    krSystem::PollKey(plat::VK_DOWN, keys.down);
    krSystem::PollKey(plat::VK_SPACE, keys.space);
}

void Walk() {
    const float dx = (Held(keys.right) ? 1.0f : 0.0f) - (Held(keys.left) ? 1.0f : 0.0f);
    const float dy = (Held(keys.down) ? 1.0f : 0.0f) - (Held(keys.up) ? 1.0f : 0.0f);
    walker.x = Clamp(walker.x + dx * kSpeed * krSystemState.frameTime, 0.0f, kScreenWidth - kWalkerSize);
    walker.y = Clamp(walker.y + dy * kSpeed * krSystemState.frameTime, 40.0f, kScreenHeight - kWalkerSize);
    if (dx == 0.0f && dy == 0.0f) return;
    walker.poseTime += krSystemState.frameTime;
    if (walker.poseTime >= 0.15f) {  // step every 0.15 s while walking
        walker.poseTime = 0.0f;
        walker.pose ^= 1;
    }
}

void DrawField() {
    krDraw::DrawRect(0, 0, kScreenWidth, kScreenHeight, 0x3C7A3C, 0x3C7A3C, 1);  // grass, 0x00BBGGRR
    for (int x = 20; x < kScreenWidth; x += 80)
        for (int y = 60; y < kScreenHeight; y += 60) krDraw::DrawLine(x, y, x + 6, y - 8, 0x58A058, 2);
}

void DrawCaption() {
    krDraw::SetFont(1, 20, 0, 400, 0, 0);
    krDraw::SetFontColor(0xFFFFFF, 0x000000, 0);
    krDraw::DrawString(12, 10, u8"矢印キーで歩く、スペースで鐘、Escで終わり"_cp932);
    krDraw::ReleaseFont();
}

}  // namespace

void StarterStartup() {
    krDraw::Screen(kScreenWidth, kScreenHeight, 1);  // also starts sound and music
    krDraw::SetColorKey(0);                          // black is see-through
    walkerPicture = krDraw::LoadObject("walker.bmp", kLoadMode);
    chime = krSound::LoadObject("chime.wav", 2);  // two voices: a quick second ring overlaps the first
    krSound::PlayMidi("tune.mid", 1);             // loops until the game ends
    krSystem::SetFrameRate(60);
    krSystemState.scene = 1;  // the main loop runs the frame while the scene is 1
}

void StarterFrame() {
    krSystemState.frameTime = kStep;
    PollKeys();
    Walk();
    if (keys.space == 1) krSound::Play(chime, -2);  // the next voice in turn
    DrawField();
    const int left = walker.pose * kWalkerSize;
    krDraw::Blit(static_cast<int>(walker.x), static_cast<int>(walker.y), walkerPicture, left, 0, left + kWalkerSize,
                 kWalkerSize);
    DrawCaption();
    krDraw::Present();
}
