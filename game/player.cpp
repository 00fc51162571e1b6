// The player: polls the arrow keys, V and C, walks in eight directions at
// 100 px/s against the tile grid (each axis blocked on its own), swings,
// and draws itself with its range circles. Also owns the swing test that
// each follower asks every frame.
#include <cmath>

#include "draw/krDraw.h"
#include "game/game_state.h"
#include "platform/os/types.h"
#include "system/krSystem.h"

float playerX = 300.0f;
float playerY = 430.0f;
PlayerRecord player;

namespace {

constexpr float kWalkSpeed = 100.0f;
constexpr float kNoMovement = 400.0f;
constexpr double kSwingFramePeriod = 0.2;
constexpr double kWalkFramePeriod = 0.3;
constexpr int kSwingFirstColumn = 6;
constexpr int kCell = 96;
constexpr int kWalkColumns[4] = {2, 3, 4, 5};

// One row of the facing table: the arrow-key code, its angle and facing.
struct Direction {
    std::int32_t code;
    float angle;
    std::int32_t facing;
};
constexpr Direction kDirections[8] = {
    {100, 90.0f, 0},  {10, 0.0f, 1},     {1, 270.0f, 2},    {1000, 180.0f, 3},
    {110, 45.0f, 4},  {11, 315.0f, 5},   {1100, 135.0f, 6}, {1001, 225.0f, 7},
};

// A swing box relative to the player's cell: its rectangle, centre and
// half-size.
struct SwingBox {
    int left, top, right, bottom;
    int centreX, centreY, halfX, halfY;
};
struct SwingArea {
    int count;
    SwingBox boxes[2];
};
constexpr SwingArea kSwingAreas[8] = {
    {1, {{0, 24, 24, 96, 12, 60, 12, 36}, {}}},
    {1, {{24, 72, 96, 96, 60, 84, 36, 12}, {}}},
    {1, {{72, 0, 96, 72, 84, 36, 12, 36}, {}}},
    {1, {{0, 0, 72, 24, 36, 12, 36, 12}, {}}},
    {2, {{0, 48, 24, 96, 12, 72, 12, 24}, {24, 72, 48, 96, 36, 84, 12, 12}}},
    {2, {{72, 48, 96, 96, 84, 72, 12, 24}, {48, 72, 72, 96, 60, 84, 12, 12}}},
    {2, {{0, 0, 48, 24, 24, 12, 24, 12}, {0, 24, 24, 48, 12, 36, 12, 12}}},
    {2, {{48, 0, 96, 24, 72, 12, 24, 12}, {72, 24, 96, 48, 84, 36, 12, 12}}},
};

constexpr std::uint32_t kSwingFill = 0xFFFFFF;
constexpr std::uint32_t kSwingPen = 0x0000FF;

struct Blocked {
    bool top = false, bottom = false, left = false, right = false;
};

// Tile under a pixel, through the flat index; anything outside the grid
// blocks.
bool Walkable(int sx, int sy) {
    const int index = (sy / kTileSize) * kMapColumns + sx / kTileSize;
    if (index < 0 || index >= kTileCount) return false;
    return tileGrid[index] == kWalkableTile;
}

Blocked SampleFeet() {
    const int x = Trunc(playerX - 16.0f);
    const int y = Trunc(playerY - 12.0f);
    const int x0 = Trunc(playerX);
    Blocked b;
    for (int dx = 28; dx <= 68; dx += 8) {
        b.top = b.top || !Walkable(x + dx, y + 48);
        b.bottom = b.bottom || !Walkable(x + dx, y + 72);
    }
    for (int dy = 52; dy <= 68; dy += 8) {
        b.left = b.left || !Walkable(x + 24, y + dy);
        b.right = b.right || !Walkable(x0 + 72, y + dy);
    }
    return b;
}

void PollKeys() {
    PlayerRecord& p = player;
    krSystem::PollKey(plat::VK_UP, p.keyUp);
    krSystem::PollKey(plat::VK_DOWN, p.keyDown);
    krSystem::PollKey(plat::VK_LEFT, p.keyLeft);
    krSystem::PollKey(plat::VK_RIGHT, p.keyRight);
    krSystem::PollKey('V', p.keyCall);
    krSystem::PollKey('C', p.keySwing);
}

void ChooseDirection() {
    PlayerRecord& p = player;
    p.directionCode = 0;
    if (p.keyRight == 3) p.directionCode += 10;
    if (p.keyLeft == 3) p.directionCode += 1000;
    if (p.keyUp == 3) p.directionCode += 1;
    if (p.keyDown == 3) p.directionCode += 100;
    p.moveAngle = kNoMovement;
    for (const Direction& d : kDirections) {
        if (d.code == p.directionCode) {
            p.moveAngle = d.angle;
            p.facing = d.facing;
        }
    }
}

void Move(const Blocked& blocked) {
    ChooseDirection();
    const PlayerRecord& p = player;
    if (p.directionCode == 0 || !(p.moveAngle < kNoMovement)) return;
    const float radians = p.moveAngle * kPi / 180.0f;
    const float c = static_cast<float>(std::cos(static_cast<double>(radians)));
    const float s = static_cast<float>(std::sin(static_cast<double>(radians)));
    const float step = krSystemState.frameTime * kWalkSpeed;
    if ((c > 0.0f && !blocked.right) || (c < 0.0f && !blocked.left)) playerX += step * c;
    if ((s > 0.0f && !blocked.bottom) || (s < 0.0f && !blocked.top)) playerY += step * s;
}

void Clamp() {
    if (playerX < -24.0f) playerX = -24.0f;
    if (playerX > 728.0f) playerX = 728.0f;
    if (playerY < -24.0f) playerY = -24.0f;
    if (playerY > 528.0f) playerY = 528.0f;
}

void DrawRangeCircles() {
    const int x = Trunc(playerX);
    const int y = Trunc(playerY);
    DrawCell(gamePictures.largeCircle, x - 102, y - 102, 0, 0, 300, 300);
    DrawCell(gamePictures.smallCircle, x - 28, y - 28, 0, 0, 152, 152);
}

void DrawPlayerCell(int column) {
    const std::int64_t left = std::int64_t{kCell} * column;
    const std::int64_t top = std::int64_t{kCell} * player.facing;
    DrawCell(gamePictures.playerSheet, Trunc(playerX), Trunc(playerY), left, top, left + kCell, top + kCell);
}

void AnimateAndDraw() {
    PlayerRecord& p = player;
    if (p.swinging) {
        DrawPlayerCell(p.animFrame + kSwingFirstColumn);
        if (TimerElapsed(p.animTimer, kSwingFramePeriod)) {
            p.animFrame += 1;
            if (p.animFrame == 3) {
                p.swinging = 0;
                p.animFrame = 0;
            }
        }
        return;
    }
    const bool walking = p.keyUp != 0 || p.keyDown != 0 || p.keyLeft != 0 || p.keyRight != 0;
    if (walking) {
        if (TimerElapsed(p.animTimer, kWalkFramePeriod)) {
            p.animFrame += 1;
            if (p.animFrame == 4) p.animFrame = 0;
        }
        // animFrame stays within 0..3 while walking; the mask guards the table.
        DrawPlayerCell(kWalkColumns[p.animFrame & 3]);
        return;
    }
    if (TimerElapsed(p.animTimer, kWalkFramePeriod)) {
        p.animFrame += 1;
        if (p.animFrame > 1) p.animFrame = 0;
    }
    DrawPlayerCell(p.animFrame);
}

void DrawSwingArea(const SwingArea& area) {
    const int x = Trunc(playerX);
    const int y = Trunc(playerY);
    for (int i = 0; i < area.count; ++i) {
        const SwingBox& b = area.boxes[i];
        krDraw::DrawRect(x + b.left, y + b.top, x + b.right, y + b.bottom, kSwingFill, kSwingPen, 1);
    }
}

}  // namespace

void PlayerStep() {
    PlayerRecord& p = player;
    if (p.resetDone == 0) {
        p.animFrame = 0;
        p.facing = 0;
        p.animTimer = 0.0f;
        p.resetDone = 1;
    }
    PollKeys();
    const Blocked blocked = SampleFeet();
    if (p.keyCall == 1) FollowerCall();
    if (p.keySwing == 1 && p.swinging == 0) {
        p.swinging = 1;
        p.animTimer = 0.0f;
        p.animFrame = 0;
    }
    if (p.swinging == 0) Move(blocked);
    Clamp();
    if (gameVariant == 1) DrawRangeCircles();
    AnimateAndDraw();
}

std::int32_t SwingTest(int x, int y, int w, int h, int hw, int hh, std::int32_t& hitDirection) {
    const PlayerRecord& p = player;
    hitDirection = p.facing;
    if (p.swinging != 1 || p.animFrame != 2) return 0;
    const int targetX = x + w / 2;
    const int targetY = y + h / 2;
    const SwingArea& area = kSwingAreas[p.facing & 7];
    std::int32_t hit = 0;
    for (int i = 0; i < area.count; ++i) {
        const SwingBox& b = area.boxes[i];
        const float dx = std::fabs((playerX + static_cast<float>(b.centreX)) - static_cast<float>(targetX));
        const float dy = std::fabs((playerY + static_cast<float>(b.centreY)) - static_cast<float>(targetY));
        if (dx < static_cast<float>(b.halfX + hw / 2) && dy < static_cast<float>(b.halfY + hh / 2)) hit = 1;
    }
    if (gameVariant == 1) DrawSwingArea(area);
    return hit;
}
