// The falling tree: a follower flying within 32 pixels of the tree's foot
// starts the fall, which shows four pictures half a second apart and then
// stays fallen. Also prints the fall state as the "fl=" debug line.
#include "draw/krDraw.h"
#include "game/game_state.h"
#include "system/krSystem.h"

TreeRecord tree;

namespace {

constexpr float kFootX = 524.0f;
constexpr float kFootY = 324.0f;
constexpr float kTriggerRadius = 32.0f;
constexpr double kPicturePeriod = 0.5;
constexpr int kLastPicture = 3;
constexpr int kPictureSize = 144;

}  // namespace

bool FlyingFollowerAtTreeFoot() {
    bool atFoot = false;
    for (const FollowerRecord& f : followers) {
        if (f.state != kFlying) continue;
        if (Distance(kFootX, kFootY, f.posX + 28.0f, f.posY + 28.0f) < kTriggerRadius) atFoot = true;
    }
    return atFoot;
}

void TreeStep() {
    TreeRecord& t = tree;
    if (FlyingFollowerAtTreeFoot()) t.fallState = 1;
    if (t.fallState == 1) {
        t.fallTimer += krSystemState.frameTime;
        if (TimerPast(t.fallTimer, kPicturePeriod) && t.fallFrame < kLastPicture) {
            t.fallFrame += 1;
            t.fallTimer = 0.0f;
        }
        if (t.fallFrame == kLastPicture) t.fallState = 2;
    }
    krDraw::Printf(30, 30, "fl=%d", t.fallState);
    const std::int64_t top = std::int64_t{kPictureSize} * t.fallFrame;
    DrawCell(gamePictures.treeSheet, Trunc(t.x), Trunc(t.y), 0, top, kPictureSize, top + kPictureSize);
}
