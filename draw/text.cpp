// Fonts and text on the back screen: the font description, the list of
// installed faces, set-font / colour / draw / release calls, and the debug
// text of krDraw::Print and krDraw::Printf (12-pixel Gothic, white on navy).
// Fonts come from the platform's font module and draw through its canvas.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "draw/krDraw.h"
#include "draw/krFont.h"
#include "platform/text/cp932.h"
#include "platform/text/cp932_literal.h"

krFontStateRecord krFontState;

namespace {

constexpr int kTextBufferSize = 260;
constexpr std::uint32_t kBoxFlags = plat::DT_WORDBREAK | plat::DT_NOPREFIX;

// Copies at most capacity - 1 bytes and a NUL, never ending on half of a
// two-byte character.
void CopyText(char* out, std::size_t capacity, const char* text) {
    std::size_t n = 0;
    while (text && text[n] != '\0') {
        const std::size_t size =
            plat::IsLeadByte(static_cast<unsigned char>(text[n])) && text[n + 1] != '\0' ? 2 : 1;
        if (n + size > capacity - 1) break;
        n += size;
    }
    if (n > 0) std::memcpy(out, text, n);
    out[n] = '\0';
}

// Drops a lead byte left alone at the end by a cut.
void TrimCutCharacter(char* text, std::size_t length) {
    std::size_t i = 0;
    while (i < length) {
        if (plat::IsLeadByte(static_cast<unsigned char>(text[i]))) {
            if (i + 1 >= length) {
                text[i] = '\0';
                return;
            }
            i += 2;
        } else {
            ++i;
        }
    }
}

plat::FontRequest RequestOf(const krLogFont& d) {
    plat::FontRequest request;
    request.height = d.height;
    request.escapement = d.escapement;
    request.weight = d.weight;
    request.italic = d.italic != 0;
    request.underline = d.underline != 0;
    request.charset = d.charset;
    request.face.assign(d.faceName, strnlen(d.faceName, sizeof d.faceName));
    return request;
}

std::int32_t WeightOf(int weight) {
    if (weight == 0) return plat::FW_NORMAL;
    if (weight == 1) return plat::FW_BOLD;
    return plat::FW_DONTCARE;
}

// Everything but the face and charset, as both set-font calls write it.
void DescribeSize(int height, int angle, int weight, std::uint8_t italic, std::uint8_t underline) {
    krLogFont& d = *krFontState.description;
    d.height = height;
    d.width = 0;
    d.escapement = static_cast<std::int32_t>(static_cast<std::int64_t>(angle) * 10);  // wraps, never overflows
    d.weight = WeightOf(weight);
    d.italic = italic;
    d.underline = underline;
    krFontState.fontHeight = height;
}

std::uint8_t ListedCharset(const char* face) {
    for (const krFontListEntry& entry : krFontState.fontList)
        if (std::strcmp(entry.name, face) == 0) return entry.charset;
    return plat::SHIFTJIS_CHARSET;
}

void FillFontList() {
    for (krFontListEntry& entry : krFontState.fontList) entry = krFontListEntry{};
    krFontState.fontCount = 0;
    for (const plat::FontFamily& family : plat::ListFontFamilies(krFontListSize)) {
        krFontListEntry& entry = krFontState.fontList[krFontState.fontCount++];
        CopyText(entry.name, 32, family.name.c_str());
        entry.charset = family.charset;
    }
}

plat::Canvas* HeldCanvas() { return krFontState.canvasHeld ? &krFontState.canvas : nullptr; }

}  // namespace

namespace krDraw {

void DescribeFaceKind(int kind) {
    const char* face = kind == 0 ? u8"標準明朝"_cp932 : kind == 1 ? u8"標準ゴシック"_cp932 : nullptr;
    if (face) CopyText(krFontState.description->faceName, sizeof krFontState.description->faceName, face);
}

void DescribeFaceName(const char* face) {
    if (!face) face = "";
    CopyText(krFontState.description->faceName, sizeof krFontState.description->faceName, face);
    krFontState.description->charset = ListedCharset(face);
}

void AcquireTextCanvas(plat::Surface* surface) {
    if (krFontState.canvasHeld) ReleaseTextCanvas();
    krFontState.font = plat::CreateFont(RequestOf(*krFontState.description));
    krFontState.canvas = plat::Canvas(surface);
    krFontState.previousFont = krFontState.canvas.SelectFont(krFontState.font);
    krFontState.canvasHeld = true;
}

void ReleaseTextCanvas() {
    if (!krFontState.canvasHeld) return;
    krFontState.canvas.SelectFont(krFontState.previousFont);
    plat::DeleteFont(krFontState.font);
    krFontState.font = nullptr;
    krFontState.previousFont = nullptr;
    krFontState.canvas = plat::Canvas();
    krFontState.canvasHeld = false;
}

void InitFont() {
    ReleaseTextCanvas();
    delete krFontState.description;
    krFontState.description = new krLogFont{};
    GetScreenDC();
    FillFontList();
    ReleaseScreenDC();
}

void QuitFont() {
    ReleaseTextCanvas();
    delete krFontState.description;
    krFontState.description = nullptr;
}

void SetFont(int kind, int height, int angle, int weight, std::uint8_t italic, std::uint8_t underline) {
    if (!krFontState.description) return;
    DescribeFaceKind(kind);
    DescribeSize(height, angle, weight, italic, underline);
    krFontState.description->charset = plat::SHIFTJIS_CHARSET;
    AcquireTextCanvas(krScreen.back);
}

void SetFontName(const char* face, int height, int angle, int weight, std::uint8_t italic, std::uint8_t underline) {
    if (!krFontState.description) return;
    DescribeFaceName(face);
    DescribeSize(height, angle, weight, italic, underline);
    AcquireTextCanvas(krScreen.back);
}

void SetFontColor(std::uint32_t text, std::uint32_t back, int transparent) {
    krFontState.textColor = text;
    krFontState.backColor = back;
    if (plat::Canvas* dc = HeldCanvas()) {
        dc->SetTextColor(text);
        dc->SetBkColor(back);
        dc->SetBkMode(transparent ? plat::TRANSPARENT : plat::OPAQUE);
    }
}

void DrawString(int x, int y, const char* s) {
    if (plat::Canvas* dc = HeldCanvas(); dc && s) dc->TextOut(x, y, s, -1);
}

void DrawTextBox(int left, int top, int right, int bottom, const char* s, int align) {
    static constexpr std::uint32_t kAlign[] = {plat::DT_LEFT, plat::DT_CENTER, plat::DT_RIGHT};
    plat::Canvas* dc = HeldCanvas();
    if (!dc || !s || align < 0 || align > 2) return;
    plat::Rect box{left, top, right, bottom};
    dc->DrawText(s, -1, box, kBoxFlags | kAlign[align]);
}

int MeasureTextBox(int left, int top, int right, int bottom, const char* s) {
    plat::Canvas* dc = HeldCanvas();
    if (!dc || !s) return 0;
    plat::Rect box{left, top, right, bottom};
    return dc->DrawText(s, -1, box, kBoxFlags | plat::DT_CALCRECT);
}

void ReleaseFont() { ReleaseTextCanvas(); }

void Print(int x, int y, const char* s) {
    SetFont(1, 12, 0, 0, 0, 0);
    SetFontColor(0xFFFFFF, 0x800000, 0);
    DrawString(x, y, s);
    ReleaseFont();
}

void Printf(int x, int y, const char* format, ...) {
    char text[kTextBufferSize];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);
    if (written < 0) return;
    if (written >= kTextBufferSize) TrimCutCharacter(text, kTextBufferSize - 1);
    Print(x, y, text);
}

}  // namespace krDraw
