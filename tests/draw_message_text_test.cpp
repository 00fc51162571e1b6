// Message text: where the plain and smooth layouts break lines (the right
// edge, hanging punctuation, two-byte characters, "\n", the bottom), the
// line height, the colour replacement, the typewriter reveal, the smooth
// edges mixed with the back screen on every depth, and bad input that must
// end soundly.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "draw/krFont.h"
#include "platform/pixels/canvas.h"
#include "platform/pixels/raster.h"
#include "draw_fixture.h"

namespace {

constexpr int kFontSprite = 2, kFontBuffer = 3;

class MessageText : public DrawTest {
protected:
    virtual int Depth() const { return 16; }
    void SetUp() override {
        DrawTest::SetUp();
        setenv("KR_DESKTOP_BITS", std::to_string(Depth()).c_str(), 1);
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        krDraw::messageText.count = 0;
        krDraw::messageText.revealCounter = 0;
        krSystemState.frameTime = 1.0f / 60;
    }
    void TearDown() override {
        krDraw::ReleaseFont();
        krDraw::QuitFont();
        DrawTest::TearDown();
    }

    // A 16-pixel Gothic face, white text on a grey shadow colour.
    static void PlainFont(int height = 16) {
        krDraw::SetFont(1, height, 0, 0, 0, 0);
        krDraw::SetFontColor(0xFFFFFF, 0x404040, 1);
    }
    static void SmoothFont(int height = 16) {
        krDraw::SetSmoothFont(1, height);
        krDraw::SetFontColor(0xFFFFFF, 0x404040, 1);
    }
    // The advance of a character with the font now selected.
    static int Width(const char* s) { return krFontState.canvas.TextExtent(s, -1).cx; }
    static int CellHeight() { return krFontState.canvas.TextExtent("あ", -1).cy; }
    // Even, as the smooth layout rounds it, in double-size pixels.
    static int Width2(const char* s) { return (Width(s) + 1) & ~1; }

    static const plat::Rect& Glyph(int k) { return krDraw::messageText.glyphs[k]; }
    static std::vector<int> Edges(const plat::Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
    static int Count() { return krDraw::messageText.count; }
    static std::vector<int> Tops() {
        std::vector<int> tops;
        for (int k = 1; k < Count(); ++k) tops.push_back(Glyph(k).top);
        return tops;
    }
    static std::vector<int> Lefts() {
        std::vector<int> lefts;
        for (int k = 1; k < Count(); ++k) lefts.push_back(Glyph(k).left);
        return lefts;
    }
    static int Ink(int slot, plat::Rect r) {
        const plat::Surface& s = *krObjects[slot].surface;
        r.left = std::max(r.left, 0), r.top = std::max(r.top, 0);
        r.right = std::min(r.right, s.width), r.bottom = std::min(r.bottom, s.height);
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += plat::GetPixel(s, x, y) != 0;
        return n;
    }
    static int BackInk(plat::Rect r) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += BackPixel(x, y) != 0;
        return n;
    }
    static std::uint32_t Pixel(std::uint32_t colorRef) { return plat::MapColorRef(krScreen.back->format, colorRef); }
};

class MessageTextDepths : public MessageText, public testing::WithParamInterface<int> {
protected:
    int Depth() const override { return GetParam(); }
};
INSTANTIATE_TEST_SUITE_P(MessageTextDepth, MessageTextDepths, testing::Values(15, 16, 24, 32));

// ---- line breaking ----

TEST_F(MessageText, PlainKeepsAGlyphEndingOnTheRightEdgeSmoothWrapsIt) {
    PlainFont();
    const int w = Width("あ");
    krDraw::LayoutText(100, 50, 100 + 3 * w, 400, "あいう", 0);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 50, 50})) << "pen x = right stays on the line";
    krDraw::LayoutText(100, 50, 100 + 3 * w - 1, 400, "あいう", 0);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 50, 66}));
    EXPECT_EQ(Lefts(), (std::vector<int>{100, 100 + w, 100}));
    krDraw::ReleaseFont();

    SmoothFont();
    const int half = Width2("あ") >> 1;
    krDraw::LayoutSmoothText(100, 50, 100 + 3 * half, 400, "あいう", 0);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 50, 66})) << "the smooth test is >=";
    krDraw::LayoutSmoothText(100, 50, 100 + 3 * half + 1, 400, "あいう", 0);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 50, 50}));
    EXPECT_EQ(Edges(Glyph(3)), Edges({100 + 2 * half, 50, 100 + 3 * half, 50 + CellHeight() / 2}));
    krDraw::ReleaseSmoothFont();
}

TEST_F(MessageText, ClosingMarkHangsPastTheEdgeOrdinaryGlyphMovesOn) {
    PlainFont();
    const int w = Width("あ"), stop = Width("。");
    krDraw::LayoutText(100, 50, 100 + 2 * w, 400, "あい。う", 0);
    ASSERT_EQ(Count(), 4) << "the hanging mark gets no rectangle";
    EXPECT_EQ(Tops(), (std::vector<int>{50, 50, 66}));
    EXPECT_EQ(Glyph(3).left, 100) << "the next line starts with the following character";
    EXPECT_GT(Ink(kFontSprite, {100 + 2 * w, 50, 100 + 2 * w + stop, 66}), 0) << "drawn past the right edge";
    krDraw::ClearScreen();
    EXPECT_EQ(krDraw::RevealText(0.0f), 1);
    EXPECT_GT(BackInk({100 + 2 * w, 50, 100 + 2 * w + stop, 66}), 0) << "the box reaches one glyph past the line";

    krDraw::LayoutText(100, 50, 100 + 2 * w, 400, "あいかう", 0);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 50, 66, 66}));
    EXPECT_EQ(Ink(kFontSprite, {100 + 2 * w, 50, 800, 66}), 0);
    krDraw::ReleaseFont();

    SmoothFont();
    const int half = Width2("あ") >> 1;
    krDraw::LayoutSmoothText(100, 50, 100 + 2 * half + 1, 400, "あい。う", 0);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 50, 66}));
    EXPECT_GT(Ink(kFontSprite, {100 + 2 * half, 50, 100 + 3 * half, 66}), 0);
    krDraw::ReleaseSmoothFont();
}

// Every entry of the line-head list hangs past the edge in both layouts;
// "「", the neighbour of "」" in the code page, moves to the next line.
TEST_F(MessageText, EveryLineHeadEntryHangsAndNoOtherCharacterDoes) {
    const char* const hanging[] = {"\x81\x41", "\x81\x42", "\x81\x43", "\x81\x44", "\x81\x45",
                                   "\x81\x63", "\x81\x64", "\x81\x68", "\x81\x66", "\x81\x69",
                                   "\x81\x76", ",",        ".",        "\x81\x40", " "};
    ASSERT_EQ(std::string("、。，．・…‥”’（」"), "\x81\x41\x81\x42\x81\x43\x81\x44\x81\x45\x81\x63\x81\x64\x81\x68"
                                                "\x81\x66\x81\x69\x81\x76");
    struct Mark {
        const char* text;
        bool hangs;
    };
    std::vector<Mark> marks;
    for (const char* h : hanging) marks.push_back({h, true});
    marks.push_back({"\x81\x75", false});  // 「
    for (int smooth = 0; smooth < 2; ++smooth) {
        smooth ? SmoothFont() : PlainFont();
        const int w = smooth ? Width2("あ") >> 1 : Width("あ");
        // Two glyphs fill the line; whatever follows does not fit.
        const int right = 100 + 2 * w + smooth;
        for (const Mark& m : marks) {
            const std::string text = std::string("あい") + m.text + "う";
            smooth ? krDraw::LayoutSmoothText(100, 50, right, 400, text.c_str(), 0)
                   : krDraw::LayoutText(100, 50, right, 400, text.c_str(), 0);
            const std::string what = std::string(smooth ? "smooth " : "plain ") + plat::Cp932ToUtf8(m.text);
            if (m.hangs) {
                EXPECT_EQ(Count(), 4) << what << ": no rectangle for the hanging mark";
                EXPECT_EQ(Tops(), (std::vector<int>{50, 50, 66})) << what;
            } else {
                EXPECT_EQ(Count(), 5) << what;
                EXPECT_EQ(Tops(), (std::vector<int>{50, 50, 66, 66})) << what;
            }
        }
        smooth ? krDraw::ReleaseSmoothFont() : krDraw::ReleaseFont();
    }
}

// The smooth layout counts the leading in half pixels, as its line height
// is kept at double size: leading 8 on a 16-pixel face makes 20-pixel lines.
TEST_F(MessageText, SmoothLeadingCountsInHalfPixels) {
    SmoothFont();
    ASSERT_LE(CellHeight(), 40) << "the face's cell must not raise the line height here";
    krDraw::LayoutSmoothText(100, 50, 700, 400, "あ\nい\n\nう", 8);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 70, 110}));
    krDraw::LayoutSmoothText(100, 50, 700, 400, "あ\nい", 0);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 50 + std::max(32, (CellHeight() + 1) & ~1) / 2}));
    krDraw::ReleaseSmoothFont();
}

TEST_F(MessageText, TwoByteCharacterMovesWholeToTheNextLine) {
    PlainFont();
    const int a = Width("a"), w = Width("あ");
    // Half of "あ" would fit after "ab".
    krDraw::LayoutText(100, 50, 100 + 2 * a + w / 2, 400, "abあc", 0);
    ASSERT_EQ(Count(), 5);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 50, 66, 66}));
    EXPECT_EQ(Edges(Glyph(3)), Edges({100, 66, 100 + w, 66 + CellHeight()}));
    std::vector<std::uint32_t> moved;
    for (int y = 66; y < 82; ++y)
        for (int x = 100; x < 100 + w; ++x) moved.push_back(ObjectPixel(kFontSprite, x, y));
    EXPECT_EQ(Ink(kFontSprite, {100 + 2 * a, 50, 800, 66}), 0) << "nothing of it is left on the first line";

    krDraw::LayoutText(100, 66, 700, 400, "あ", 0);  // the same character alone
    std::vector<std::uint32_t> alone;
    for (int y = 66; y < 82; ++y)
        for (int x = 100; x < 100 + w; ++x) alone.push_back(ObjectPixel(kFontSprite, x, y));
    EXPECT_EQ(moved, alone);
}

TEST_F(MessageText, NewlinesBreakWithoutRectanglesAndKeepEmptyLines) {
    PlainFont();
    krDraw::LayoutText(100, 50, 700, 400, "あ\n\nい\nう", 0);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 82, 98}));
    EXPECT_EQ(Lefts(), (std::vector<int>{100, 100, 100}));
    krDraw::ReleaseFont();
    SmoothFont();
    krDraw::LayoutSmoothText(100, 50, 700, 400, "あ\n\nい", 0);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 82}));
    krDraw::ReleaseSmoothFont();
}

TEST_F(MessageText, PlainStopsWhenTheNextLineWouldReachTheBottom) {
    PlainFont();
    const int w = Width("あ");
    const std::string text = "あいうえおかきくけこさしすせそ";  // five lines of three
    krDraw::LayoutText(0, 0, 3 * w, 48, text.c_str(), 0);
    EXPECT_EQ(Count() - 1, 6) << "a third line would end at the bottom";
    krDraw::LayoutText(0, 0, 3 * w, 49, text.c_str(), 0);
    EXPECT_EQ(Count() - 1, 9);
    krDraw::LayoutText(0, 0, 3 * w, 0, text.c_str(), 0);
    EXPECT_EQ(Count() - 1, 3) << "the first line is always laid out";
}

TEST_F(MessageText, SmoothStopsAtTheBottomAndCutsTheLineThatCrossesIt) {
    SmoothFont();
    const int half = Width2("あ") >> 1;
    const std::string text = "あいうえおかきくけこさしすせそ";
    krDraw::LayoutSmoothText(0, 0, 3 * half + 1, 24, text.c_str(), 0);
    EXPECT_EQ(Count() - 1, 6) << "the second line starts above the bottom, the third at it";
    EXPECT_EQ(Glyph(0).bottom, 24) << "the crossing line is cut";
    EXPECT_GT(Ink(kFontSprite, {0, 16, 3 * half, 24}), 0);
    EXPECT_EQ(Ink(kFontSprite, {0, 24, 800, 600}), 0);
}

TEST_F(MessageText, LineHeightStartsWithTheLeadingAndNeverShrinks) {
    PlainFont();
    // Leading 8 on a 16-pixel face: 24-pixel lines, also after an empty one.
    krDraw::LayoutText(100, 50, 700, 400, "あ\nい\n\nう", 8);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 74, 122}));
    krDraw::ReleaseFont();

    // A face asked for by its em size (negative) has a taller cell than its
    // nominal height: the first glyph raises the line height for good.
    krDraw::SetFont(1, -20, 0, 0, 0, 0);
    const int cell = CellHeight();
    ASSERT_GT(cell, 0);
    krDraw::LayoutText(100, 50, 700, 400, "あ\n\nい\nう", 0);
    EXPECT_EQ(Tops(), (std::vector<int>{50, 50 + 2 * cell, 50 + 3 * cell}));
}

TEST_F(MessageText, ShadowAndThickeningWidenTheGlyphs) {
    PlainFont();
    const int w = Width("あ"), h = CellHeight();
    krDraw::LayoutText(100, 50, 700, 400, "あい", 0x100 | 0x200 | 0x400);
    EXPECT_EQ(Edges(Glyph(1)), Edges({100, 50, 100 + w + 2, 50 + h + 2}));
    EXPECT_EQ(Glyph(2).left, 100 + w + 2);
    // The shadow is in the back colour, two pixels down and right.
    EXPECT_GT(Ink(kFontSprite, {100, 50, 100 + w + 2, 50 + h + 2}), 0);
    int shadow = 0;
    for (int y = 50; y < 50 + h + 2; ++y)
        for (int x = 100; x < 100 + w + 2; ++x) shadow += ObjectPixel(kFontSprite, x, y) == Pixel(0x404040);
    EXPECT_GT(shadow, 0);
}

TEST_F(MessageText, NearBlackColoursBecome101010ButBlue16Stays) {
    krDraw::SetFont(1, 16, 0, 0, 0, 0);
    krDraw::SetFontColor(0x000000, 0x0F0F0F, 1);
    krDraw::LayoutText(100, 50, 700, 400, "あ", 0);
    EXPECT_EQ(krFontState.textColor, 0x101010u);
    EXPECT_EQ(krFontState.backColor, 0x101010u);
    int ink = 0;
    for (int y = 50; y < 66; ++y)
        for (int x = 100; x < 120; ++x) {
            const std::uint32_t p = ObjectPixel(kFontSprite, x, y);
            if (p != 0) { EXPECT_EQ(p, Pixel(0x101010)); }
            ink += p != 0;
        }
    EXPECT_GT(ink, 0) << "black text stays visible through the sprite's key";
    krDraw::SetFontColor(0x100000, 0x0F0F10, 1);
    krDraw::LayoutText(100, 50, 700, 400, "あ", 0);
    EXPECT_EQ(krFontState.textColor, 0x100000u);
    EXPECT_EQ(krFontState.backColor, 0x0F0F10u) << "one channel of 16 is enough";
}

// ---- reveal ----

TEST_F(MessageText, RevealAtZeroShowsAllAtOnce) {
    PlainFont();
    krDraw::LayoutText(100, 50, 700, 400, "あいう", 0);
    krDraw::ClearScreen();
    EXPECT_EQ(krDraw::RevealText(0.0f), 1);
    for (int k = 1; k <= 3; ++k) EXPECT_GT(BackInk(Glyph(k)), 0) << k;
    krDraw::ClearScreen();
    EXPECT_EQ(krDraw::RevealText(0.5f), 1) << "once complete, every call shows all of it";
    EXPECT_GT(BackInk(Glyph(3)), 0);
    krDraw::LayoutText(100, 50, 700, 400, "あいう", 0);
    EXPECT_EQ(krDraw::RevealText(-1.0f), 1) << "a negative period is instant too";
}

// At 30 frames a second a period of one frame time shows a glyph every
// frame (the timer meets the period exactly), and two frame times every
// second frame: glyph k shows once k + 1 periods have passed.
TEST_F(MessageText, RevealAtThirtyFramesASecond) {
    PlainFont();
    krSystemState.frameTime = 1.0f / 30;
    struct Case {
        float period;
        std::vector<int> firstShown;
        int firstComplete;
    };
    for (const Case& c : {Case{1.0f / 30, {0, 3, 4, 5}, 6}, Case{1.0f / 15, {0, 5, 7, 9}, 11}}) {
        krDraw::LayoutText(100, 50, 700, 400, "あいう", 0);
        ASSERT_EQ(Count(), 4);
        std::vector<int> firstShown(4, 0);
        int firstComplete = 0;
        for (int frame = 1; frame <= 40 && !firstComplete; ++frame) {
            krDraw::ClearScreen();
            if (krDraw::RevealText(c.period) == 1) firstComplete = frame;
            for (int k = 1; k <= 3; ++k)
                if (!firstShown[k] && BackInk(Glyph(k)) > 0) firstShown[k] = frame;
        }
        EXPECT_EQ(firstShown, c.firstShown) << c.period;
        EXPECT_EQ(firstComplete, c.firstComplete) << c.period;
    }
}

TEST_F(MessageText, RevealShowsAGlyphEveryThirtyFramesAtHalfASecond) {
    PlainFont();
    krDraw::LayoutText(100, 50, 700, 400, "あいう", 0);
    ASSERT_EQ(Count(), 4);
    std::vector<int> firstShown(4, 0);
    int firstComplete = 0;
    for (int frame = 1; frame <= 200 && !firstComplete; ++frame) {
        krDraw::ClearScreen();
        if (krDraw::RevealText(0.5f) == 1) firstComplete = frame;
        for (int k = 1; k <= 3; ++k)
            if (!firstShown[k] && BackInk(Glyph(k)) > 0) firstShown[k] = frame;
    }
    // Glyph k shows once k + 1 periods have passed.
    EXPECT_EQ(firstShown, (std::vector<int>{0, 61, 91, 121}));
    EXPECT_EQ(firstComplete, 151);
}

// ---- smooth edges ----

// The reduction of the Font buffer's line into the Font sprite, pixel by
// pixel, from the pixels as they are: 3 x 3 samples, ink = not 0, the sum
// plus the maximum plus the back screen for each missing sample up to 8.
std::uint32_t ReferenceReduction(int x0, int y0, int c, int r, int areaW, int areaH) {
    const plat::Surface& buffer = *krObjects[kFontBuffer].surface;
    const krPixelFormat& f = krScreen.pixelFormat;
    const int bits = krScreen.back->format.bits;
    const int max = bits <= 16 ? 31 : 255;
    auto component = [&](std::uint32_t p, int k) -> int {
        if (bits == 24) return static_cast<int>((p >> (8 * k)) & 0xFF);  // bytes in memory order
        const int shift = bits <= 16 ? (k == 0 ? f.red5Shift : k == 1 ? f.green5Shift : f.blue5Shift)
                                     : (k == 0 ? f.redShift : k == 1 ? f.greenShift : f.blueShift);
        return static_cast<int>((p >> shift) & static_cast<std::uint32_t>(max));
    };
    int sum[3] = {}, ink = 0;
    for (int sy = 2 * r - 1; sy <= 2 * r + 1; ++sy)
        for (int sx = 2 * c - 1; sx <= 2 * c + 1; ++sx) {
            if (sx < 0 || sy < 0 || sx >= areaW || sy >= areaH) continue;
            const std::uint32_t p = plat::GetPixel(buffer, sx, sy);
            if (p == 0) continue;
            ++ink;
            for (int k = 0; k < 3; ++k) sum[k] += component(p, k);
        }
    if (ink == 0) return 0;
    const std::uint32_t back = plat::GetPixel(*krScreen.back, x0 + c, y0 + r);
    int v[3];
    for (int k = 0; k < 3; ++k) v[k] = std::min(max, (sum[k] + max + (ink < 8 ? (8 - ink) * component(back, k) : 0)) / 8);
    if (bits == 24) return static_cast<std::uint32_t>(v[0] | v[1] << 8 | v[2] << 16);
    const int s16[3] = {f.red5Shift, f.green5Shift, f.blue5Shift}, s32[3] = {f.redShift, f.greenShift, f.blueShift};
    const int* shifts = bits <= 16 ? s16 : s32;
    return static_cast<std::uint32_t>(v[0] << shifts[0] | v[1] << shifts[1] | v[2] << shifts[2]);
}

TEST_P(MessageTextDepths, SmoothEdgesAreMixedWithTheBackScreen) {
    // A dark blue window behind the text.
    const std::uint32_t window = Pixel(0x600000);
    krDraw::FillRect(0, 0, 800, 600, 0);
    plat::FillRect(krScreen.back, nullptr, window);
    SmoothFont();
    krDraw::LayoutSmoothText(100, 50, 700, 400, "あい漢字", 0);
    ASSERT_EQ(Count(), 5);
    // One line: the Font buffer still holds it at double size.
    const int areaW = ((Glyph(0).right - 100) * 2), areaH = (Glyph(0).bottom - 50) * 2;
    int edges = 0, mixed = 0, leaning = 0;
    for (int r = 0; r < areaH / 2; ++r)
        for (int c = 0; c < areaW / 2; ++c) {
            const std::uint32_t expected = ReferenceReduction(100, 50, c, r, areaW, areaH);
            ASSERT_EQ(ObjectPixel(kFontSprite, 100 + c, 50 + r), expected) << c << "," << r;
            if (expected == 0) continue;
            std::uint8_t red, green, blue;
            plat::UnmapRGB(krScreen.back->format, expected, red, green, blue);
            if (red < 200) ++edges, mixed += blue > red;
            leaning += blue > red;
        }
    EXPECT_GT(edges, 20) << "white text has grey edges";
    EXPECT_EQ(mixed, edges) << "every edge leans to the blue window";

    // Laid over a red background later, the edges keep their blue.
    plat::FillRect(krScreen.back, nullptr, Pixel(0x0000A0));
    EXPECT_EQ(krDraw::RevealText(0.0f), 1);
    int blueEdges = 0;
    for (int y = 50; y < Glyph(0).bottom; ++y)
        for (int x = 100; x < Glyph(0).right; ++x) {
            std::uint8_t red, green, blue;
            plat::UnmapRGB(krScreen.back->format, BackPixel(x, y), red, green, blue);
            blueEdges += blue > red && blue > 0;
        }
    EXPECT_EQ(blueEdges, leaning);
    krDraw::ReleaseSmoothFont();
}

TEST_P(MessageTextDepths, PlainGlyphsAreDrawnInTheTextColour) {
    PlainFont();
    krDraw::LayoutText(100, 50, 700, 400, "文字", 0);
    krDraw::ClearScreen();
    EXPECT_EQ(krDraw::RevealText(0.0f), 1);
    int ink = 0;
    for (int y = 50; y < 66; ++y)
        for (int x = 100; x < 140; ++x) {
            const std::uint32_t p = BackPixel(x, y);
            if (p != 0) { EXPECT_EQ(p, Pixel(0xFFFFFF)); }
            ink += p != 0;
        }
    EXPECT_GT(ink, 20);
}

// ---- the Font sprite after a plain layout: cleared, then the glyphs ----

// A layout clears only where the last one drew, while nothing else wrote
// into the Font sprite; every case below writes there in another way
// first, and the sprite must still come out as a whole clear and the new
// glyphs, byte for byte.
class FontSpriteAfterLayout : public MessageText {
protected:
    static std::vector<std::uint8_t> Sprite() {
        const plat::Surface& s = *krObjects[kFontSprite].surface;
        std::vector<std::uint8_t> bytes;
        const std::size_t row = static_cast<std::size_t>(s.width) * s.format.bytesPerPixel;
        for (int y = 0; y < s.height; ++y) bytes.insert(bytes.end(), s.Row(y), s.Row(y) + row);
        return bytes;
    }
    // The text of the layout under test: small, in the box's corner.
    static void Short() { krDraw::LayoutText(200, 300, 260, 340, "あい", 0); }
    // The sprite as a whole clear and Short() leave it.
    static std::vector<std::uint8_t> Expected() {
        krDraw::ClearObject(kFontSprite);
        Short();
        return Sprite();
    }
    // Runs `before`, then Short(), and compares the sprite with Expected().
    template <typename Before>
    void Check(const char* what, Before before) {
        SCOPED_TRACE(what);
        PlainFont();
        const std::vector<std::uint8_t> expected = Expected();
        krDraw::ReleaseFont();
        before();
        PlainFont();
        Short();
        ASSERT_TRUE(krObjects[kFontSprite].surface);
        EXPECT_TRUE(Sprite() == expected) << "pixels left over: " << Ink(kFontSprite, {0, 0, 800, 600}) << " ink vs "
                                          << std::count_if(expected.begin(), expected.end(), [](auto b) { return b; });
        krDraw::ReleaseFont();
    }
    // A long styled text over much of the screen, with marks hanging past
    // the right edge and glyphs cut by the screen's edges.
    static void WideLayout() {
        PlainFont(24);
        krDraw::SetFontColor(0xFFFFFF, 0x00FF00, 1);
        krDraw::LayoutText(-30, -10, 700, 580, "あいうえお。かきくけこ、さしすせそ\nたちつてと", 0x7FF);
        krDraw::LayoutText(20, 40, 20 + 3 * Width("あ"), 500, "あいう。えおか、きくけ。", 0x300);
        krDraw::LayoutText(790, 590, 5000, 5000, "あいうえお", 0x100);
        krDraw::ReleaseFont();
    }
    static void Garbage(plat::Surface* s, const plat::Rect& r) { plat::FillRect(s, &r, Pixel(0x00FFFF)); }
};

TEST_F(FontSpriteAfterLayout, ComesOutClearedThenDrawnAfterEveryKindOfWrite) {
    Check("a wider layout with styles, hanging marks and cut glyphs", [] { WideLayout(); });
    Check("a turned, underlined font", [] {
        krDraw::SetFont(1, 20, 90, 1, 1, 1);
        krDraw::SetFontColor(0xFFFFFF, 0x404040, 1);
        krDraw::LayoutText(400, 300, 700, 580, "あいう\nえお", 0x100);
        krDraw::ReleaseFont();
    });
    Check("a copy into the sprite", [] {
        WideLayout();
        plat::FillRect(krScreen.back, nullptr, Pixel(0x3060C0));
        krDraw::CaptureScreen(kFontSprite, 0, 0, 800, 600);
    });
    Check("a keyed copy from another object", [] {
        WideLayout();
        krDraw::ClearScreen();
        krDraw::CaptureScreen(kFontBuffer, 0, 0, 800, 600);
        Garbage(krObjects[kFontBuffer].surface, {500, 500, 600, 560});
        krDraw::BlitObject(kFontSprite, 0, 0, kFontBuffer, 0, 0, 800, 600);
    });
    Check("a fill of the sprite", [] { Garbage(krObjects[kFontSprite].surface, {0, 0, 40, 600}); });
    Check("pixels written under a lock", [] {
        WideLayout();
        std::uint8_t* bits = nullptr;
        int pitch = 0;
        ASSERT_EQ(plat::Lock(krObjects[kFontSprite].surface, &bits, &pitch), plat::DD_OK);
        bits[599 * pitch] = 0x5A;
        bits[10 * pitch + 2 * 790] = 0xA5;
        plat::Unlock(krObjects[kFontSprite].surface);
    });
    Check("a pixel put", [] { plat::PutPixel(*krObjects[kFontSprite].surface, 799, 0, Pixel(0xFFFFFF)); });
    Check("a canvas drawing on the sprite", [] {
        plat::Canvas dc(krObjects[kFontSprite].surface);
        dc.SetTextColor(0x00FF00);
        dc.TextOut(600, 20, "ABC", -1);
        dc.SetPixel(5, 590, 0xFFFFFF);
    });
    Check("the smooth layout", [] {
        SmoothFont();
        krDraw::LayoutSmoothText(300, 100, 700, 500, "あいうえお\nかきくけこ", 0x100);
        krDraw::ReleaseSmoothFont();
    });
    Check("a lost and restored screen", [] {
        WideLayout();
        plat::MarkAllSurfacesLost();
        krDraw::Restore();
        Garbage(krObjects[kFontSprite].surface, {100, 100, 200, 200});
    });
    Check("a new screen", [] {
        WideLayout();
        krDraw::ReleaseFont();
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        Garbage(krObjects[kFontSprite].surface, {700, 0, 800, 100});
    });
}

// A layout after a layout writes nothing outside the box the last one drew
// in: a byte planted there behind the sprite's back (no lock, so no
// record of the write) stays. That is the saving; every honest writer goes
// through the calls above.
TEST_F(FontSpriteAfterLayout, ALayoutAfterALayoutClearsOnlyWhatTheLastOneDrew) {
    PlainFont();
    krDraw::LayoutText(100, 100, 700, 500, "あいうえお", 0);
    plat::Surface& sprite = *krObjects[kFontSprite].surface;
    sprite.Row(500)[2 * 400] = 0x77;
    sprite.Row(100)[2 * 99] = 0x66;  // just left of the first glyph's cell
    krDraw::LayoutText(100, 100, 700, 500, "か", 0);
    EXPECT_EQ(sprite.Row(500)[2 * 400], 0x77);
    EXPECT_EQ(sprite.Row(100)[2 * 99], 0x66);
    EXPECT_EQ(Ink(kFontSprite, {100 + Width("か"), 100, 800, 120}), 0) << "the old glyphs are gone";
}

// What the bookkeeping relies on: every write into a surface through the
// surface, raster and canvas calls gives it a new content stamp.
TEST(SurfaceContentStamp, ChangesWithEveryWriteAndNeverRepeats) {
    plat::Surface* s = plat::CreateSurface(64, 64, plat::FormatForBits(16));
    plat::Surface* other = plat::CreateSurface(64, 64, plat::FormatForBits(16));
    ASSERT_TRUE(s && other);
    EXPECT_NE(s->contentStamp, other->contentStamp) << "a new surface has a stamp of its own";
    std::vector<std::uint64_t> seen{other->contentStamp};
    auto expectNew = [&](const char* what) {
        EXPECT_EQ(std::count(seen.begin(), seen.end(), s->contentStamp), 0) << what;
        seen.push_back(s->contentStamp);
    };
    expectNew("created");
    const plat::Rect r{0, 0, 8, 8};
    plat::FillRect(s, &r, 1);
    expectNew("fill");
    plat::BltFast(s, 4, 4, other, r, false);
    expectNew("copy");
    plat::BltStretch(s, plat::Rect{0, 0, 16, 16}, other, r, false);
    expectNew("scaled copy");
    plat::PutPixel(*s, 1, 1, 5);
    expectNew("pixel");
    plat::raster::FillSpan(*s, 2, 0, 4, 7);
    expectNew("span");
    std::uint8_t* bits = nullptr;
    int pitch = 0;
    plat::Lock(s, &bits, &pitch);
    expectNew("lock");
    plat::Unlock(s);
    expectNew("unlock");
    plat::Canvas(s).TextOut(0, 0, "A", 1);
    expectNew("text");
    s->lost = true;
    plat::Restore(s);
    expectNew("restore");
    const std::uint64_t before = s->contentStamp;
    plat::BltFast(other, 0, 0, s, r, false);
    plat::GetPixel(*s, 0, 0);
    EXPECT_EQ(s->contentStamp, before) << "reading leaves it";
    plat::DestroySurface(other);
    plat::DestroySurface(s);
}

// ---- bad input ----

TEST_P(MessageTextDepths, BadInputEndsSoundly) {
    PlainFont();
    for (const bool smooth : {false, true}) {
        SCOPED_TRACE(smooth ? "smooth" : "plain");
        if (smooth) {
            krDraw::ReleaseFont();
            SmoothFont();
        }
        auto layout = [&](int x, int y, int right, int bottom, const char* text, std::uint16_t style = 0) {
            if (smooth)
                krDraw::LayoutSmoothText(x, y, right, bottom, text, style);
            else
                krDraw::LayoutText(x, y, right, bottom, text, style);
        };
        layout(100, 50, 700, 400, "");
        EXPECT_EQ(Count(), 1);
        EXPECT_EQ(Edges(Glyph(0)), Edges({100, 50, 100, 50}));
        layout(100, 50, 700, 400, nullptr);
        EXPECT_EQ(Count(), 1);

        layout(100, 50, 700, 400, "あ\x82");  // ends inside a two-byte character
        EXPECT_EQ(Count(), 2);
        layout(100, 50, 700, 400, "あ\x82\nい");  // a lone lead byte before "\n"
        EXPECT_EQ(Tops(), (std::vector<int>{50, 66}));

        const std::string unbroken(259, 'W');
        layout(100, 50, 140, 400, unbroken.c_str());
        EXPECT_GT(Count(), 1);
        for (int k = 1; k < Count(); ++k) EXPECT_LE(Glyph(k).right, 140) << k;

        layout(100, 50, 105, 400, "あいう");  // every glyph wider than the box
        EXPECT_EQ(Count(), 1);
        layout(100, 50, 100, 50, "あいう");  // a box of no size
        layout(100, 50, 20, 10, "あいう");   // and one turned inside out
        layout(INT_MIN, INT_MIN, INT_MAX, INT_MAX, "あいう");
        EXPECT_EQ(Count(), 1) << "coordinates far off any screen are refused";
        layout(790, 590, 5000, 5000, "あいうえおかきくけこ", 0x1FF);  // running off the screen
        layout(-30, -10, 700, 400, "あいうえお\nかきくけこ", 0x7FF);  // starting above and left of it
        krDraw::ClearScreen();
        EXPECT_EQ(krDraw::RevealText(0.0f), 1);
    }
}

TEST_F(MessageText, GlyphsThatCanNeverBePlacedEndTheLayout) {
    // A negative nominal height and a box one pixel wide: no glyph ever fits.
    krDraw::SetFont(1, 0, 0, 0, 0, 0);
    krFontState.fontHeight = -100;
    krDraw::LayoutText(100, 50, 101, 400, "あいう", 0);
    EXPECT_EQ(Count(), 1);
    krDraw::ReleaseFont();
    // A glyph wider than the Font buffer itself, in a box that never ends.
    krDraw::SetSmoothFont(1, 1000);
    krDraw::LayoutSmoothText(0, 0, 100000, 100000, "あい", 0);
    EXPECT_EQ(Count(), 1);
    krDraw::ReleaseSmoothFont();
}

TEST_F(MessageText, ALongTextEndsAtTheListsLastEntry) {
    krDraw::SetFont(1, 8, 0, 0, 0, 0);
    krDraw::SetFontColor(0xFFFFFF, 0, 1);
    const std::string text(5000, 'i');
    krDraw::LayoutText(0, 0, 800, 600, text.c_str(), 0);
    EXPECT_EQ(Count(), krDraw::kGlyphListSize);
    EXPECT_EQ(krDraw::RevealText(0.0f), 1);
    krDraw::ReleaseFont();
    krDraw::SetSmoothFont(1, 4);
    krDraw::LayoutSmoothText(0, 0, 800, 600, text.c_str(), 0);
    EXPECT_EQ(Count(), krDraw::kGlyphListSize);
    krDraw::ReleaseSmoothFont();
}

}  // namespace
