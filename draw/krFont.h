// The text state of krDraw: the font description every font is made from,
// the font height, the font and canvas held between a set-font call and its
// release, the text colours and the list of installed faces. The message
// text layout shares it with the direct text operations.
#pragma once
#include <cstdint>

#include "platform/pixels/canvas.h"
#include "platform/text/font.h"
#include "platform/pixels/surface.h"

// The classic 60-byte font description record.
struct krLogFont {
    std::int32_t height;
    std::int32_t width;
    std::int32_t escapement;
    std::int32_t orientation;
    std::int32_t weight;
    std::uint8_t italic;
    std::uint8_t underline;
    std::uint8_t strikeOut;
    std::uint8_t charset;
    std::uint8_t outPrecision;
    std::uint8_t clipPrecision;
    std::uint8_t quality;
    std::uint8_t pitchAndFamily;
    char faceName[32];
};
static_assert(sizeof(krLogFont) == 60, "the font description keeps its classic size");

constexpr int krFontListSize = 200;

struct krFontListEntry {
    char name[36];  // at most 31 bytes and the NUL
    std::uint8_t charset;
};

struct krFontStateRecord {
    krLogFont* description = nullptr;  // allocated by krDraw::InitFont
    std::int32_t fontHeight = 0;
    plat::Font* font = nullptr;          // the font made by the last set-font call
    plat::Font* previousFont = nullptr;  // selected before it, put back on release
    plat::Canvas canvas;                 // the text canvas while held
    bool canvasHeld = false;
    std::uint32_t textColor = 0;
    std::uint32_t backColor = 0;
    krFontListEntry fontList[krFontListSize] = {};
    std::int32_t fontCount = 0;
};

extern krFontStateRecord krFontState;

namespace krDraw {

// Writes the face of a face kind into the description: 0 the standard
// Mincho, 1 the standard Gothic, anything else keeps the face it has.
void DescribeFaceKind(int kind);
// Writes a face name into the description (cut to 31 bytes, never inside a
// two-byte character) with the charset the font list gives it, else 128.
void DescribeFaceName(const char* face);
// Makes a font from the description, takes a canvas on the surface and
// selects the font into it (a canvas still held is given back first).
void AcquireTextCanvas(plat::Surface* surface);
// Selects the previous font back, deletes the font and gives the canvas up.
void ReleaseTextCanvas();

}  // namespace krDraw
