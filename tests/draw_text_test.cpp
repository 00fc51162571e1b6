// Fonts and text on the headless back screen: the font description rules,
// the face list, text cells, boxes, the debug text of Printf, and a whole
// screen of text and shapes saved and checked as a user would see it.
#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "draw/krFont.h"
#include "draw_fixture.h"
#include "screenshot_folder.h"
#include "platform/text/font.h"

namespace {

constexpr std::uint32_t kWhite16 = 0xFFFF, kNavy16 = 0x0010;  // 0xFFFFFF and 0x800000 on 5-6-5

class DrawText : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    }
    void TearDown() override {
        krDraw::QuitFont();
        DrawTest::TearDown();
    }
    static std::vector<std::uint32_t> Screen() {
        std::vector<std::uint32_t> px;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) px.push_back(BackPixel(x, y));
        return px;
    }
    // Pixels of a value inside a rectangle.
    static int Count(std::uint32_t value, plat::Rect r = {0, 0, 800, 600}) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += BackPixel(x, y) == value;
        return n;
    }
    // Bounding box of the pixels that differ from 0.
    static plat::Rect Drawn() {
        plat::Rect box{800, 600, 0, 0};
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                if (BackPixel(x, y) != 0) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
        return box;
    }
    static int Advance(const char* text) {
        plat::FontRequest request;
        request.face = "標準ゴシック";
        request.height = 12;
        plat::Font* font = plat::CreateFont(request);
        const int width = plat::MeasureText(*font, text, -1).cx;
        plat::DeleteFont(font);
        return width;
    }
};

TEST_F(DrawText, SetFontDescribesKindWeightAngleAndCharset) {
    const krLogFont& d = *krFontState.description;
    krDraw::SetFont(0, 20, 90, 1, 1, 1);
    EXPECT_STREQ(d.faceName, "標準明朝");
    EXPECT_EQ(d.height, 20);
    EXPECT_EQ(d.width, 0);
    EXPECT_EQ(d.escapement, 900);
    EXPECT_EQ(d.weight, 700);
    EXPECT_EQ(d.italic, 1);
    EXPECT_EQ(d.underline, 1);
    EXPECT_EQ(d.charset, 128);
    EXPECT_EQ(krFontState.fontHeight, 20);
    ASSERT_NE(krFontState.font, nullptr);
    const std::string mincho = plat::FontFamilyName(*krFontState.font);
    krDraw::ReleaseFont();
    EXPECT_EQ(krFontState.font, nullptr);

    krDraw::SetFont(2, 12, 0, 2, 0, 0);
    EXPECT_STREQ(d.faceName, "標準明朝") << "kind 2 keeps the face";
    EXPECT_EQ(d.weight, 0);
    EXPECT_EQ(plat::FontFamilyName(*krFontState.font), mincho);
    krDraw::ReleaseFont();

    krDraw::SetFont(1, 12, 0, 0, 0, 0);
    EXPECT_STREQ(d.faceName, "標準ゴシック");
    EXPECT_EQ(d.weight, 400);
    EXPECT_NE(plat::FontFamilyName(*krFontState.font), mincho);
    krDraw::ReleaseFont();
    EXPECT_EQ(d.orientation, 0);
    EXPECT_EQ(d.quality, 0);
}

TEST_F(DrawText, FontListAndSetFontNameCharsets) {
    ASSERT_GT(krFontState.fontCount, 0);
    ASSERT_LT(krFontState.fontCount, krFontListSize) << "the test plants an entry";
    bool japanese = false;
    for (int i = 0; i < krFontState.fontCount; ++i) {
        const krFontListEntry& e = krFontState.fontList[i];
        ASSERT_NE(std::memchr(e.name, '\0', 32), nullptr);
        EXPECT_TRUE(e.charset == 0 || e.charset == 128);
        japanese = japanese || e.charset == 128;
    }
    EXPECT_TRUE(japanese);

    krFontListEntry& planted = krFontState.fontList[krFontState.fontCount];
    std::strcpy(planted.name, "Kr Symbol Pictures");
    planted.charset = 2;
    const krLogFont& d = *krFontState.description;
    krDraw::SetFontName("Kr Symbol Pictures", 12, 0, 0, 0, 0);
    EXPECT_EQ(d.charset, 2);
    EXPECT_STREQ(d.faceName, "Kr Symbol Pictures");
    krDraw::ReleaseFont();
    krDraw::SetFontName("Kr Symbol Pictures Too", 12, 0, 0, 0, 0);
    EXPECT_EQ(d.charset, 128);
    krDraw::ReleaseFont();
    krDraw::SetFontName("", 12, 0, 0, 0, 0);
    EXPECT_EQ(d.charset, 0) << "an empty name meets the first empty entry";
    krDraw::ReleaseFont();

    const std::string longName(80, 'x');
    krDraw::SetFontName(longName.c_str(), 12, 0, 0, 0, 0);
    EXPECT_EQ(std::strlen(d.faceName), 31u);
    EXPECT_EQ(d.charset, 128);
    krDraw::DrawString(0, 0, "x");  // an unknown face draws in the Gothic face
    krDraw::ReleaseFont();
    EXPECT_GT(Count(0), 0);
}

TEST_F(DrawText, OpaqueCellsAndTransparentText) {
    krDraw::SetFont(1, 12, 0, 0, 0, 0);
    krDraw::SetFontColor(0xFFFFFF, 0x800000, 0);
    krDraw::DrawString(10, 10, "ABC");
    const int width = Advance("ABC");
    EXPECT_EQ(Count(kWhite16) + Count(kNavy16), width * 12);
    EXPECT_EQ(Count(kWhite16, {10, 10, 10 + width, 22}) + Count(kNavy16, {10, 10, 10 + width, 22}), width * 12);

    plat::FillRect(krScreen.back, nullptr, 0);
    krDraw::SetFontColor(0xFFFFFF, 0x800000, 1);
    krDraw::DrawString(10, 10, "ABC");
    krDraw::ReleaseFont();
    EXPECT_EQ(Count(kNavy16), 0);
    EXPECT_GT(Count(kWhite16), 20);
    EXPECT_EQ(krFontState.backColor, 0x800000u);
}

TEST_F(DrawText, BoxesAlignAndAlignThreeDrawsNothing) {
    krDraw::SetFont(1, 12, 0, 0, 0, 0);
    krDraw::SetFontColor(0xFFFFFF, 0, 1);
    const std::vector<std::uint32_t> blank = Screen();
    krDraw::DrawTextBox(100, 100, 300, 200, "abc", 3);
    krDraw::DrawTextBox(100, 100, 300, 200, "abc", -1);
    EXPECT_EQ(Screen(), blank);

    const int width = Advance("abc");
    plat::Rect ink[3];
    for (int align = 0; align < 3; ++align) {
        plat::FillRect(krScreen.back, nullptr, 0);
        krDraw::DrawTextBox(100, 100, 300, 200, "abc", align);
        ink[align] = Drawn();
        EXPECT_GE(ink[align].left, 100);
        EXPECT_LE(ink[align].right, 300);
        EXPECT_GE(ink[align].top, 100);
        EXPECT_LE(ink[align].bottom, 112);
    }
    krDraw::ReleaseFont();
    EXPECT_EQ(ink[1].left - ink[0].left, (200 - width) / 2);
    EXPECT_EQ(ink[2].left - ink[0].left, 200 - width);
}

TEST_F(DrawText, MeasuringWrapsAndLeavesTheScreenUntouched) {
    const char* paragraph = "いろはにほへとちりぬるをわかよたれそつねならむ";  // 23 characters
    krDraw::SetFont(1, 12, 0, 0, 0, 0);
    krDraw::SetFontColor(0xFFFFFF, 0x800000, 0);
    const int kana = Advance("い");
    const std::vector<std::uint32_t> blank = Screen();
    const int height = krDraw::MeasureTextBox(50, 50, 50 + kana * 10, 60, paragraph);
    EXPECT_EQ(height, 3 * 12);
    EXPECT_EQ(Screen(), blank);
    krDraw::DrawTextBox(50, 50, 50 + kana * 10, 600, paragraph, 0);
    krDraw::ReleaseFont();
    const plat::Rect ink = Drawn();
    EXPECT_EQ(ink.top, 50);
    EXPECT_EQ(ink.bottom, 50 + height) << "opaque cells fill every line";
    EXPECT_EQ(ink.right, 50 + kana * 10);
}

TEST_F(DrawText, PrintfIsWhiteOnNavyAndCutsLongText) {
    krDraw::Printf(30, 30, "fl=%d", 2);
    const int width = Advance("fl=2");
    const plat::Rect cell{30, 30, 30 + width, 42};
    EXPECT_EQ(Drawn().left, cell.left);
    EXPECT_EQ(Drawn().right, cell.right);
    EXPECT_EQ(Drawn().bottom, cell.bottom);
    EXPECT_GT(Count(kWhite16, cell), 10);
    EXPECT_EQ(Count(kWhite16, cell) + Count(kNavy16, cell), width * 12);
    EXPECT_EQ(krFontState.canvasHeld, false) << "the font is released";

    // 400 letters keep 259: placed to end at x = 400 when cut there.
    plat::FillRect(krScreen.back, nullptr, 0);
    const int letter = Advance("a");
    krDraw::Printf(400 - 259 * letter, 100, "%s", std::string(400, 'a').c_str());
    EXPECT_EQ(Drawn().right, 400);
    // 150 two-byte characters keep 129: the half character at the cut goes.
    plat::FillRect(krScreen.back, nullptr, 0);
    std::string kana;
    for (int i = 0; i < 150; ++i) kana += "あ";
    krDraw::Printf(400 - 129 * Advance("あ"), 200, "%s", kana.c_str());
    EXPECT_EQ(Drawn().right, 400);
}

TEST_F(DrawText, TextAfterShutDownDoesNothing) {
    krDraw::QuitFont();
    EXPECT_EQ(krFontState.description, nullptr);
    krDraw::SetFont(1, 12, 0, 0, 0, 0);
    krDraw::DrawString(0, 0, "abc");
    krDraw::Printf(0, 0, "%d", 5);
    EXPECT_EQ(krDraw::MeasureTextBox(0, 0, 100, 100, "abc"), 0);
    krDraw::ReleaseFont();
    EXPECT_EQ(Count(0), 800 * 600);
    krDraw::InitFont();
    krDraw::Printf(0, 0, "%d", 5);
    EXPECT_GT(Count(kNavy16), 0);
}

TEST_F(DrawText, ExtremeArgumentsStayInsideTheScreen) {
    krDraw::SetFont(1, INT_MAX, INT_MAX, 7, 1, 1);
    krDraw::SetFontColor(0xFFFFFF, 0x800000, 0);
    krDraw::DrawString(INT_MAX - 5, INT_MIN + 5, "あa");
    krDraw::DrawString(-5, -5, "\x82");
    krDraw::DrawTextBox(INT_MAX, INT_MAX, INT_MIN, INT_MIN, "abc def", 1);
    krDraw::DrawTextBox(INT_MIN, INT_MIN, INT_MAX, INT_MAX, "abc def", 2);
    EXPECT_GE(krDraw::MeasureTextBox(0, 0, -100, 0, "abc def"), 0);
    krDraw::ReleaseFont();
    krDraw::SetFont(0, -12, -45, 0, 0, 0);
    krDraw::DrawString(790, 590, "回転");
    krDraw::ReleaseFont();
    SUCCEED();
}

// A screen as the game and a user see it: the hit message, the debug line,
// a wrapped paragraph and every shape, saved and read back.
TEST_F(DrawText, WholeScreenLooksRight) {
    const ScreenshotFolder shots;
    plat::FillRect(krScreen.back, nullptr, plat::MapColorRef(krScreen.back->format, 0x404040));
    krDraw::Printf(30, 30, "fl=%d", 2);
    krDraw::Printf(200, 90, "あたった！！");
    krDraw::SetFont(0, 16, 0, 0, 0, 0);
    krDraw::SetFontColor(0x00FFFF, 0, 1);
    krDraw::DrawTextBox(420, 40, 760, 300,
                        "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。"
                        "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。",
                        0);
    krDraw::ReleaseFont();
    krDraw::SetFont(1, 24, 0, 1, 0, 1);
    krDraw::SetFontColor(0xFFFFFF, 0x008000, 0);
    krDraw::DrawString(30, 140, "太字と下線 Bold");
    krDraw::ReleaseFont();
    krDraw::DrawLine(30, 220, 230, 260, 0x0000FF, 1);
    krDraw::DrawLine(30, 280, 230, 280, 0x00FF00, 5);
    krDraw::DrawRect(260, 220, 360, 300, 0xFFFFFF, 255, 1);
    const plat::Point triangle[] = {{420, 360}, {520, 560}, {320, 560}};
    const plat::Point diamond[] = {{600, 360}, {680, 460}, {600, 560}, {520, 460}};
    const plat::Point square[] = {{700, 360}, {780, 360}, {780, 440}, {700, 440}};
    krDraw::DrawPolygon(triangle, 3, 0xFFFF00, 0, 1, 0);
    krDraw::DrawPolygon(diamond, 4, 0xFF00FF, 0x400000, 2, 1);
    krDraw::DrawPolygon(square, 4, 0xFF8000, 0, 1, 2);
    const plat::Point wave[] = {{30, 400}, {80, 320}, {130, 480}, {180, 400}, {230, 320}, {280, 480}, {300, 400}};
    krDraw::DrawBezier(wave, 7, 0xFFFFFF, 2);
    krDraw::SetScreenPixel(790, 590, 0x0000FF);

    ASSERT_EQ(krDraw::SaveScreen(shots.Name("look.bmp").c_str(), 800, 600), 1);
    std::error_code ignored;
    std::filesystem::copy_file(shots.Path("look.bmp"), std::filesystem::temp_directory_path() / "kr_text_look.bmp",
                               std::filesystem::copy_options::overwrite_existing, ignored);
    std::ifstream in(shots.Path("look.bmp"), std::ios::binary);
    const std::vector<std::uint8_t> bmp{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(bmp.size(), 58u + 2400u * 600u);
    auto saved = [&](int x, int y) {
        const std::uint8_t* p = &bmp[58 + static_cast<std::size_t>(599 - y) * 2400 + x * 3];
        return static_cast<std::uint32_t>(p[2] | p[1] << 8 | p[0] << 16);
    };
    auto shown = [](int x, int y) {
        int r, g, b;
        krDraw::GetScreenPixel(x, y, &r, &g, &b);
        return static_cast<std::uint32_t>(r | g << 8 | b << 16);
    };

    // The two debug texts: white on navy cells, nothing else inside them.
    const plat::Rect debug{30, 30, 30 + Advance("fl=2"), 42};
    const plat::Rect hit{200, 90, 200 + Advance("あたった！！"), 102};
    for (const plat::Rect& cell : {debug, hit}) {
        EXPECT_GT(Count(kWhite16, cell), 10);
        EXPECT_EQ(Count(kWhite16, cell) + Count(kNavy16, cell), cell.Width() * 12);
        EXPECT_EQ(saved(cell.left, cell.top), 0x800000u);
        EXPECT_EQ(shown(cell.right, cell.top), 0x404040u);
    }
    EXPECT_EQ(Advance("あたった！！"), 6 * Advance("あ")) << "six full-width characters";
    // The paragraph wraps inside its box in yellow, over the untouched grey.
    const std::uint32_t yellow = plat::MapColorRef(krScreen.back->format, 0x00FFFF);
    EXPECT_GT(Count(yellow, {420, 40, 760, 56}), 100);
    EXPECT_GT(Count(yellow, {420, 56, 760, 72}), 100) << "a second line";
    EXPECT_EQ(Count(yellow), Count(yellow, {420, 40, 760, 300}));
    // Shapes.
    EXPECT_EQ(shown(30, 220), 0x0000F8u);
    EXPECT_EQ(shown(130, 280), 0x00FC00u);
    EXPECT_EQ(shown(130, 282), 0x00FC00u);
    EXPECT_EQ(shown(260, 250), 0x0000F8u);
    EXPECT_EQ(shown(300, 250), 0xF8FCF8u);
    EXPECT_EQ(shown(420, 460), 0x404040u) << "hollow triangle";
    EXPECT_EQ(shown(705, 361), 0xF88000u) << "hatch line in the square";
    EXPECT_EQ(shown(705, 362), 0x404040u) << "transparent gap";
    EXPECT_EQ(saved(790, 590), 0x0000F8u);
    for (int y = 0; y < 600; y += 7)
        for (int x = 0; x < 800; x += 5) ASSERT_EQ(saved(x, y), shown(x, y) & 0xF8F8F8) << x << "," << y;
}

}  // namespace
