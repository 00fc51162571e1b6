/// @file
/// The text state of krDraw: the font description every font is made from,
/// the font height, the font and canvas held between a set-font call and its
/// release, the text colours and the list of installed faces. The message
/// text layout shares it with the direct text operations.
#pragma once
#include <cstdint>

#include "platform/pixels/canvas.h"
#include "platform/text/font.h"
#include "platform/pixels/surface.h"

// The classic 60-byte font description record.
/// The classic 60-byte font description record.
struct krLogFont {
    /// Character height in pixels.
    std::int32_t height;
    /// Average character width (0: the face's own).
    std::int32_t width;
    /// Angle of the text line in tenths of a degree.
    std::int32_t escapement;
    /// Angle of each glyph in tenths of a degree.
    std::int32_t orientation;
    /// Stroke weight: 400 normal, 700 bold.
    std::int32_t weight;
    /// Non-zero for italic.
    std::uint8_t italic;
    /// Non-zero for underlined.
    std::uint8_t underline;
    /// Non-zero for struck-out.
    std::uint8_t strikeOut;
    /// Character set: 128 for Japanese (code page 932).
    std::uint8_t charset;
    /// Output precision of the font mapper.
    std::uint8_t outPrecision;
    /// Clipping precision of the font mapper.
    std::uint8_t clipPrecision;
    /// Output quality.
    std::uint8_t quality;
    /// Pitch and family of the face.
    std::uint8_t pitchAndFamily;
    /// The face name, code page 932, NUL-terminated.
    char faceName[32];
};
static_assert(sizeof(krLogFont) == 60, "the font description keeps its classic size");

/// Entries of the installed-face list.
constexpr int krFontListSize = 200;

/// One installed face.
struct krFontListEntry {
    char name[36];  ///< at most 31 bytes and the NUL
    /// Character set: 128 for Japanese (code page 932).
    std::uint8_t charset;
};

/// The text state shared by the text calls and the message text layout.
struct krFontStateRecord {
    krLogFont* description = nullptr;  ///< allocated by krDraw::InitFont
    /// The height of the last font set up.
    std::int32_t fontHeight = 0;
    plat::Font* font = nullptr;          ///< the font made by the last set-font call
    plat::Font* previousFont = nullptr;  ///< selected before it, put back on release
    plat::Canvas canvas;                 ///< the text canvas while held
    /// True while a set-font call holds the canvas.
    bool canvasHeld = false;
    /// The text colour, 0x00BBGGRR.
    std::uint32_t textColor = 0;
    /// The back colour, 0x00BBGGRR.
    std::uint32_t backColor = 0;
    /// The installed faces, read by krDraw::InitFont.
    krFontListEntry fontList[krFontListSize] = {};
    /// Entries used in fontList.
    std::int32_t fontCount = 0;
};

/// The program-wide text state.
extern krFontStateRecord krFontState;

/// The engine's graphics.
namespace krDraw {

/// Writes the face of a face kind into the description: 0 the standard
/// Mincho, 1 the standard Gothic, anything else keeps the face it has.
void DescribeFaceKind(int kind);
/// Writes a face name into the description (cut to 31 bytes, never inside a
/// two-byte character) with the charset the font list gives it, else 128.
void DescribeFaceName(const char* face);
/// Makes a font from the description, takes a canvas on the surface and
/// selects the font into it (a canvas still held is given back first).
void AcquireTextCanvas(plat::Surface* surface);
/// Selects the previous font back, deletes the font and gives the canvas up.
void ReleaseTextCanvas();

}  // namespace krDraw
