// The present path of the SDL edge: front surface -> streaming texture ->
// renderer, whole-number scaled in a window or letterboxed full-screen, and
// the frame capture of the tests.
#include "platform/sdl/presenter.h"

#include <algorithm>
#include <cstdio>

#include "platform/images/bmp.h"
#include "platform/os/notice.h"
#include "platform/os/window_placement.h"

namespace plat::sdl {

// ---- geometry ----

namespace {

SDL_Rect ToSdl(const Rect& r) { return SDL_Rect{r.left, r.top, r.Width(), r.Height()}; }

}  // namespace

SDL_Rect LetterboxRect(int outputWidth, int outputHeight, int logicalWidth, int logicalHeight) {
    return ToSdl(AspectFit(outputWidth, outputHeight, logicalWidth, logicalHeight));
}

SDL_Rect IntegerScaleRect(int outputWidth, int outputHeight, int logicalWidth, int logicalHeight) {
    return ToSdl(ScreenInArea(outputWidth, outputHeight, logicalWidth, logicalHeight));
}

namespace {

int FloorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return static_cast<int>(q);
}

}  // namespace

SDL_Point OutputToLogical(const SDL_Rect& dst, int logicalWidth, int logicalHeight, int x, int y) {
    if (dst.w <= 0 || dst.h <= 0) return SDL_Point{x, y};
    return SDL_Point{FloorDiv(static_cast<long long>(x - dst.x) * logicalWidth, dst.w),
                     FloorDiv(static_cast<long long>(y - dst.y) * logicalHeight, dst.h)};
}

SDL_Point LogicalToOutput(const SDL_Rect& dst, int logicalWidth, int logicalHeight, int x, int y) {
    if (logicalWidth <= 0 || logicalHeight <= 0) return SDL_Point{x, y};
    // The centre of the logical pixel, so that mapping back gives the same pixel.
    return SDL_Point{dst.x + FloorDiv((2LL * x + 1) * dst.w, 2LL * logicalWidth),
                     dst.y + FloorDiv((2LL * y + 1) * dst.h, 2LL * logicalHeight)};
}

std::uint32_t TextureFormatFor(const PixelFormat& format) {
    switch (format.bits) {
        case 15: return SDL_PIXELFORMAT_RGB555;
        case 24: return SDL_PIXELFORMAT_BGR24;  // bytes B, G, R in memory
        case 32: return SDL_PIXELFORMAT_RGB888;  // X8R8G8B8
        default: return SDL_PIXELFORMAT_RGB565;
    }
}

// ---- presenter ----

Presenter::Presenter() = default;
Presenter::~Presenter() { Destroy(); }

bool Presenter::Create(SDL_Window* window, int width, int height, const PixelFormat& format) {
    Destroy();
    window_ = window;
    width_ = width;
    height_ = height;
    textureFormat_ = TextureFormatFor(format);
    if (!MakeRenderer()) {
        Destroy();
        return false;
    }
    return true;
}

bool Presenter::MakeRenderer() {
    // No vertical sync here: the engine paces its frames itself and waits
    // for the blank only when asked to.
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) return false;
    texture_ = SDL_CreateTexture(renderer_, textureFormat_, SDL_TEXTUREACCESS_STREAMING, width_, height_);
    if (!texture_) return false;
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
    return true;
}

bool Presenter::Recreate() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    texture_ = nullptr;
    renderer_ = nullptr;
    return window_ && MakeRenderer();
}

void Presenter::Destroy() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    lastFrame_.clear();
    lastWidth_ = lastHeight_ = 0;
}

SDL_Rect Presenter::Destination(int outputWidth, int outputHeight) const {
    // A full-screen output fills the screen as the display mode change once
    // did; a window keeps whole pixels, so it never shimmers.
    const bool fullScreen = window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
    return fullScreen ? LetterboxRect(outputWidth, outputHeight, width_, height_)
                      : IntegerScaleRect(outputWidth, outputHeight, width_, height_);
}

SDL_Rect Presenter::WindowDestination() const {
    int w = width_, h = height_;
    if (window_) SDL_GetWindowSize(window_, &w, &h);
    int outW = w, outH = h;
    if (renderer_) SDL_GetRendererOutputSize(renderer_, &outW, &outH);
    SDL_Rect dst = Destination(outW, outH);
    if ((outW == w && outH == h) || outW <= 0 || outH <= 0) return dst;
    // A high-density display: the output has more pixels than the window
    // has points, and mouse positions come in points.
    return SDL_Rect{static_cast<int>(static_cast<long long>(dst.x) * w / outW),
                    static_cast<int>(static_cast<long long>(dst.y) * h / outH),
                    static_cast<int>(static_cast<long long>(dst.w) * w / outW),
                    static_cast<int>(static_cast<long long>(dst.h) * h / outH)};
}

void Presenter::Present(const Surface& front) {
    if (!renderer_ || !texture_ || front.width != width_ || front.height != height_) return;
    SDL_UpdateTexture(texture_, nullptr, front.pixels, front.pitch);
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(renderer_, &outW, &outH);
    const SDL_Rect dst = Destination(outW, outH);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, &dst);
    if (capture_) Capture(dst);
    SDL_RenderPresent(renderer_);
}

void Presenter::Capture(const SDL_Rect& dst) {
    lastFrame_.assign(static_cast<std::size_t>(dst.w) * static_cast<std::size_t>(dst.h), 0);
    lastWidth_ = dst.w;
    lastHeight_ = dst.h;
    if (SDL_RenderReadPixels(renderer_, &dst, SDL_PIXELFORMAT_RGB888, lastFrame_.data(), dst.w * 4) != 0) {
        lastFrame_.clear();
        lastWidth_ = lastHeight_ = 0;
    }
}

}  // namespace plat::sdl
