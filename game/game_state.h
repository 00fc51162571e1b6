// The game's program-wide records: picture handles, the tile grid, the
// player, the three followers and the tree, plus the steps that the game
// frame runs over them. Everything here lives for the whole run and starts
// at the values the game begins with; nothing is allocated while it runs.
#pragma once
#include <cmath>
#include <cstdint>

#include "game/game.h"

// ---- pictures ----

struct GamePictures {
    std::int32_t mapImage = 0;
    std::int32_t tileSheet = 0;
    std::int32_t smallCircle = 0;
    std::int32_t largeCircle = 0;
    std::int32_t overlay = 0;
    std::int32_t treeSheet = 0;
    std::int32_t playerSheet = 0;
    std::int32_t followerSheets[3] = {};
    std::int32_t flightEffect = 0;
};
extern GamePictures gamePictures;

// Keyed copy of a picture's cell to the back screen. Draws nothing for the
// failed handle 0 or a cell that does not lie wholly inside the picture.
void DrawCell(std::int32_t handle, int x, int y, std::int64_t left, std::int64_t top, std::int64_t right,
              std::int64_t bottom);

// The fixed game step (1/60 s) that every timer and speed advances by.
constexpr float kGameStep = 0.016666668f;
// Pi as the game's angle conversions take it.
constexpr float kPi = 3.141592f;

// Timer limits are decimal constants compared at double precision, so a
// timer whose single-precision sum reaches 0.2f counts as past 0.2: a swing
// frame lasts 12 steps of kGameStep, not 13.
inline bool TimerPast(float timer, double limit) { return static_cast<double>(timer) > limit; }

// Advances a timer by the frame's step; true (and the timer back at 0) once
// it has passed the period.
bool TimerElapsed(float& timer, double period);

// Euclidean distance of two points in single precision.
inline float Distance(float ax, float ay, float bx, float by) {
    const float dx = ax - bx;
    const float dy = ay - by;
    return static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
}

// Truncation toward zero of a single-precision value.
inline std::int32_t Trunc(float v) { return static_cast<std::int32_t>(v); }

// ---- tile map ----

constexpr int kMapColumns = 100;
constexpr int kMapRows = 75;
constexpr int kTileCount = kMapColumns * kMapRows;
constexpr int kTileSize = 8;
constexpr std::int32_t kWalkableTile = 2;

extern std::int32_t tileGrid[kTileCount];
extern std::int32_t mapLoaded;

// First call: reads "map.txt" from the working directory and pre-renders the
// tiles into the map image; later calls do nothing.
void TileMapStep();

// ---- player ----

struct PlayerRecord {
    float moveAngle = 0.0f;
    std::int32_t directionCode = 0;
    std::uint8_t swinging = 0;
    std::int32_t animFrame = 0;
    std::int32_t facing = 0;
    float animTimer = 0.0f;
    std::int32_t keyUp = 0, keyDown = 0, keyRight = 0, keyLeft = 0;
    std::int32_t keyCall = 0;
    std::int32_t keySwing = 0;
    std::int32_t resetDone = 0;
};

extern float playerX, playerY;
extern PlayerRecord player;

void PlayerStep();
// Asks whether the swing hits a target box of hw x hh centred in the cell
// (x, y, w, h). hitDirection always receives the player's facing.
std::int32_t SwingTest(int x, int y, int w, int h, int hw, int hh, std::int32_t& hitDirection);

// ---- followers ----

enum FollowerState : std::int32_t {
    kAbsent = 0,
    kFollowing = 1,
    kNear = 2,
    kIdle = 3,
    kFlying = 4,
    kDown = 5,
};

struct FollowerRecord {
    float posX = 0.0f, posY = 0.0f;
    std::int32_t state = kAbsent;
    std::int32_t slot = 0;
    float velX = 0.0f, velY = 0.0f;
    float heading = 0.0f;
    float animTimer = 0.0f;
    std::int32_t walkFrame = 0;
    std::int32_t facing = 0;
    std::int32_t flightFrame = 0;
    float downTimer = 0.0f;
    std::int32_t targetOffsetX = 0, targetOffsetY = 0;
    std::int32_t flightDirection = 0;
    std::int32_t hitDirection = 0;
    std::int32_t effectOffsetX = 0, effectOffsetY = 0;
    float waitTimer = 0.0f;
    std::uint8_t hitFlag = 0;
    float flightDistance = 0.0f;
};

constexpr int kFollowerCount = 3;
extern FollowerRecord followers[kFollowerCount];
// 1 for each follower that the swing hit in the latest follower step.
extern std::uint8_t followerHitInFrame[kFollowerCount];

void FollowerStep();
// V pressed: calls the idle and following followers within reach.
void FollowerCall();
// The place around the player (0 above, 1 right, 2 below, 3 left) that
// follower i should head for.
std::int32_t ChooseSlot(int i);

// ---- tree ----

struct TreeRecord {
    float x = 488.0f, y = 208.0f;
    std::int32_t fallState = 0;
    std::int32_t fallFrame = 0;
    float fallTimer = 0.0f;
};
extern TreeRecord tree;

void TreeStep();
// True when a flying follower's centre lies within 32 pixels of the foot.
bool FlyingFollowerAtTreeFoot();
