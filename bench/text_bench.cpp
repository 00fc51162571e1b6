// Speed of the debug text: krDraw::Printf("fl=%d") on an 800 x 600 headless
// back screen (a font made and deleted per call, as the game does), against
// the floor of FreeType loading and rendering the same string's glyphs
// directly into a 16-bit buffer in the same run. Both report strings/s.
#include <benchmark/benchmark.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "platform/headless/headless.h"
#include "system/krSystem.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;

void OpenScreen() {
    static const bool open = [] {
        plat::SetBackend(&plat::headless::Instance());
        krSystem::ProcessStart();
        krSystem::InitState();
        krSystemState.fullScreen = 0;  // windowed, as the game runs
        return krDraw::Screen(kWidth, kHeight, 1) == 1;
    }();
    if (!open) std::fprintf(stderr, "the screen could not be set up\n");
}

void BM_PrintfDebugLine(benchmark::State& state) {
    OpenScreen();
    int frame = 0;
    for (auto _ : state) krDraw::Printf(30, 30, "fl=%d", frame++ & 3);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PrintfDebugLine);

// The file of the face the standard Gothic name maps to.
std::string GothicFile() {
    FcInit();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string file;
    FcChar8* path = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) file = reinterpret_cast<char*>(path);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return file;
}

void BM_FreeTypeDirect(benchmark::State& state) {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, GothicFile().c_str(), 0, &face) != 0) {
        state.SkipWithError("no face");
        return;
    }
    FT_Set_Pixel_Sizes(face, 0, 12);
    std::vector<std::uint16_t> screen(kWidth * kHeight);
    int frame = 0;
    char text[16];
    for (auto _ : state) {
        std::snprintf(text, sizeof text, "fl=%d", frame++ & 3);
        int penX = 30;
        const int baseline = 30 + 11;
        for (const char* c = text; *c; ++c) {
            if (FT_Load_Char(face, static_cast<unsigned char>(*c), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
            const FT_GlyphSlot slot = face->glyph;
            const FT_Bitmap& bm = slot->bitmap;
            for (unsigned row = 0; row < bm.rows; ++row) {
                const int y = baseline - slot->bitmap_top + static_cast<int>(row);
                for (unsigned x = 0; x < bm.width; ++x)
                    if ((bm.buffer[row * bm.pitch + (x >> 3)] >> (7 - (x & 7))) & 1)
                        screen[y * kWidth + penX + slot->bitmap_left + static_cast<int>(x)] = 0xFFFF;
            }
            penX += static_cast<int>(slot->advance.x >> 6);
        }
        benchmark::DoNotOptimize(screen.data());
    }
    state.SetItemsProcessed(state.iterations());
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}
BENCHMARK(BM_FreeTypeDirect);

}  // namespace
