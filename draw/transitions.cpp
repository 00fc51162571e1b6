// Screen transitions and the scrolling background, both laid over the frame
// by krDraw::Present before it is shown.
//
// The covering transition repeats one 64 x 48 cell of its pattern over the
// whole screen, a new cell per present: cells 0 to 9 when covering, 9 to 0
// when uncovering. The background is a drifting layer of 64 x 48 tiles under
// a tall band picture, scrolled by the arrow key held (backgroundKey). All
// copies are colour-keyed and clipped blits of the image-object table.
#include <cmath>

#include "draw/krDraw.h"
#include "system/krSystem.h"

namespace {

constexpr int kCellWidth = 64, kCellHeight = 48;
constexpr int kSteps = 10;
constexpr int kLoadModeDriverMemory = 2;
constexpr float kDriftPerSecond = 10.0f;
constexpr float kBandSpeedUpDown = 100.0f, kBandSpeedLeftRight = 300.0f;

// Whole cells needed to cover a length, a part cell counting as one.
int CellsToCover(int length, int cell) { return length <= 0 ? 0 : (length + cell - 1) / cell; }

// The pattern's cell of the current step over the whole screen. (A grid of
// 10 x 10 cells would leave the right and bottom of any screen larger than
// 640 x 480 uncovered.)
void DrawTransitionCell(const krDraw::TransitionState& t) {
    if (t.pattern == 0) return;
    const int left = kCellWidth * (t.step - 1);
    const int columns = CellsToCover(krScreen.screenWidth, kCellWidth);
    const int rows = CellsToCover(krScreen.screenHeight, kCellHeight);
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            krDraw::Blit(kCellWidth * column, kCellHeight * row, t.pattern, left, 0, left + kCellWidth, kCellHeight);
}

void StepTransition(krDraw::TransitionState& t) {
    t.step += t.direction;
    if ((t.direction == -1 && t.step < 1) || (t.direction == 1 && t.step > kSteps) || t.direction == 0) {
        t.step = 0;
        t.direction = 0;
    }
}

// Brings an offset into (-cell, 0], however far one frame moved it.
float WrapOffset(float offset, float cell) {
    if (!std::isfinite(offset)) return 0.0f;
    offset = std::fmod(offset, cell);
    return offset > 0.0f ? offset - cell : offset;
}

// One tile more than the screen needs in each direction, so that the layer
// drifted by up to a tile still leaves no gap.
void DrawTiles(const krDraw::BackgroundState& b) {
    const int tile = krScreen.backgroundTile;
    if (tile == 0) return;
    const int dx = static_cast<int>(b.tileOffsetX), dy = static_cast<int>(b.tileOffsetY);
    const int columns = CellsToCover(krScreen.screenWidth, kCellWidth) + 1;
    const int rows = CellsToCover(krScreen.screenHeight, kCellHeight) + 1;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            krDraw::Blit(kCellWidth * column + dx, kCellHeight * row + dy, tile, 0, 0, kCellWidth, kCellHeight);
}

void Drift(krDraw::BackgroundState& b, float frameTime) {
    b.tileOffsetX = WrapOffset(b.tileOffsetX - frameTime * kDriftPerSecond, kCellWidth);
    b.tileOffsetY = WrapOffset(b.tileOffsetY - frameTime * kDriftPerSecond, kCellHeight);
}

void DrawBand(const krDraw::BackgroundState& b) {
    const int band = krScreen.backgroundBand;
    if (band == 0) return;
    const plat::Rect& clip = krScreen.clip;
    const int p = static_cast<int>(b.bandPosition);
    krDraw::Blit(clip.left, clip.top, band, 0, p, clip.right - clip.left, p + (clip.bottom - clip.top));
}

float BandSpeed(int key) {
    switch (key) {
        case 38: return -kBandSpeedUpDown;     // up
        case 37: return -kBandSpeedLeftRight;  // left
        case 40: return kBandSpeedUpDown;      // down
        case 39: return kBandSpeedLeftRight;   // right
        default: return 0.0f;
    }
}

// Moves the band by the key held and keeps it inside the picture. A band
// shorter than the clip rectangle stays at its top row.
void ScrollBand(krDraw::BackgroundState& b, float frameTime) {
    float p = b.bandPosition + BandSpeed(krSystemState.backgroundKey) * frameTime;
    const float bound = static_cast<float>(static_cast<double>(b.bandHeight) - (krScreen.clip.bottom - krScreen.clip.top));
    if (!(p >= 0.0f)) p = 0.0f;  // NaN too
    if (p > bound) p = bound;
    if (p < 0.0f) p = 0.0f;
    b.bandPosition = p;
}

// Loads a picture of the background once and then reloads it in place. A
// handle that failed to load stays 0 and is loaded afresh, never swapped
// into slot 0 (the Buffer sprite).
void LoadOrSwap(std::int32_t& handle, const char* name) {
    if (handle == 0)
        handle = krDraw::LoadObject(name, kLoadModeDriverMemory);
    else
        krDraw::SwapObject(name, handle, kLoadModeDriverMemory);
}

}  // namespace

namespace krDraw {

TransitionState transition;
BackgroundState background;

void LoadTransition(const char* name) {
    SetColorKey(0);
    transition.pattern = LoadObject(name, kLoadModeDriverMemory);
}

void StartCover() {
    transition.step = 1;
    transition.direction = 1;
}

void StartUncover() {
    transition.step = kSteps;
    transition.direction = -1;
}

void LoadBackground(const char* band, const char* tile, int bandHeight) {
    SetColorKey(0);
    LoadOrSwap(krScreen.backgroundBand, band);
    LoadOrSwap(krScreen.backgroundTile, tile);
    background.bandPosition = 0.0f;
    background.bandHeight = bandHeight;
}

void ToggleBackground() {
    if (background.on)
        background.on = false;
    else if (background.bandHeight != 0)
        background.on = true;
}

void PresentEffects() {
    if (transition.step != 0) {
        DrawTransitionCell(transition);
        StepTransition(transition);
    }
    if (background.on) {
        const float frameTime = krSystemState.frameTime;
        DrawTiles(background);
        Drift(background, frameTime);
        DrawBand(background);
        ScrollBand(background, frameTime);
    }
}

}  // namespace krDraw
