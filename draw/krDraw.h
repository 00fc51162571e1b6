// krDraw: the engine's graphics. The screen state and the 512-slot image
// object table are program-wide records; the operations are free functions
// in the krDraw namespace. Every drawing operation targets the back screen
// unless it names an object.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/pixels/surface.h"
#include "platform/os/types.h"

struct krPixelFormat {
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    std::uint32_t redField = 0, greenField = 0, blueField = 0;
    int redShift = 0, greenShift = 0, blueShift = 0;
    int red5Shift = 0, green5Shift = 0, blue5Shift = 0;
    std::uint32_t halfMask = 0;
    std::uint32_t doubleHalfMask = 0;
    std::uint32_t white = 0;
};

struct krScreenRecord {
    bool deviceCreated = false;       // the display device exists
    plat::Surface* front = nullptr;   // the window's visible surface (owned by the platform)
    plat::Surface* back = nullptr;    // the back screen
    bool clipper = false;             // windowed copies stay inside the window
    std::int32_t screenWidth = 0, screenHeight = 0;
    std::int32_t preferredDepth[3] = {16, 0, 0};
    std::int32_t displayDepth = 16;
    bool waitVerticalBlank = true;
    bool accelerator = false;
    bool stretch = false;
    krPixelFormat pixelFormat;
    plat::Rect clip;
    plat::Rect presentSource;
    plat::Rect presentDestination;
    std::int32_t backgroundBand = 0, backgroundTile = 0;  // scrolling background handles

    // Effect tables.
    std::int32_t sine[450] = {};
    std::vector<std::uint8_t> component;   // 65,536 x (r, g, b) 5-bit values
    std::vector<std::uint16_t> crossFade;  // 3 x 32 x 32 x 32
    std::vector<std::uint16_t> fadeAdd;    // 3 x 32 x 32 x 32
    std::vector<std::uint16_t> subtract;   // 3 x 32 x 32
    std::vector<std::uint16_t> third;      // 94
    std::vector<std::uint8_t> randomTable; // 10,000
};

struct krObjectRecord {
    plat::Surface* surface = nullptr;
    char name[32] = {};
    std::int32_t fromPack = 0;
    std::int32_t reloadMode = 2;
    std::int32_t key = 0;  // 0x00BBGGRR, or -1 for the top-left pixel
    std::uint16_t width = 0, height = 0;
};

constexpr int krObjectCount = 512;

extern krScreenRecord krScreen;
extern krObjectRecord krObjects[krObjectCount];

namespace krDraw {

// ---- screen set-up ----
int Screen(int width, int height, int type);
void Present();
void Restore();
void Release();
void SetDisplayDepth(int first, int second, int third);
void SetVSync(int on);

// ---- image objects ----
int LoadObject(const char* name, int mode);
int SwapObject(const char* name, int slot, int mode);
int CreateObject(int width, int height, int mode);
void ReleaseObject(int slot);
void SetColorKey(std::uint32_t colorRef);
void SetCornerColorKey();
plat::HRESULT SetObjectColorKey(int slot, std::uint32_t colorRef);
plat::HRESULT SetObjectCornerColorKey(int slot);
plat::HRESULT CopyColorKey(int destination, int source);

// ---- blits and fills ----
void Blit(int x, int y, int source, int left, int top, int right, int bottom);
void BlitOpaque(int x, int y, int source, int left, int top, int right, int bottom);
void BlitObject(int destination, int x, int y, int source, int left, int top, int right, int bottom);
void BlitObjectOpaque(int destination, int x, int y, int source, int left, int top, int right, int bottom);
void CaptureScreen(int slot, int left, int top, int right, int bottom);
plat::HRESULT ClearScreen();
plat::HRESULT ClearObject(int slot);
plat::HRESULT ClearRect(int left, int top, int right, int bottom);
plat::HRESULT FrameRect(int left, int top, int right, int bottom);
plat::HRESULT WhiteScreen();
plat::HRESULT WhiteRect(int left, int top, int right, int bottom);
plat::HRESULT FillRect(int left, int top, int right, int bottom, std::uint32_t value);
int HalfFillRect(int left, int top, int right, int bottom, std::uint32_t value);

// ---- shapes, pixels, frame rate, screenshot ----
int DrawLine(int x1, int y1, int x2, int y2, std::uint32_t color, int penWidth);
int DrawRect(int left, int top, int right, int bottom, std::uint32_t fillColor, std::uint32_t penColor, int penWidth);
int DrawPolygon(const plat::Point* points, int count, std::uint32_t color, std::uint32_t backColor, int penWidth,
                int fillMode);
int DrawBezier(const plat::Point* points, int count, std::uint32_t color, int penWidth);
int SetScreenPixel(int x, int y, std::uint32_t color);
void GetScreenPixel(int x, int y, int* red, int* green, int* blue);
void GetScreenDC();
void ReleaseScreenDC();
void DrawFps();
int SaveScreen(const char* name, int width, int height);

// ---- fonts and text ----
void InitFont();
void QuitFont();
void SetFont(int kind, int height, int angle, int weight, std::uint8_t italic, std::uint8_t underline);
void SetFontName(const char* face, int height, int angle, int weight, std::uint8_t italic, std::uint8_t underline);
void SetFontColor(std::uint32_t text, std::uint32_t back, int transparent);
void DrawString(int x, int y, const char* s);
void DrawTextBox(int left, int top, int right, int bottom, const char* s, int align);
int MeasureTextBox(int left, int top, int right, int bottom, const char* s);
void ReleaseFont();
void Print(int x, int y, const char* s);
void Printf(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));

// ---- image pack files ----
void SetPackFile(const char* name);
int LoadPack(const char* name, int mode);
int SwapPack(const char* name, int slot, int mode);
int Convert(const char* packName, const char* folder, int deleteFirst);

// ---- strip effects and scaled copies ----
void WaveBlit(int x, int y, int amplitude, int divisor, float speed, int slot, int left, int top, int right,
              int bottom, int alternate);
void TileScroll(float xSpeed, float ySpeed, int slot, int left, int top, int right, int bottom);
void WaveScrollBlit(int x, int y, int amplitude, int divisor, float waveSpeed, float scrollSpeed, int slot, int left,
                    int top, int right, int bottom);
void WaveTile(int firstRow, int lastRow, int amplitude, int divisor, float waveSpeed, float scrollSpeed, int slot,
              int left, int top, int right, int bottom);
void RowRepeatBlit(int x, int y, int repeat, int slot, int left, int top, int right, int bottom);
void ScanlineBlit(int x, int y, int gap, int slot, int left, int top, int right, int bottom);
void JitterBlit(int x, int y, int range, int slot, int left, int top, int right, int bottom);
void RollBlit(int x, int y, int forward, float speed, int slot, int left, int top, int right, int bottom);
void StretchBlit(int x, int y, int slot, int left, int top, int right, int bottom, int width, int height);
void StretchBlitOpaque(int x, int y, int slot, int left, int top, int right, int bottom, int width, int height);

// ---- per-pixel blends ----
// Each returns 1, or 0 when a surface cannot be locked or the arguments are refused.
int FlipBlit(int x, int y, int mode, int slot, int left, int top, int right, int bottom);
int SmearBlit(int x, int y, int mode, int length, int slot, int left, int top, int right, int bottom);
int HalfBlit(int x, int y, int slot, int left, int top, int right, int bottom);
int AlphaBlit(int x, int y, float opacity, int slot, int left, int top, int right, int bottom);
int AlphaBlitRGB(int x, int y, float red, float green, float blue, int slot, int left, int top, int right,
                 int bottom);
int AlphaGradientBlit(int x, int y, float red, float green, float blue, int vertical, int start, int step, int slot,
                      int left, int top, int right, int bottom);
int FadeBlit(int x, int y, int level, int slot, int left, int top, int right, int bottom);
int FadeBlitRGB(int x, int y, int red, int green, int blue, int slot, int left, int top, int right, int bottom);
int FadeGradientBlit(int x, int y, int red, int green, int blue, int vertical, int start, int step, int slot,
                     int left, int top, int right, int bottom);
int AddBlit(int x, int y, int slot, int left, int top, int right, int bottom);
int AddAlphaBlit(int x, int y, float strength, int slot, int left, int top, int right, int bottom);
int SubBlit(int x, int y, int slot, int left, int top, int right, int bottom);
int DarkBlit(int x, int y, int level, int slot, int left, int top, int right, int bottom);
int DarkBlitRGB(int x, int y, int red, int green, int blue, int slot, int left, int top, int right, int bottom);
int BrightBlit(int x, int y, float factor, int slot, int left, int top, int right, int bottom);
int BrightBlitRGB(int x, int y, float red, float green, float blue, int slot, int left, int top, int right,
                  int bottom);
int ChannelBlit(int x, int y, int keepRed, int keepGreen, int keepBlue, int slot, int left, int top, int right,
                int bottom);
int GrayBlit(int x, int y, int slot, int left, int top, int right, int bottom);
int BlurBlit(int x, int y, int blockSize, int slot, int left, int top, int right, int bottom);
int SmoothEdgeBlit(int x, int y, int slot, int left, int top, int right, int bottom);
int RefractBlit(int x, int y, float strength, int slot, int left, int top, int right, int bottom);

// ---- screen transitions and scrolling background ----
// Two effects that krDraw::Present lays over the finished frame. The
// covering transition tiles one 64 x 48 cell of its pattern over the whole
// screen per present, ten presents long; the main loop presents alone while
// it covers and changes scene when it ends. The scrolling background is a
// drifting tiled layer under a tall band picture that the arrow keys scroll
// (the key is backgroundKey); while it runs, or while a transition runs,
// polled input reads 0. A handle of 0 (nothing loaded) draws nothing.
struct TransitionState {
    std::int32_t step = 0;       // 0 idle; 1 to 10: cell step - 1 is shown next
    std::int32_t direction = 0;  // +1 covering, -1 uncovering, 0 idle
    std::int32_t pattern = 0;    // ten 64 x 48 cells side by side (640 x 48)
};
struct BackgroundState {
    bool on = false;
    std::int32_t bandHeight = 0;  // as the caller states it; 0 keeps the background off
    float bandPosition = 0.0f;    // band row shown at the clip rectangle's top
    float tileOffsetX = 0.0f;     // drift of the tiled layer, in (-64, 0]
    float tileOffsetY = 0.0f;     // and in (-48, 0]
};
extern TransitionState transition;
extern BackgroundState background;  // the handles are krScreen.backgroundBand and backgroundTile

// Loads the pattern (colour key black) into a new slot: the pattern handle.
void LoadTransition(const char* name);
void StartCover();    // step 1, direction +1: cells 0 to 9
void StartUncover();  // step 10, direction -1: cells 9 to 0
// Loads (first use) or reloads into the same handles the band and the 64 x 48
// tile, colour key black; band position 0.
void LoadBackground(const char* band, const char* tile, int bandHeight);
// Off when on; on only when a band height is set.
void ToggleBackground();
// The transition step and then the background step of krDraw::Present.
void PresentEffects();

// ---- message text ----
// Text laid out whole in a box with Japanese line breaking into the Font
// sprite (object 2), then shown on the back screen glyph by glyph by
// krDraw::RevealText, once per frame. A character of the line-head exclusion
// list ("、", "。", "，", "．", "・", "…", "‥", "”", "’", "（", "」", ",", ".",
// the ideographic and the ASCII space) that does not fit at a line's end
// hangs past the right edge instead of opening the next line; any other
// glyph that does not fit moves whole to the next line; "\n" starts a new
// line. Style word: bits 0-7 leading added to the starting line height,
// 0x100 shadow in the back colour, 0x200 / 0x400 one pixel thicker across /
// down. Text and back colours of each channel below 16 become 0x101010, as
// colour 0 is the sprites' transparent key. A lead byte at the end of the
// text or before "\n" is dropped. A layout ends when the glyph list is full,
// when a glyph can never fit (no line advance), or at once for coordinates
// beyond +-16,777,216.
constexpr int kGlyphListSize = 3200;
struct MessageTextState {
    plat::Rect glyphs[kGlyphListSize] = {};  // 0: bounding box; 1 to count - 1: the glyphs in order
    std::int32_t count = 0;
    std::int32_t revealCounter = 0;  // glyphs 1 to revealCounter - 1 are shown
    float revealTimer = 0.0f;
};
extern MessageTextState messageText;

// The font description of the smooth layout: face by kind (0 Mincho,
// 1 Gothic, else the previous face) or by name, at twice the height, weight
// 400, charset 128 (by name: the font list's), selected on the Font buffer
// sprite (object 3). Pair each with krDraw::ReleaseSmoothFont.
void SetSmoothFont(int kind, int height);
void SetSmoothFontName(const char* face, int height);
void ReleaseSmoothFont();
// Plain layout: glyphs drawn by the font at their size; a glyph whose end
// passes right (pen x > right) moves on; a new line whose bottom reaches the
// box's bottom ends the layout (the first line is always laid out). The line
// height starts at font height + leading and only grows. Leaves the font
// selected on the back screen for krDraw::ReleaseFont.
void LayoutText(int x, int y, int right, int bottom, const char* text, std::uint16_t style);
// Smooth layout (after krDraw::SetSmoothFont): each line drawn at double size
// in the Font buffer and reduced into the Font sprite, the glyphs' edges
// mixed with what the back screen shows there now. Wraps when a glyph's end
// reaches right (>=); ends when a new line starts at or below bottom; a line
// crossing the bottom is cut at it.
void LayoutSmoothText(int x, int y, int right, int bottom, const char* text, std::uint16_t style);
// Shows the laid-out text on the back screen: glyph k from the (k + 1)-th
// period of secondsPerGlyph on; 1 once all of it is shown, else 0. A period
// of 0 or below (or not a number) shows the whole text at once.
int RevealText(float secondsPerGlyph);

// ---- rotation ----
// Family of rotations onto the back screen: a destination box (left, top,
// right, bottom), an angle in whole degrees (taken modulo 360), and an
// object's source rectangle that is centred in the box and turned about the
// box centre; source pixels of value 0 are transparent, the box is cut to
// the clip rectangle. Results: 1, or 0 when a lock fails, the source slot is
// empty or of another depth, or an argument is refused.
int RotateBlit(int left, int top, int right, int bottom, int angle, int slot, int srcLeft, int srcTop, int srcRight,
               int srcBottom);
// Each source coordinate taken as its absolute value: mirrored about the
// source rectangle's corner.
int RotateMirrorBlit(int left, int top, int right, int bottom, int angle, int slot, int srcLeft, int srcTop,
                     int srcRight, int srcBottom);
// zoom 2 doubles the picture about the box centre; a negative zoom turns it
// half round. A zoom that is not finite or below 1/65536 in size, or a box
// side beyond 2^24, is refused.
int RotateZoomBlit(int left, int top, int right, int bottom, int angle, float zoom, int slot, int srcLeft, int srcTop,
                   int srcRight, int srcBottom);
int RotateZoomMirrorBlit(int left, int top, int right, int bottom, int angle, float zoom, int slot, int srcLeft,
                         int srcTop, int srcRight, int srcBottom);
// As RotateZoomBlit, each drawn pixel blended per component at level 0..31
// (clamped): (source * level + destination * (31 - level)) / 31; 31 draws
// the source pixels whole, 0 leaves the back screen untouched.
int RotateZoomAlphaBlit(int left, int top, int right, int bottom, int angle, float zoom, int level, int slot,
                        int srcLeft, int srcTop, int srcRight, int srcBottom);
// The source rectangle turned by a float angle in degrees and scaled by
// scaleX and scaleY, centred on (x, y); the box is the square that holds
// the picture at any angle.
int RotateScaleBlit(int x, int y, float angle, float scaleX, float scaleY, int slot, int srcLeft, int srcTop,
                    int srcRight, int srcBottom);
// Texture mapping. MakeTextureMap fills the one table for an output of
// width x height (1..2048 each) around a centre (-1: the middle): table x is
// the angle about the centre in 1/256 turns, table y is 4096 / distance
// (4096 at the centre), with distance kind 0 Euclidean, 1 the larger and
// 2 the smaller axis distance, 3 their mean, 4 the horizontal and 5 the
// vertical one alone. Returns 0 for other sizes or kinds.
int MakeTextureMap(int width, int height, int centerX, int centerY, int kind);
// Draws the table's output at (x, y): each pixel from the texture (the
// source rectangle, cut to its surface) at ((offsetX + table x) modulo its
// width, (offsetY + table y) modulo its height). Returns 0 without a table.
int TextureMapBlit(int x, int y, int offsetX, int offsetY, int slot, int srcLeft, int srcTop, int srcRight,
                   int srcBottom);

// ---- screen filters, clip wipes ----
// Filters of a back-screen region (x, y, width, height), cut to the back
// screen; components are 5-bit on 15/16-bit displays, 8-bit on deeper ones.
// Results: 1 (also for a region with nothing inside the screen), or 0 when
// the back screen cannot be locked or an argument is refused.
//
// Four-neighbour smoothing of the inner pixels in reading order, running on
// (left and upper neighbours are already smoothed).
int SmoothRect(int x, int y, int width, int height);
// The same for the components whose flag is non-zero; the others are kept.
int SmoothRectRGB(int x, int y, int width, int height, int red, int green, int blue);
// Rising smoke: each inner pixel goes one row up, as a plain copy whenever a
// running counter reaches the current random-table entry, else as the
// average of its four neighbours. Counter and table position persist.
int SmokeRect(int x, int y, int width, int height);
int SmokeRectRGB(int x, int y, int width, int height, int red, int green, int blue);
// The region doubled into the Buffer sprite and drawn back at (x, y) at
// twice the size with BlitOpaque: scanlines 0 makes each pixel a 2 x 2
// block, non-zero leaves the lower row of each block black.
int EnlargeRect(int x, int y, int width, int height, int scanlines);
// Cells of cellSize (>= 1) from the region's corner; each becomes a disc of
// the cell's average colour, pixels farther than cellSize / 2 from the
// cell centre black.
int MosaicRect(int x, int y, int width, int height, int cellSize);
// Each pixel's components move by (random-table entry - 1) << shift
// (shift clamped to 0..component bits), kept inside the component's range.
int NoiseRect(int x, int y, int width, int height, int shift);
int NoiseRectRGB(int x, int y, int width, int height, int shift, int red, int green, int blue);

// Clip-rectangle wipes.
struct WipeRecord {
    std::int32_t state = 0;  // 0 idle, 1 opening, 2 closing, -1 closed (empty clip rectangle)
    std::int32_t closing = 0;
    std::int32_t type = 0;  // 1..9
    float speed = 0;        // pixels per second of a moving edge
    std::int32_t slit = 0;  // centre slit of types 8 and 9
    plat::Rect saved;       // the full clip rectangle when the wipe began
    std::int32_t opened = 0, closed = 0;
};
extern WipeRecord wipe;
// Returns 0 while a wipe runs or for a type outside 0..9 (0 picks 1..9).
int StartWipe(int closing, int type, float speed, int slitWidth);
// One frame of the running wipe (each moving edge travels
// trunc(frameTime * speed) + 1 pixels, at least 1); 0 when none runs.
int StepWipe();
// Closes the screen at once (empty clip rectangle, state -1), saving the
// clip rectangle unless a running or closed wipe already holds the full one.
void CloseClip();
// Inverts every colour bit of the rectangle of the back screen (not clipped
// by the clip rectangle); 0 without a back screen.
int InvertRect(int left, int top, int right, int bottom);

}  // namespace krDraw
