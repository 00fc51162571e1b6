/// @file
/// krDraw: the engine's graphics. The screen state and the 512-slot image
/// object table are program-wide records; the operations are free functions
/// in the krDraw namespace. Every drawing operation targets the back screen
/// unless it names an object.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/pixels/surface.h"
#include "platform/os/types.h"

/// The back screen's pixel layout as the pixel code uses it: masks, fields and shifts of each component.
struct krPixelFormat {
    /// @{
    /// Bit masks of the three components.
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    /// @}
    /// @{
    /// Each mask shifted down to bit 0 (0x1F, 0x3F or 0xFF).
    std::uint32_t redField = 0, greenField = 0, blueField = 0;
    /// @}
    /// @{
    /// Trailing zero bits of each mask.
    int redShift = 0, greenShift = 0, blueShift = 0;
    /// @}
    /// @{
    /// Shifts that place a 5-bit component value at the top of its field.
    int red5Shift = 0, green5Shift = 0, blue5Shift = 0;
    /// @}
    /// The bits that survive halving a pixel: 50 % blends use ((p >> 1) & halfMask).
    std::uint32_t halfMask = 0;
    /// halfMask for two 16-bit pixels in one 32-bit word.
    std::uint32_t doubleHalfMask = 0;
    /// The pixel value of white.
    std::uint32_t white = 0;
};

/// The screen: the front and back screens, the size and depth, the pixel format, the clip rectangle and the effect
/// tables.
struct krScreenRecord {
    bool deviceCreated = false;       ///< the display device exists
    plat::Surface* front = nullptr;   ///< the window's visible surface (owned by the platform)
    plat::Surface* back = nullptr;    ///< the back screen
    bool clipper = false;             ///< windowed copies stay inside the window
    /// @{
    /// The screen size in pixels.
    std::int32_t screenWidth = 0, screenHeight = 0;
    /// @}
    /// Full-screen depths to try, in order (krDraw::SetDisplayDepth).
    std::int32_t preferredDepth[3] = {16, 0, 0};
    /// The display's bits per pixel.
    std::int32_t displayDepth = 16;
    /// krDraw::Present waits for the vertical blank.
    bool waitVerticalBlank = true;
    /// The display has a hardware accelerator.
    bool accelerator = false;
    /// The present stretches the picture.
    bool stretch = false;
    /// The back screen's pixel layout.
    krPixelFormat pixelFormat;
    /// The clip rectangle of every copy onto the back screen.
    plat::Rect clip;
    /// The part of the back screen that krDraw::Present shows.
    plat::Rect presentSource;
    /// Where krDraw::Present shows it.
    plat::Rect presentDestination;
    /// @{
    /// Object slots of the scrolling background's band and tile (0 when not loaded).
    std::int32_t backgroundBand = 0, backgroundTile = 0;  // scrolling background handles
    /// @}

    // Effect tables.
    /// Sine table of the wave effects.
    std::int32_t sine[450] = {};
    std::vector<std::uint8_t> component;   ///< 65,536 x (r, g, b) 5-bit values
    std::vector<std::uint16_t> crossFade;  ///< 3 x 32 x 32 x 32
    std::vector<std::uint16_t> fadeAdd;    ///< 3 x 32 x 32 x 32
    std::vector<std::uint16_t> subtract;   ///< 3 x 32 x 32
    std::vector<std::uint16_t> third;      ///< 94
    std::vector<std::uint8_t> randomTable; ///< 10,000
};

/// One image object: a surface with a colour key, and where its picture came from.
struct krObjectRecord {
    /// The picture, or null for an empty slot.
    plat::Surface* surface = nullptr;
    /// The file or pack entry loaded ("*" for krDraw::CreateObject); reloaded by krDraw::Restore.
    char name[32] = {};
    /// 1 when the picture came from an image pack.
    std::int32_t fromPack = 0;
    /// The load mode of a reload.
    std::int32_t reloadMode = 2;
    std::int32_t key = 0;  ///< 0x00BBGGRR, or -1 for the top-left pixel
    /// @{
    /// The picture's size.
    std::uint16_t width = 0, height = 0;
    /// @}
};

/// Slots of the image-object table; slots 0 to 3 are the engine's own sprites.
constexpr int krObjectCount = 512;

/// The program-wide screen record.
extern krScreenRecord krScreen;
/// The program-wide image-object table.
extern krObjectRecord krObjects[krObjectCount];

/// The engine's graphics: screen, image objects, copies, shapes, text, packs and effects, all onto the back screen
/// unless an object is named. Colours of drawing calls are 0x00BBGGRR.
namespace krDraw {

// ---- screen set-up ----
/// Sets up the display of width x height (width -1: the default size) in a window or full screen, then the sound,
/// music, timers, keys, fonts and joysticks. type 1 lets the driver place surfaces, 3 keeps the sprites in system
/// memory, others all in system memory. Returns 1, or 0 after an error report.
int Screen(int width, int height, int type);
/// Ends a frame: draws the running transition and scrolling background, then shows the back screen.
void Present();
/// Restores every lost surface and reloads every loaded object's picture.
void Restore();
/// Releases every object and the display (called by the shut-down).
void Release();
/// The three full-screen depths to try, before krDraw::Screen.
void SetDisplayDepth(int first, int second, int third);
/// Whether krDraw::Present waits for the vertical blank.
void SetVSync(int on);

// ---- image objects ----
/// Loads a BMP file beside the program into a new image object, keyed by the load key (krDraw::SetColorKey,
/// krDraw::SetCornerColorKey). Mode 2 lets the driver place it, others keep it in system memory. Returns the slot
/// (4 to 511), or 0 after an error report.
int LoadObject(const char* name, int mode);
/// Loads a BMP file into a slot the caller owns. Returns 1, or 0 after an error report.
int SwapObject(const char* name, int slot, int mode);
/// Makes an empty image object of width x height (contents undefined until drawn). Returns the slot, or 0 after an
/// error report.
int CreateObject(int width, int height, int mode);
/// Releases an object's picture and frees its slot.
void ReleaseObject(int slot);
/// The load key for the pictures loaded next: that colour (0x00BBGGRR) is see-through.
void SetColorKey(std::uint32_t colorRef);
/// The pictures loaded next take their top-left pixel as the see-through colour.
void SetCornerColorKey();
/// Gives an object a see-through colour (0x00BBGGRR).
plat::HRESULT SetObjectColorKey(int slot, std::uint32_t colorRef);
/// Gives an object its top-left pixel as the see-through colour.
plat::HRESULT SetObjectCornerColorKey(int slot);
/// Gives the destination object the source object's see-through colour.
plat::HRESULT CopyColorKey(int destination, int source);

// ---- blits and fills ----
/// Copies the object's rectangle (left, top, right, bottom) to (x, y) of the back screen, leaving its see-through
/// colour out; clipped.
void Blit(int x, int y, int source, int left, int top, int right, int bottom);
/// As krDraw::Blit, every pixel copied.
void BlitOpaque(int x, int y, int source, int left, int top, int right, int bottom);
/// As krDraw::Blit, onto another object.
void BlitObject(int destination, int x, int y, int source, int left, int top, int right, int bottom);
/// As krDraw::BlitOpaque, onto another object.
void BlitObjectOpaque(int destination, int x, int y, int source, int left, int top, int right, int bottom);
/// Copies a rectangle of the back screen to the top-left of an object.
void CaptureScreen(int slot, int left, int top, int right, int bottom);
/// Fills the back screen with 0 (black).
plat::HRESULT ClearScreen();
/// Fills an object with 0.
plat::HRESULT ClearObject(int slot);
/// Fills a rectangle of the back screen with 0.
plat::HRESULT ClearRect(int left, int top, int right, int bottom);
/// Draws the one-pixel edge of a rectangle of the back screen in 0.
plat::HRESULT FrameRect(int left, int top, int right, int bottom);
/// Fills the back screen with white.
plat::HRESULT WhiteScreen();
/// Fills a rectangle of the back screen with white.
plat::HRESULT WhiteRect(int left, int top, int right, int bottom);
/// The pixel value of a colour given as 0x00BBGGRR in the screen's own format: what krDraw::FillRect,
/// krDraw::HalfFillRect and the pixel calls take (0xF800 for red, 0x0000FF, on a 5-6-5 screen; FillRect keeps the
/// low 16 bits, as on the 16-bit screens it is made for). 0 before krDraw::Screen.
std::uint32_t PixelOf(std::uint32_t colour);
/// Fills a rectangle of the back screen with a pixel value of the screen's own format (see krDraw::PixelOf).
plat::HRESULT FillRect(int left, int top, int right, int bottom, std::uint32_t value);
/// Lays a pixel value 50 % over a rectangle of the back screen; returns 1, or 0 when it cannot be locked.
int HalfFillRect(int left, int top, int right, int bottom, std::uint32_t value);

// ---- shapes, pixels, frame rate, screenshot ----
/// Draws a line of pen width from (x1, y1) towards (x2, y2), the end point left out. Returns 1.
int DrawLine(int x1, int y1, int x2, int y2, std::uint32_t color, int penWidth);
/// Draws a rectangle filled with fillColor and outlined with the pen. Returns 1.
int DrawRect(int left, int top, int right, int bottom, std::uint32_t fillColor, std::uint32_t penColor, int penWidth);
/// Draws a closed polygon outlined in color; fillMode 0 leaves it hollow, others hatch it in color over backColor.
/// Returns 1.
int DrawPolygon(const plat::Point* points, int count, std::uint32_t color, std::uint32_t backColor, int penWidth,
                int fillMode);
/// Draws Bezier curves through 1 + 3 x curves points. Returns 1.
int DrawBezier(const plat::Point* points, int count, std::uint32_t color, int penWidth);
/// Sets one pixel of the back screen to a colour. Returns 1.
int SetScreenPixel(int x, int y, std::uint32_t color);
/// Reads one pixel of the back screen as red, green and blue, 0 to 255 each.
void GetScreenPixel(int x, int y, int* red, int* green, int* blue);
/// Takes the back screen's drawing canvas for the font set-up.
void GetScreenDC();
/// Gives back the canvas taken by krDraw::GetScreenDC.
void ReleaseScreenDC();
/// Draws the frame-rate line at the top-left and counts this call as a frame.
void DrawFps();
/// Writes the top-left width x height of the back screen as a 24-bit BMP file beside the program. Returns 1, or 0
/// when it cannot.
int SaveScreen(const char* name, int width, int height);

// ---- fonts and text ----
/// Makes the font description and reads the list of installed faces (called by krDraw::Screen).
void InitFont();
/// Frees the font description (called by the shut-down).
void QuitFont();
/// Sets up the text font on the back screen: face kind 0 Mincho, 1 Gothic, another the previous face; height in
/// pixels, angle in degrees, weight (400 normal, 700 bold). Pair with krDraw::ReleaseFont.
void SetFont(int kind, int height, int angle, int weight, std::uint8_t italic, std::uint8_t underline);
/// As krDraw::SetFont with a face name.
void SetFontName(const char* face, int height, int angle, int weight, std::uint8_t italic, std::uint8_t underline);
/// Sets the text and back colours; transparent 0 fills the back of the text, others leave it.
void SetFontColor(std::uint32_t text, std::uint32_t back, int transparent);
/// Draws a line of text at (x, y) with the font set up.
void DrawString(int x, int y, const char* s);
/// Draws text wrapped at words in a box: align 0 left, 1 centre, 2 right.
void DrawTextBox(int left, int top, int right, int bottom, const char* s, int align);
/// Returns the height the text takes wrapped in the box; draws nothing.
int MeasureTextBox(int left, int top, int right, int bottom, const char* s);
/// Ends the text drawing begun by krDraw::SetFont.
void ReleaseFont();
/// Draws a line of text in the small Gothic font, white on navy blue.
void Print(int x, int y, const char* s);
/// krDraw::Print of a printf-formatted line (at most 259 bytes).
void Printf(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));

// ---- image pack files ----
/// Chooses the image pack (a file beside the program) that krDraw::LoadPack reads.
void SetPackFile(const char* name);
/// As krDraw::LoadObject, from an entry of the image pack (name in any case). Returns the slot, or 0 on failure.
int LoadPack(const char* name, int mode);
/// As krDraw::SwapObject, from an entry of the image pack. Returns the slot, or 0 on failure.
int SwapPack(const char* name, int slot, int mode);
/// Appends every BMP file of a folder beside the program to an image pack (deleteFirst 1 starts it anew). Needs a
/// display deeper than 16 bits. Returns 1, or 0 after an error report.
int Convert(const char* packName, const char* folder, int deleteFirst);

// ---- strip effects and scaled copies ----
/// Draws the rectangle with its rows shifted along a sine wave of amplitude, divisor rows per degree, moving at
/// speed degrees per second; alternate flips every other row's shift.
void WaveBlit(int x, int y, int amplitude, int divisor, float speed, int slot, int left, int top, int right,
              int bottom, int alternate);
/// Tiles the back screen's clip rectangle with the object's rectangle, scrolling at x and y speeds in pixels per
/// second.
void TileScroll(float xSpeed, float ySpeed, int slot, int left, int top, int right, int bottom);
/// As krDraw::WaveBlit, the rows also scrolling upwards at scrollSpeed rows per second.
void WaveScrollBlit(int x, int y, int amplitude, int divisor, float waveSpeed, float scrollSpeed, int slot, int left,
                    int top, int right, int bottom);
/// Waves and scrolls the rows firstRow to lastRow of the screen, tiled from the rectangle.
void WaveTile(int firstRow, int lastRow, int amplitude, int divisor, float waveSpeed, float scrollSpeed, int slot,
              int left, int top, int right, int bottom);
/// Draws every repeat-th row repeat times: a vertical pixelation.
void RowRepeatBlit(int x, int y, int repeat, int slot, int left, int top, int right, int bottom);
/// Draws every gap-th row only (a negative gap: random gaps up to -gap).
void ScanlineBlit(int x, int y, int gap, int slot, int left, int top, int right, int bottom);
/// Draws each row shifted by a random amount within range.
void JitterBlit(int x, int y, int range, int slot, int left, int top, int right, int bottom);
/// Draws the rectangle as if rolled on a drum turning at speed rows per second; forward sets the direction.
void RollBlit(int x, int y, int forward, float speed, int slot, int left, int top, int right, int bottom);
/// Copies the rectangle scaled to width x height at (x, y), leaving its see-through colour out.
void StretchBlit(int x, int y, int slot, int left, int top, int right, int bottom, int width, int height);
/// As krDraw::StretchBlit, every pixel copied.
void StretchBlitOpaque(int x, int y, int slot, int left, int top, int right, int bottom, int width, int height);

// ---- per-pixel blends ----
// Each returns 1, or 0 when a surface cannot be locked or the arguments are refused.
/// A keyed copy of the object's rectangle onto the back screen at (x, y), mirrored by mode: 0 unchanged, 1 left to
/// right, 2 upside down, 3 both. Returns 1, or 0 when a surface cannot be locked or an argument is refused.
int FlipBlit(int x, int y, int mode, int slot, int left, int top, int right, int bottom);
/// A keyed copy of the object's rectangle onto the back screen at (x, y) that follows the source for length pixels,
/// then repeats the last pixel to the rectangle's edge; mode 0 smears to the right, 1 to 3 in the other directions.
/// Returns 1, or 0 when a surface cannot be locked or an argument is refused.
int SmearBlit(int x, int y, int mode, int length, int slot, int left, int top, int right, int bottom);
/// Draws the object half over the screen (50 %) onto the back screen at (x, y) from the object's rectangle; returns
/// 1, or 0 when a surface cannot be locked or an argument is refused.
int HalfBlit(int x, int y, int slot, int left, int top, int right, int bottom);
/// Draws the object at opacity 0 to 1 onto the back screen at (x, y) from the object's rectangle; returns 1, or 0
/// when a surface cannot be locked or an argument is refused.
int AlphaBlit(int x, int y, float opacity, int slot, int left, int top, int right, int bottom);
/// Draws the object at an opacity per component onto the back screen at (x, y) from the object's rectangle; returns
/// 1, or 0 when a surface cannot be locked or an argument is refused.
int AlphaBlitRGB(int x, int y, float red, float green, float blue, int slot, int left, int top, int right,
                 int bottom);
/// As krDraw::AlphaBlitRGB, the transparencies falling by 1/32 every step pixels from pixel start (across, or down
/// when vertical is not 0) onto the back screen at (x, y) from the object's rectangle; returns 1, or 0 when a
/// surface cannot be locked or an argument is refused.
int AlphaGradientBlit(int x, int y, float red, float green, float blue, int vertical, int start, int step, int slot,
                      int left, int top, int right, int bottom);
/// Cross-fades the object over the screen at level 0 (screen) to 31 (object) onto the back screen at (x, y) from
/// the object's rectangle; returns 1, or 0 when a surface cannot be locked or an argument is refused.
int FadeBlit(int x, int y, int level, int slot, int left, int top, int right, int bottom);
/// Cross-fades at a level per component onto the back screen at (x, y) from the object's rectangle; returns 1, or 0
/// when a surface cannot be locked or an argument is refused.
int FadeBlitRGB(int x, int y, int red, int green, int blue, int slot, int left, int top, int right, int bottom);
/// As krDraw::FadeBlitRGB, the levels stepping every step pixels from pixel start onto the back screen at (x, y)
/// from the object's rectangle; returns 1, or 0 when a surface cannot be locked or an argument is refused.
int FadeGradientBlit(int x, int y, int red, int green, int blue, int vertical, int start, int step, int slot,
                     int left, int top, int right, int bottom);
/// Adds the object's components to the screen's, saturating onto the back screen at (x, y) from the object's
/// rectangle; returns 1, or 0 when a surface cannot be locked or an argument is refused.
int AddBlit(int x, int y, int slot, int left, int top, int right, int bottom);
/// Adds the object at strength 0 to 1 onto the back screen at (x, y) from the object's rectangle; returns 1, or 0
/// when a surface cannot be locked or an argument is refused.
int AddAlphaBlit(int x, int y, float strength, int slot, int left, int top, int right, int bottom);
/// Subtracts the object's red component from each of the screen's components onto the back screen at (x, y) from
/// the object's rectangle; returns 1, or 0 when a surface cannot be locked or an argument is refused.
int SubBlit(int x, int y, int slot, int left, int top, int right, int bottom);
/// Draws the object darkened to level 0 to 31 (31 unchanged) onto the back screen at (x, y) from the object's
/// rectangle; returns 1, or 0 when a surface cannot be locked or an argument is refused.
int DarkBlit(int x, int y, int level, int slot, int left, int top, int right, int bottom);
/// Draws the object darkened by a level per component onto the back screen at (x, y) from the object's rectangle;
/// returns 1, or 0 when a surface cannot be locked or an argument is refused.
int DarkBlitRGB(int x, int y, int red, int green, int blue, int slot, int left, int top, int right, int bottom);
/// Draws the object with its components times factor (0 to 1) onto the back screen at (x, y) from the object's
/// rectangle; returns 1, or 0 when a surface cannot be locked or an argument is refused.
int BrightBlit(int x, int y, float factor, int slot, int left, int top, int right, int bottom);
/// Draws the object with a factor per component onto the back screen at (x, y) from the object's rectangle; returns
/// 1, or 0 when a surface cannot be locked or an argument is refused.
int BrightBlitRGB(int x, int y, float red, float green, float blue, int slot, int left, int top, int right,
                  int bottom);
/// Draws only the object's components whose keep flag is not 0 onto the back screen at (x, y) from the object's
/// rectangle; returns 1, or 0 when a surface cannot be locked or an argument is refused.
int ChannelBlit(int x, int y, int keepRed, int keepGreen, int keepBlue, int slot, int left, int top, int right,
                int bottom);
/// Draws the object in grey onto the back screen at (x, y) from the object's rectangle; returns 1, or 0 when a
/// surface cannot be locked or an argument is refused.
int GrayBlit(int x, int y, int slot, int left, int top, int right, int bottom);
/// Draws the object blurred over blocks of blockSize x blockSize onto the back screen at (x, y) from the object's
/// rectangle; returns 1, or 0 when a surface cannot be locked or an argument is refused.
int BlurBlit(int x, int y, int blockSize, int slot, int left, int top, int right, int bottom);
/// Draws the object with its edges mixed into the screen onto the back screen at (x, y) from the object's
/// rectangle; returns 1, or 0 when a surface cannot be locked or an argument is refused.
int SmoothEdgeBlit(int x, int y, int slot, int left, int top, int right, int bottom);
/// Shifts the screen under the object down by the object's red component times strength: a glass-like refraction
/// onto the back screen at (x, y) from the object's rectangle; returns 1, or 0 when a surface cannot be locked or
/// an argument is refused.
int RefractBlit(int x, int y, float strength, int slot, int left, int top, int right, int bottom);

// ---- screen transitions and scrolling background ----
// Two effects that krDraw::Present lays over the finished frame. The
// covering transition tiles one 64 x 48 cell of its pattern over the whole
// screen per present, ten presents long; the main loop presents alone while
// it covers and changes scene when it ends. The scrolling background is a
// drifting tiled layer under a tall band picture that the arrow keys scroll
// (the key is backgroundKey); while it runs, or while a transition runs,
// polled input reads 0. A handle of 0 (nothing loaded) draws nothing.
/// The covering transition's progress.
struct TransitionState {
    std::int32_t step = 0;       ///< 0 idle; 1 to 10: cell step - 1 is shown next
    std::int32_t direction = 0;  ///< +1 covering, -1 uncovering, 0 idle
    std::int32_t pattern = 0;    ///< ten 64 x 48 cells side by side (640 x 48)
};
/// The scrolling background's state.
struct BackgroundState {
    /// The scrolling background runs.
    bool on = false;
    std::int32_t bandHeight = 0;  ///< as the caller states it; 0 keeps the background off
    float bandPosition = 0.0f;    ///< band row shown at the clip rectangle's top
    float tileOffsetX = 0.0f;     ///< drift of the tiled layer, in (-64, 0]
    float tileOffsetY = 0.0f;     ///< and in (-48, 0]
};
/// The program-wide transition state (pattern handle included).
extern TransitionState transition;
extern BackgroundState background;  ///< the handles are krScreen.backgroundBand and backgroundTile

/// Loads the pattern (colour key black) into a new slot: the pattern handle.
void LoadTransition(const char* name);
void StartCover();    ///< step 1, direction +1: cells 0 to 9
void StartUncover();  ///< step 10, direction -1: cells 9 to 0
/// Loads (first use) or reloads into the same handles the band and the 64 x 48
/// tile, colour key black; band position 0.
void LoadBackground(const char* band, const char* tile, int bandHeight);
/// Off when on; on only when a band height is set.
void ToggleBackground();
/// The transition step and then the background step of krDraw::Present.
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
/// Entries of the message text's glyph list.
constexpr int kGlyphListSize = 3200;
/// The laid-out message text and how much of it is shown.
struct MessageTextState {
    plat::Rect glyphs[kGlyphListSize] = {};  ///< 0: bounding box; 1 to count - 1: the glyphs in order
    /// Entries used in glyphs.
    std::int32_t count = 0;
    std::int32_t revealCounter = 0;  ///< glyphs 1 to revealCounter - 1 are shown
    /// Seconds since the reveal began.
    float revealTimer = 0.0f;
};
/// The program-wide message text.
extern MessageTextState messageText;

// The font description of the smooth layout: face by kind (0 Mincho,
// 1 Gothic, else the previous face) or by name, at twice the height, weight
// 400, charset 128 (by name: the font list's), selected on the Font buffer
// sprite (object 3). Pair each with krDraw::ReleaseSmoothFont.
/// Sets up the smooth layout's font: face by kind (0 Mincho, 1 Gothic, else the previous face) at twice the height,
/// weight 400, on the Font buffer sprite (object 3). Pair with krDraw::ReleaseSmoothFont.
void SetSmoothFont(int kind, int height);
/// As krDraw::SetSmoothFont with a face name (charset from the font list).
void SetSmoothFontName(const char* face, int height);
/// Ends the smooth layout begun by krDraw::SetSmoothFont.
void ReleaseSmoothFont();
/// Plain layout: glyphs drawn by the font at their size; a glyph whose end
/// passes right (pen x > right) moves on; a new line whose bottom reaches the
/// box's bottom ends the layout (the first line is always laid out). The line
/// height starts at font height + leading and only grows. Leaves the font
/// selected on the back screen for krDraw::ReleaseFont.
void LayoutText(int x, int y, int right, int bottom, const char* text, std::uint16_t style);
/// Smooth layout (after krDraw::SetSmoothFont): each line drawn at double size
/// in the Font buffer and reduced into the Font sprite, the glyphs' edges
/// mixed with what the back screen shows there now. Wraps when a glyph's end
/// reaches right (>=); ends when a new line starts at or below bottom; a line
/// crossing the bottom is cut at it.
void LayoutSmoothText(int x, int y, int right, int bottom, const char* text, std::uint16_t style);
/// Shows the laid-out text on the back screen: glyph k from the (k + 1)-th
/// period of secondsPerGlyph on; 1 once all of it is shown, else 0. A period
/// of 0 or below (or not a number) shows the whole text at once.
int RevealText(float secondsPerGlyph);

// ---- rotation ----
// Family of rotations onto the back screen: a destination box (left, top,
// right, bottom), an angle in whole degrees (taken modulo 360), and an
// object's source rectangle that is centred in the box and turned about the
// box centre; source pixels of value 0 are transparent, the box is cut to
// the clip rectangle. Results: 1, or 0 when a lock fails, the source slot is
// empty or of another depth, or an argument is refused.
/// Draws the object's rectangle turned by angle whole degrees about the centre of the box (left, top, right,
/// bottom), cut to the clip rectangle; source pixels of value 0 are see-through. Returns 1, or 0 when a lock fails,
/// the slot is empty or of another depth, or an argument is refused.
int RotateBlit(int left, int top, int right, int bottom, int angle, int slot, int srcLeft, int srcTop, int srcRight,
               int srcBottom);
/// Each source coordinate taken as its absolute value: mirrored about the
/// source rectangle's corner.
int RotateMirrorBlit(int left, int top, int right, int bottom, int angle, int slot, int srcLeft, int srcTop,
                     int srcRight, int srcBottom);
/// zoom 2 doubles the picture about the box centre; a negative zoom turns it
/// half round. A zoom that is not finite or below 1/65536 in size, or a box
/// side beyond 2^24, is refused.
int RotateZoomBlit(int left, int top, int right, int bottom, int angle, float zoom, int slot, int srcLeft, int srcTop,
                   int srcRight, int srcBottom);
/// As krDraw::RotateZoomBlit, mirrored as krDraw::RotateMirrorBlit.
int RotateZoomMirrorBlit(int left, int top, int right, int bottom, int angle, float zoom, int slot, int srcLeft,
                         int srcTop, int srcRight, int srcBottom);
/// As RotateZoomBlit, each drawn pixel blended per component at level 0..31
/// (clamped): (source * level + destination * (31 - level)) / 31; 31 draws
/// the source pixels whole, 0 leaves the back screen untouched.
int RotateZoomAlphaBlit(int left, int top, int right, int bottom, int angle, float zoom, int level, int slot,
                        int srcLeft, int srcTop, int srcRight, int srcBottom);
/// The source rectangle turned by a float angle in degrees and scaled by
/// scaleX and scaleY, centred on (x, y); the box is the square that holds
/// the picture at any angle.
int RotateScaleBlit(int x, int y, float angle, float scaleX, float scaleY, int slot, int srcLeft, int srcTop,
                    int srcRight, int srcBottom);
/// Texture mapping. MakeTextureMap fills the one table for an output of
/// width x height (1..2048 each) around a centre (-1: the middle): table x is
/// the angle about the centre in 1/256 turns, table y is 4096 / distance
/// (4096 at the centre), with distance kind 0 Euclidean, 1 the larger and
/// 2 the smaller axis distance, 3 their mean, 4 the horizontal and 5 the
/// vertical one alone. Returns 0 for other sizes or kinds.
int MakeTextureMap(int width, int height, int centerX, int centerY, int kind);
/// Draws the table's output at (x, y): each pixel from the texture (the
/// source rectangle, cut to its surface) at ((offsetX + table x) modulo its
/// width, (offsetY + table y) modulo its height). Returns 0 without a table.
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
/// Smooths a region (x, y, width, height) of the back screen: each inner pixel becomes the average of its four
/// neighbours, in reading order. Filters return 1, or 0 when the back screen cannot be locked or an argument is
/// refused.
int SmoothRect(int x, int y, int width, int height);
/// The same for the components whose flag is non-zero; the others are kept.
int SmoothRectRGB(int x, int y, int width, int height, int red, int green, int blue);
/// Rising smoke: each inner pixel goes one row up, as a plain copy whenever a
/// running counter reaches the current random-table entry, else as the
/// average of its four neighbours. Counter and table position persist.
int SmokeRect(int x, int y, int width, int height);
/// As krDraw::SmokeRect for the components whose flag is not 0.
int SmokeRectRGB(int x, int y, int width, int height, int red, int green, int blue);
/// The region doubled into the Buffer sprite and drawn back at (x, y) at
/// twice the size with BlitOpaque: scanlines 0 makes each pixel a 2 x 2
/// block, non-zero leaves the lower row of each block black.
int EnlargeRect(int x, int y, int width, int height, int scanlines);
/// Cells of cellSize (>= 1) from the region's corner; each becomes a disc of
/// the cell's average colour, pixels farther than cellSize / 2 from the
/// cell centre black.
int MosaicRect(int x, int y, int width, int height, int cellSize);
/// Each pixel's components move by (random-table entry - 1) << shift
/// (shift clamped to 0..component bits), kept inside the component's range.
int NoiseRect(int x, int y, int width, int height, int shift);
/// As krDraw::NoiseRect for the components whose flag is not 0.
int NoiseRectRGB(int x, int y, int width, int height, int shift, int red, int green, int blue);

// Clip-rectangle wipes.
/// The clip-rectangle wipe's state.
struct WipeRecord {
    std::int32_t state = 0;  ///< 0 idle, 1 opening, 2 closing, -1 closed (empty clip rectangle)
    /// Non-zero for a closing wipe.
    std::int32_t closing = 0;
    std::int32_t type = 0;  ///< 1..9
    float speed = 0;        ///< pixels per second of a moving edge
    std::int32_t slit = 0;  ///< centre slit of types 8 and 9
    plat::Rect saved;       ///< the full clip rectangle when the wipe began
    /// @{
    /// Progress of the moving edges.
    std::int32_t opened = 0, closed = 0;
    /// @}
};
/// The program-wide wipe state.
extern WipeRecord wipe;
/// Returns 0 while a wipe runs or for a type outside 0..9 (0 picks 1..9).
int StartWipe(int closing, int type, float speed, int slitWidth);
/// One frame of the running wipe (each moving edge travels
/// trunc(frameTime * speed) + 1 pixels, at least 1); 0 when none runs.
int StepWipe();
/// Closes the screen at once (empty clip rectangle, state -1), saving the
/// clip rectangle unless a running or closed wipe already holds the full one.
void CloseClip();
/// Inverts every colour bit of the rectangle of the back screen (not clipped
/// by the clip rectangle); 0 without a back screen.
int InvertRect(int left, int top, int right, int bottom);

}  // namespace krDraw
