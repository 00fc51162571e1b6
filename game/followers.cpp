// The three followers: spawn, movement inside their area, the swing test
// and the hit message, the five state blocks (following, near, idle, flying,
// down), the follow logic, and the V call with its choice of a place around
// the player. Depends on the player's position and swing test.
#include <cmath>

#include "draw/krDraw.h"
#include "game/game_state.h"
#include "platform/text/cp932_literal.h"
#include "system/krSystem.h"

FollowerRecord followers[kFollowerCount];
std::uint8_t followerHitInFrame[kFollowerCount] = {};

namespace {

constexpr float kWalkSpeed = 80.0f;
constexpr float kFlightSpeed = 100.0f;
constexpr float kFlightLength = 300.0f;
constexpr double kDownTime = 1.0;
constexpr float kNearDistance = 76.0f;
constexpr float kCallDistance = 174.0f;
constexpr double kRefollowDelay = 0.5;
constexpr double kFramePeriod = 0.3;
constexpr float kNoSlotDistance = 800.0f;
constexpr float kMinX = -4.0f, kMaxX = 748.0f, kMinY = -4.0f, kMaxY = 548.0f;
constexpr int kCell = 56;
constexpr int kHalfCell = 28;
constexpr int kTargetBox = 48;
constexpr int kLyingColumn = 8;
constexpr int kFlightRow = 4;
constexpr int kWalkColumns[4] = {2, 3, 4, 5};

constexpr std::int32_t kSlotOffsetX[4] = {0, 72, 0, -72};
constexpr std::int32_t kSlotOffsetY[4] = {-72, 0, 72, 0};

// Hit tables by the player's facing at the hit.
constexpr std::int32_t kFlightDirection[8] = {2, 0, 6, 4, 1, 7, 3, 5};
constexpr std::int32_t kFacingAfterHit[8] = {0, 1, 2, 3, 1, 1, 3, 3};
constexpr std::int32_t kEffectOffsetX[8] = {-28, 0, -28, -56, 0, 0, -56, -56};
constexpr std::int32_t kEffectOffsetY[8] = {0, -28, -56, -28, 0, -56, 0, -56};

float Cos(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
float Sin(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }

// Distance between the player's centre and the follower's centre.
float DistanceToPlayer(const FollowerRecord& f) {
    return Distance(playerX + 48.0f, playerY + 48.0f, f.posX + 28.0f, f.posY + 28.0f);
}

void DrawFollowerCell(int index, int column, int row) {
    const FollowerRecord& f = followers[index];
    const std::int64_t left = std::int64_t{kCell} * column;
    const std::int64_t top = std::int64_t{kCell} * row;
    DrawCell(gamePictures.followerSheets[index], Trunc(f.posX), Trunc(f.posY), left, top, left + kCell,
             top + kCell);
}

void Spawn(int i) {
    FollowerRecord& f = followers[i];
    if (f.state != kAbsent) return;
    f.posX = 280.0f + 110.0f * static_cast<float>(i);
    f.posY = 240.0f;
    f.slot = i;
    f.state = kIdle;
}

// Holds v inside [low, high]; true when it had to.
bool Bound(float& v, float low, float high) {
    if (v < low) {
        v = low;
        return true;
    }
    if (v > high) {
        v = high;
        return true;
    }
    return false;
}

void MoveAndBound(FollowerRecord& f) {
    const float step = krSystemState.frameTime;
    f.posX += step * f.velX;
    f.posY += step * f.velY;
    const bool bounded = Bound(f.posX, kMinX, kMaxX) | Bound(f.posY, kMinY, kMaxY);
    // A flight ends where the area ends.
    if (bounded && f.state == kFlying) f.state = kDown;
}

void TakeHit(FollowerRecord& f, std::int32_t direction) {
    krDraw::Printf(Trunc(f.posX), Trunc(f.posY) - 10, u8"あたった！！"_cp932);
    const int d = direction & 7;
    f.hitDirection = direction;
    f.walkFrame = 0;
    f.flightDistance = 0.0f;
    f.state = kFlying;
    f.hitFlag = 0;
    f.flightDirection = kFlightDirection[d];
    f.facing = kFacingAfterHit[d];
    f.effectOffsetX = kEffectOffsetX[d];
    f.effectOffsetY = kEffectOffsetY[d];
}

// Facing from the heading in radians: right, down, left or up.
std::int32_t FacingFromHeading(float h, std::int32_t facing) {
    if (h >= -1.0f && h <= 0.5f) facing = 1;
    if (h >= 0.5f && h <= 2.0f) facing = 0;
    if (h >= 2.0f && h <= 4.0f) facing = 3;
    if (h >= 4.0f || h <= -1.0f) facing = 2;
    return facing;
}

void FollowingBlock(int i) {
    FollowerRecord& f = followers[i];
    const int slot = f.slot & 3;  // a following follower always holds 0..3
    f.targetOffsetX = kSlotOffsetX[slot];
    f.targetOffsetY = kSlotOffsetY[slot];
    const float tx = (playerX + 48.0f) + static_cast<float>(f.targetOffsetX);
    const float ty = (playerY + 48.0f) + static_cast<float>(f.targetOffsetY);
    float ex = tx - (f.posX + 28.0f);
    const float ey = ty - (f.posY + 28.0f);
    if (ex == 0.0f) ex = 0.00000001f;
    f.heading = static_cast<float>(std::atan(static_cast<double>(ey / ex)));
    if (ex < 0.0f) f.heading += kPi;
    f.velX = Cos(f.heading) * kWalkSpeed;
    f.velY = Sin(f.heading) * kWalkSpeed;
    f.facing = FacingFromHeading(f.heading, f.facing);
    if (TimerElapsed(f.animTimer, kFramePeriod)) {
        f.walkFrame += 1;
        if (f.walkFrame == 4) f.walkFrame = 0;
    }
    DrawFollowerCell(i, kWalkColumns[f.walkFrame & 3], f.facing);
}

// Near and idle look the same: standing still, two standing frames.
void StandingBlock(int i) {
    FollowerRecord& f = followers[i];
    f.velX = f.velY = 0.0f;
    f.slot = -1;
    if (TimerElapsed(f.animTimer, kFramePeriod)) {
        f.walkFrame += 1;
        if (f.walkFrame > 1) f.walkFrame = 0;
    }
    DrawFollowerCell(i, f.walkFrame, f.facing);
}

void FlyingBlock(int i) {
    FollowerRecord& f = followers[i];
    const float a = static_cast<float>(f.flightDirection * 45) * kPi / 180.0f;
    f.velX = Cos(a) * kFlightSpeed;
    f.velY = Sin(a) * kFlightSpeed;
    f.flightDistance += krSystemState.frameTime * kFlightSpeed;
    f.slot = -1;
    if (TimerElapsed(f.animTimer, kFramePeriod)) {
        f.flightFrame += 1;
        if (f.flightFrame > 1) f.flightFrame = 0;
    }
    DrawFollowerCell(i, f.hitDirection, kFlightRow + f.flightFrame);
    if (i == 0) {
        const std::int64_t left = std::int64_t{kCell} * f.hitDirection;
        const std::int64_t top = std::int64_t{kCell} * f.flightFrame;
        DrawCell(gamePictures.flightEffect, Trunc(f.posX) + f.effectOffsetX + kHalfCell,
                 Trunc(f.posY) + f.effectOffsetY + kHalfCell, left, top, left + kCell, top + kCell);
    }
    if (f.flightDistance >= kFlightLength) {
        f.state = kDown;
        f.animTimer = 0.0f;
    }
}

void DownBlock(int i) {
    FollowerRecord& f = followers[i];
    f.velX = f.velY = 0.0f;
    f.slot = -1;
    if (TimerElapsed(f.downTimer, kDownTime)) f.state = kIdle;
    DrawFollowerCell(i, kLyingColumn, f.facing);
}

void Update(int i) {
    FollowerRecord& f = followers[i];
    if (f.state == kAbsent) return;
    MoveAndBound(f);
    std::int32_t direction = 0;
    f.hitFlag = static_cast<std::uint8_t>(
        SwingTest(Trunc(f.posX), Trunc(f.posY), kCell, kCell, kTargetBox, kTargetBox, direction));
    followerHitInFrame[i] = f.hitFlag;
    if (f.hitFlag == 1) TakeHit(f, direction);
    // Each block sees the state as the previous one left it.
    if (f.state == kFollowing) FollowingBlock(i);
    if (f.state == kNear) StandingBlock(i);
    if (f.state == kIdle) StandingBlock(i);
    if (f.state == kFlying) FlyingBlock(i);
    if (f.state == kDown) DownBlock(i);
}

void FollowLogic(int i) {
    FollowerRecord& f = followers[i];
    if (f.state != kFollowing && f.state != kNear && f.state != kIdle) return;
    const float d = DistanceToPlayer(f);
    if (d < kNearDistance) {
        f.state = kNear;
        f.waitTimer = 0.0f;
    } else if (d > kNearDistance && TimerPast(f.waitTimer, kRefollowDelay) && f.state == kNear) {
        f.slot = ChooseSlot(i);
        f.state = kFollowing;
    } else {
        f.waitTimer += krSystemState.frameTime;
    }
}

}  // namespace

// The nearest place that no other following follower holds. A place 800
// pixels or farther is never chosen; slot 0 is the fallback.
std::int32_t ChooseSlot(int i) {
    if (i < 0 || i >= kFollowerCount) return 0;
    std::int32_t taken[kFollowerCount - 1];
    int takenCount = 0;
    for (int j = 0; j < kFollowerCount; ++j) {
        if (j != i && followers[j].state != kAbsent) taken[takenCount++] = followers[j].slot;
    }
    const FollowerRecord& f = followers[i];
    const float centreX = f.posX + 28.0f;
    const float centreY = f.posY + 28.0f;
    std::int32_t best = 0;
    float bestDistance = kNoSlotDistance;
    for (std::int32_t k = 0; k < 4; ++k) {
        bool excluded = false;
        for (int t = 0; t < takenCount; ++t) excluded = excluded || taken[t] == k;
        const float tx = (playerX + 48.0f) + static_cast<float>(kSlotOffsetX[k]);
        const float ty = (playerY + 48.0f) + static_cast<float>(kSlotOffsetY[k]);
        const float d = Distance(tx, ty, centreX, centreY);
        if (d < bestDistance && !excluded) {
            best = k;
            bestDistance = d;
        }
    }
    return best;
}

void FollowerStep() {
    for (int i = 0; i < kFollowerCount; ++i) {
        followerHitInFrame[i] = 0;
        Spawn(i);
        Update(i);
        FollowLogic(i);
    }
}

void FollowerCall() {
    for (int i = 0; i < kFollowerCount; ++i) {
        FollowerRecord& f = followers[i];
        if ((f.state == kFollowing || f.state == kIdle) && DistanceToPlayer(f) < kCallDistance) {
            f.state = kFollowing;
            f.slot = ChooseSlot(i);
        }
    }
}
