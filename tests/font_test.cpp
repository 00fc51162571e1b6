// Fonts on plain surfaces: face look-up and fallback, the cache, cell
// metrics, one-bit glyphs, bad code page 932 input, text cells, wrapped
// boxes and the list of installed families.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/pixels/canvas.h"
#include "platform/pixels/raster.h"
#include "platform/text/cp932.h"
#include "platform/text/font.h"

namespace {

constexpr std::uint32_t kInk = 0xC0C0C0, kBack = 0x800000;
const char* const kGothic = "標準ゴシック";
const char* const kMincho = "標準明朝";

struct FontOwner {
    explicit FontOwner(const char* face, int height = 12, int weight = 0, int escapement = 0) {
        plat::FontRequest request;
        request.face = face;
        request.height = height;
        request.weight = weight;
        request.escapement = escapement;
        font = plat::CreateFont(request);
    }
    explicit FontOwner(const plat::FontRequest& request) : font(plat::CreateFont(request)) {}
    ~FontOwner() { plat::DeleteFont(font); }
    plat::Font* font;
};

// A 16-bit surface cleared to black, with a canvas painting kInk on kBack.
class FontTest : public ::testing::Test {
protected:
    FontTest() : s(plat::CreateSurface(320, 120, plat::FormatForBits(16))), dc(s) {
        dc.SetTextColor(kInk);
        dc.SetBkColor(kBack);
        dc.SetBkMode(plat::TRANSPARENT);
    }
    ~FontTest() override { plat::DestroySurface(s); }
    void Clear() { plat::FillRect(s, nullptr, 0); }
    // Bounding box of the pixels of a colour (empty when none).
    plat::Rect BoxOf(std::uint32_t color) const {
        plat::Rect box{s->width, s->height, 0, 0};
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x)
                if (dc.GetPixel(x, y) == color) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
        return box;
    }
    int Count(std::uint32_t color) const {
        int n = 0;
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) n += dc.GetPixel(x, y) == color;
        return n;
    }
    std::vector<std::uint32_t> Snapshot() const {
        std::vector<std::uint32_t> px;
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) px.push_back(dc.GetPixel(x, y));
        return px;
    }
    std::vector<std::uint32_t> Drawn(plat::Font* font, const char* text, int length) {
        Clear();
        dc.SelectFont(font);
        dc.TextOut(4, 4, text, length);
        return Snapshot();
    }
    plat::Surface* s;
    plat::Canvas dc;
};

TEST(Cp932, ConvertsBothWaysReplacingOnlyWhatHasNoForm) {
    const auto utf8 = [](const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); };
    EXPECT_EQ(plat::Cp932ToUtf8("ポコタンバ！"), utf8(u8"ポコタンバ！"));
    EXPECT_EQ(plat::Utf8ToCp932(utf8(u8"ポコ/a.bmp")), std::string("ポコ/a.bmp"));
    // An accented letter, a Hangul syllable, a stray byte and a cut-off
    // sequence have no form; the Japanese around them is kept.
    EXPECT_EQ(plat::Utf8ToCp932(utf8(u8"ポ\u00E9コ\uD55Cタ") + "\xFF" + utf8(u8"ン") + "\xE3\x83" + utf8(u8"バ")),
              std::string("ポ?コ?タ?ン?バ"));
}

TEST(Font, StandardFacesAreDistinctAndUnknownNamesFallBackToGothic) {
    FontOwner gothic(kGothic), mincho(kMincho), unknown("No Such Face Anywhere"), empty("");
    const std::string gothicFamily = plat::FontFamilyName(*gothic.font);
    ASSERT_FALSE(gothicFamily.empty());
    EXPECT_NE(plat::FontFamilyName(*mincho.font), gothicFamily);
    EXPECT_EQ(plat::FontFamilyName(*unknown.font), gothicFamily);
    EXPECT_EQ(plat::FontFamilyName(*empty.font), gothicFamily);
}

TEST(Font, OtherFacesAreFoundByFamilyName) {
    const std::vector<plat::FontFamily> families = plat::ListFontFamilies(200);
    const auto latin = std::find_if(families.begin(), families.end(), [](const plat::FontFamily& f) {
        return f.charset == plat::ANSI_CHARSET && f.name.find_first_of("?") == std::string::npos;
    });
    ASSERT_NE(latin, families.end());
    FontOwner font(latin->name.c_str());
    EXPECT_EQ(plat::FontFamilyName(*font.font), latin->name);
}

TEST(Font, FamilyListIsUniqueBoundedAndMarksJapaneseFaces) {
    const std::vector<plat::FontFamily> families = plat::ListFontFamilies(200);
    std::set<std::string> names;
    for (const auto& f : families) EXPECT_TRUE(names.insert(f.name).second) << f.name;
    EXPECT_LE(families.size(), 200u);
    EXPECT_EQ(plat::ListFontFamilies(2).size(), std::min<std::size_t>(2, families.size()));
    // The Gothic face covers kana, so its family is listed with charset 128.
    FontOwner gothic(kGothic);
    const auto it = std::find_if(families.begin(), families.end(),
                                 [&](const plat::FontFamily& f) { return f.name == plat::FontFamilyName(*gothic.font); });
    ASSERT_NE(it, families.end());
    EXPECT_EQ(it->charset, plat::SHIFTJIS_CHARSET);
}

TEST(Font, MakingTheSameFontAgainCostsNoFileOrRendering) {
    { FontOwner warm(kGothic); plat::MeasureText(*warm.font, "fl=0123456789", -1); }
    const plat::FontCacheCounters before = plat::GetFontCacheCounters();
    for (int i = 0; i < 100; ++i) {
        FontOwner font(kGothic);
        plat::MeasureText(*font.font, "fl=42", -1);
    }
    const plat::FontCacheCounters after = plat::GetFontCacheCounters();
    EXPECT_EQ(after.facesOpened, before.facesOpened);
    EXPECT_EQ(after.facesResolved, before.facesResolved);
    EXPECT_EQ(after.sizesMade, before.sizesMade);
    EXPECT_EQ(after.glyphsRendered, before.glyphsRendered);
}

TEST(Font, PositiveHeightsAreCellsNegativeOnesEms) {
    for (int h : {8, 12, 16, 31}) {
        FontOwner font(kGothic, h);
        const plat::TextMetrics m = plat::GetTextMetrics(*font.font);
        EXPECT_EQ(m.height, h);
        EXPECT_EQ(m.ascent + m.descent, h);
        EXPECT_GT(m.ascent, m.descent);
        EXPECT_EQ(plat::MeasureText(*font.font, "abc", -1).cy, h);
    }
    FontOwner em(kGothic, -20), zero(kGothic, 0), huge(kGothic, 1 << 30);
    EXPECT_GE(plat::GetTextMetrics(*em.font).height, 20);
    EXPECT_GT(plat::GetTextMetrics(*zero.font).height, 0);
    EXPECT_LE(plat::GetTextMetrics(*huge.font).height, 1024);
}

TEST_F(FontTest, GlyphsAreOneColourPerPixel) {
    FontOwner font(kMincho, 24);
    dc.SelectFont(font.font);
    dc.SetBkMode(plat::OPAQUE);
    dc.TextOut(4, 4, "あたった！！ Ag", -1);
    const int ink = Count(kInk), back = Count(kBack), black = Count(0);
    EXPECT_GT(ink, 100);
    EXPECT_EQ(ink + back + black, s->width * s->height) << "no blended pixels";
}

TEST_F(FontTest, BadCodePage932DrawsTheReplacementAndStopsAtTheEnd) {
    FontOwner font(kGothic, 16);
    const auto loneLead = Drawn(font.font, "\x82", -1);
    EXPECT_NE(std::count(loneLead.begin(), loneLead.end(), kInk), 0) << "a replacement glyph is drawn";
    // The length ends the text between the two bytes of a character.
    EXPECT_EQ(Drawn(font.font, "\x82\xA0", 1), loneLead);
    EXPECT_NE(Drawn(font.font, "\x82\xA0", 2), loneLead);
    EXPECT_EQ(Drawn(font.font, "\x85\x40", -1), loneLead) << "an unmapped pair";
    // Nothing past a NUL is read, whatever the length says.
    EXPECT_EQ(Drawn(font.font, "A\0BCD", 5), Drawn(font.font, "A", -1));
}

TEST_F(FontTest, BoldIsHeavierAndRotatedTextRuns) {
    FontOwner plain(kGothic, 24), bold(kGothic, 24, plat::FW_BOLD), up(kGothic, 24, 0, 900);
    Drawn(plain.font, "ABC", -1);
    const int plainInk = Count(kInk);
    const int plainWidth = dc.TextExtent("ABC", -1).cx;
    Drawn(bold.font, "ABC", -1);
    EXPECT_GT(Count(kInk), plainInk * 5 / 4);
    EXPECT_GT(dc.TextExtent("ABC", -1).cx, plainWidth);

    Clear();
    dc.SelectFont(up.font);
    dc.TextOut(10, 110, "ABCDEF", -1);
    const plat::Rect box = BoxOf(kInk);
    EXPECT_GT(box.bottom - box.top, 2 * (box.right - box.left)) << "text at 90 degrees runs upwards";
    EXPECT_LE(box.bottom, 110 + 2);
    EXPECT_GE(box.left, 10);
}

TEST_F(FontTest, UnderlineRunsUnderTheWholeString) {
    plat::FontRequest request;
    request.face = kGothic;
    request.height = 16;
    request.underline = true;
    FontOwner font(request);
    dc.SelectFont(font.font);
    dc.TextOut(10, 10, "a b", -1);
    const int width = dc.TextExtent("a b", -1).cx;
    int row = -1;
    for (int y = 10; y < 30 && row < 0; ++y) {
        bool full = true;
        for (int x = 10; x < 10 + width; ++x) full = full && dc.GetPixel(x, y) == kInk;
        if (full) row = y;
    }
    EXPECT_GT(row, 10 + 8) << "a full-width line below the baseline";
}

// Turned a quarter round, the text runs up from its origin and the cell
// lies to the right of it: the underline turns with the glyphs and stays
// inside that cell, a full-length column right of the baseline.
TEST_F(FontTest, UnderlineOfRotatedTextStaysInsideItsCell) {
    plat::FontRequest request;
    request.face = kGothic;
    request.height = 16;
    request.underline = true;
    request.escapement = 900;
    FontOwner font(request);
    dc.SelectFont(font.font);
    const int length = plat::MeasureText(*font.font, "a b", -1).cx;
    ASSERT_GT(length, 16);
    dc.TextOut(100, 110, "a b", -1);
    const plat::Rect box = BoxOf(kInk);
    EXPECT_GE(box.left, 100) << "nothing left of the origin";
    EXPECT_LE(box.right, 100 + 16) << "nothing beyond the cell's height";
    EXPECT_GE(box.top, 110 - length);
    EXPECT_LE(box.bottom, 110 + 1);
    int column = -1;
    for (int x = 100; x < 100 + 16 && column < 0; ++x) {
        bool full = true;
        for (int y = 110 - length + 1; y < 110; ++y) full = full && dc.GetPixel(x, y) == kInk;
        if (full) column = x;
    }
    EXPECT_GT(column, 100 + 8) << "a full-length line beside the baseline";
}

// ---- shaped characters ----

// A character shaped once measures as MeasureText does and paints as
// TextOut does with a transparent background, for every kind of font and
// wherever the surface's edges cut it; the painted box takes in every
// pixel written and lies inside the surface.
TEST_F(FontTest, ShapedCharactersMeasureAndPaintAsTextOutDoes) {
    struct Kind {
        const char* what;
        int weight, escapement;
        bool italic, underline;
    };
    const Kind kinds[] = {{"upright", 0, 0, false, false},     {"bold", plat::FW_BOLD, 0, false, false},
                          {"italic", 0, 0, true, false},       {"underlined", 0, 0, false, true},
                          {"turned", 0, 900, false, false},    {"turned underlined", 0, 450, false, true}};
    // One and two bytes, a bad pair, a lone lead byte at the end, a blank.
    const char* const texts[] = {"A", "g", "\x8A\xBF", "\x82\x20", "\x82", " ", "\x81\x40"};
    const plat::Point places[] = {{40, 30}, {-7, 20}, {310, 100}, {150, -9}, {100, 112}};
    for (const Kind& kind : kinds) {
        plat::FontRequest request;
        request.face = kGothic;
        request.height = 20;
        request.weight = kind.weight;
        request.escapement = kind.escapement;
        request.italic = kind.italic;
        request.underline = kind.underline;
        FontOwner font(request);
        dc.SelectFont(font.font);
        for (const char* text : texts) {
            const plat::ShapedText shaped = dc.Shape(text, -1);
            const plat::Size measured = dc.TextExtent(text, -1);
            EXPECT_EQ(shaped.extent.cx, measured.cx) << kind.what << " " << text;
            EXPECT_EQ(shaped.extent.cy, measured.cy) << kind.what << " " << text;
            for (const plat::Point& at : places) {
                SCOPED_TRACE(std::string(kind.what) + " at " + std::to_string(at.x) + "," + std::to_string(at.y));
                Clear();
                dc.TextOut(at.x, at.y, text, -1);
                const std::vector<std::uint32_t> expected = Snapshot();
                Clear();
                plat::ShapedTextPainter painter = dc.TransparentPainter();
                painter.SetColor(0x00FF00);  // a colour set and replaced
                painter.SetColor(kInk);
                plat::Rect painted{};
                painter.Paint(at.x, at.y, shaped, &painted);
                ASSERT_EQ(Snapshot(), expected) << text;
                const plat::Rect ink = BoxOf(kInk);
                if (ink.right <= ink.left) continue;
                EXPECT_LE(painted.left, ink.left) << text;
                EXPECT_LE(painted.top, ink.top) << text;
                EXPECT_GE(painted.right, ink.right) << text;
                EXPECT_GE(painted.bottom, ink.bottom) << text;
                EXPECT_TRUE(painted.left >= 0 && painted.top >= 0 && painted.right <= s->width &&
                            painted.bottom <= s->height)
                    << text;
            }
        }
    }
}

// Shapes of one font stay good for every font of the same size: the id
// is the size's, shared by equal requests and new for another size.
TEST(Font, SizeIdsFollowTheRenderedSize) {
    FontOwner a(kGothic, 14), b(kGothic, 14), bigger(kGothic, 15), turned(kGothic, 14, 0, 900);
    EXPECT_EQ(plat::FontSizeId(*a.font), plat::FontSizeId(*b.font));
    EXPECT_NE(plat::FontSizeId(*a.font), plat::FontSizeId(*bigger.font));
    EXPECT_NE(plat::FontSizeId(*a.font), plat::FontSizeId(*turned.font));
    EXPECT_NE(plat::FontSizeId(*a.font), 0u);
}

// A surface without pixels to paint (lost) takes nothing from a painter.
TEST_F(FontTest, APainterOnALostSurfaceDrawsNothing) {
    FontOwner font(kGothic, 16);
    dc.SelectFont(font.font);
    const plat::ShapedText shaped = dc.Shape("A", 1);
    s->lost = true;
    plat::ShapedTextPainter painter = dc.TransparentPainter();
    painter.SetColor(kInk);
    plat::Rect painted{};
    painter.Paint(10, 10, shaped, &painted);
    s->lost = false;
    EXPECT_EQ(Count(kInk), 0);
    EXPECT_TRUE(plat::raster::IsEmpty(painted));
}

class FontBoxTest : public FontTest {
protected:
    FontBoxTest() : font(kGothic, 12) { dc.SelectFont(font.font); }
    int Height(const char* text, int width) {
        plat::Rect box{0, 0, width, 0};
        return dc.DrawText(text, -1, box, plat::DT_WORDBREAK | plat::DT_CALCRECT);
    }
    FontOwner font;
};

TEST_F(FontBoxTest, WordsWrapAtSpacesJapaneseAnywhereAndLongWordsStayWhole) {
    const int word = dc.TextExtent("alpha", -1).cx;
    EXPECT_EQ(Height("alpha beta", word * 3), 12);
    EXPECT_EQ(Height("alpha beta", word + 2), 24);
    EXPECT_EQ(Height("alpha   beta", word + 2), 24) << "the spaces at a break vanish";
    const int kana = dc.TextExtent("あ", -1).cx;
    EXPECT_EQ(Height("あいうえおかきくけこ", kana * 3), 4 * 12);
    EXPECT_EQ(Height("abcdefghijklmnopqrstuvwxyz", word), 12) << "a word wider than the box keeps its line";
    EXPECT_EQ(Height("ab abcdefghijklmnopqrstuvwxyz cd", word), 3 * 12);
    EXPECT_EQ(Height("abcdefghijklmnopqrstuvwxyzあ", word), 2 * 12) << "two-byte characters break on their own";
    EXPECT_EQ(Height("a\nb\r\nc\rd", 1000), 4 * 12);
    EXPECT_EQ(Height("a\n\nb", 1000), 3 * 12);
    EXPECT_EQ(Height("", 1000), 0);
    EXPECT_EQ(Height("x", 0), 12) << "every line holds at least one character";
}

TEST_F(FontBoxTest, ClosingMarksDoNotStartALine) {
    const int kana = dc.TextExtent("あ", -1).cx;
    // Three characters fit; "。" would start the second line, so "う" goes with it.
    EXPECT_EQ(Height("あいう。", kana * 3), 24);
    plat::Rect box{0, 0, kana * 3, 100};
    dc.DrawText("あいう。", -1, box, plat::DT_WORDBREAK);
    int firstLineRight = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < s->width; ++x)
            if (dc.GetPixel(x, y) == kInk) firstLineRight = std::max(firstLineRight, x + 1);
    EXPECT_GT(firstLineRight, kana);
    EXPECT_LE(firstLineRight, kana * 2) << "only two characters on the first line";
}

TEST_F(FontBoxTest, LinesClipToTheBox) {
    plat::Rect box{10, 10, 40, 16};  // half a line tall and narrower than the text
    dc.DrawText("abcdefgh", -1, box, plat::DT_NOPREFIX);
    const plat::Rect ink = BoxOf(kInk);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 40);
    EXPECT_LE(ink.bottom, 16);
    EXPECT_GT(Count(kInk), 0);
}

// The file of an installed scalable face that has Latin letters but no kana.
std::string LatinOnlyFaceFile() {
    FcInit();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_CHARSET, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    std::string found;
    for (int i = 0; set && i < set->nfont && found.empty(); ++i) {
        FcChar8* file = nullptr;
        FcCharSet* chars = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch &&
            FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &chars) == FcResultMatch &&
            FcCharSetHasChar(chars, 'A') && !FcCharSetHasChar(chars, 0x3042))
            found = reinterpret_cast<const char*>(file);
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

// Without any Japanese face the standard faces take what fontconfig offers
// and Japanese text still draws (as boxes). fontconfig reads its set-up once
// per process, so the check runs in a fresh copy of this test program.
TEST(FontWithoutJapaneseFaces, TextStillDraws) {
    if (std::getenv("KR_FONT_TEST_LATIN_ONLY")) {
        for (const plat::FontFamily& f : plat::ListFontFamilies(200)) EXPECT_EQ(f.charset, plat::ANSI_CHARSET);
        FontOwner gothic(kGothic, 16), mincho(kMincho, 16);
        EXPECT_FALSE(plat::FontFamilyName(*gothic.font).empty());
        EXPECT_FALSE(plat::FontFamilyName(*mincho.font).empty());
        plat::Surface* s = plat::CreateSurface(100, 30, plat::FormatForBits(16));
        plat::Canvas dc(s);
        dc.SelectFont(gothic.font);
        dc.SetTextColor(0xFFFFFF);
        dc.SetBkMode(plat::TRANSPARENT);
        dc.TextOut(2, 2, "あ", -1);
        int ink = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 100; ++x) ink += dc.GetPixel(x, y) != 0;
        EXPECT_GT(ink, 8);
        plat::DestroySurface(s);
        return;
    }
    const std::string face = LatinOnlyFaceFile();
    ASSERT_FALSE(face.empty());
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kr_font_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "fonts");
    std::filesystem::copy_file(face, dir / "fonts" / std::filesystem::path(face).filename());
    std::ofstream(dir / "fonts.conf") << "<?xml version=\"1.0\"?>\n<fontconfig><dir>" << (dir / "fonts").string()
                                      << "</dir><cachedir>" << (dir / "cache").string() << "</cachedir></fontconfig>\n";
    const std::string config = "FONTCONFIG_FILE=" + (dir / "fonts.conf").string();
    std::vector<std::string> env{config, "KR_FONT_TEST_LATIN_ONLY=1"};
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("FONTCONFIG_", 0) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = "/proc/self/exe", filter = "--gtest_filter=FontWithoutJapaneseFaces.TextStillDraws";
    char* argv[] = {program.data(), filter.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, envp.data()), 0);
    int status = 0;
    waitpid(child, &status, 0);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
