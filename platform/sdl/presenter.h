// Shows the front surface in the window: a streaming texture in the surface's
// own pixel format, drawn in a window at the largest whole-number scale that
// fits (nearest neighbour, black bars around it) or scaled with its aspect
// kept over a full-screen output. Optionally keeps a copy of what
// was drawn (tests).
#pragma once
#include <SDL2/SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pixels/surface.h"

namespace plat::sdl {

// The largest rectangle of the logical aspect centred in an output.
SDL_Rect LetterboxRect(int outputWidth, int outputHeight, int logicalWidth, int logicalHeight);
// The logical screen at the largest whole multiple of its size that fits in
// the output, centred; an output smaller than the screen gets the letterbox.
SDL_Rect IntegerScaleRect(int outputWidth, int outputHeight, int logicalWidth, int logicalHeight);
// An output position mapped into the logical screen shown in dst (positions
// outside dst map outside the logical screen).
SDL_Point OutputToLogical(const SDL_Rect& dst, int logicalWidth, int logicalHeight, int x, int y);
SDL_Point LogicalToOutput(const SDL_Rect& dst, int logicalWidth, int logicalHeight, int x, int y);

// The SDL pixel format matching a surface format (RGB555, RGB565, BGR24 or
// XRGB8888).
std::uint32_t TextureFormatFor(const PixelFormat& format);

class Presenter {
public:
    Presenter();
    ~Presenter();

    bool Create(SDL_Window* window, int width, int height, const PixelFormat& format);
    void Destroy();
    // Makes a new renderer and texture after the device was reset.
    bool Recreate();
    // Uploads the surface and shows it.
    void Present(const Surface& front);
    // Where the logical screen lies in the window's coordinates.
    SDL_Rect WindowDestination() const;

    // Keeps a copy of every presented frame as XRGB8888 pixels.
    void SetCapture(bool on) { capture_ = on; }
    const std::vector<std::uint32_t>& LastFrame() const { return lastFrame_; }
    int LastFrameWidth() const { return lastWidth_; }
    int LastFrameHeight() const { return lastHeight_; }

private:
    bool MakeRenderer();
    // Where the logical screen lies in an output of this size.
    SDL_Rect Destination(int outputWidth, int outputHeight) const;
    void Capture(const SDL_Rect& dst);

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int width_ = 0, height_ = 0;
    std::uint32_t textureFormat_ = 0;
    bool capture_ = false;
    std::vector<std::uint32_t> lastFrame_;
    int lastWidth_ = 0, lastHeight_ = 0;
};

}  // namespace plat::sdl
