// Per-pixel blends: each member against a per-pixel model (the table
// members read the screen set-up's 16-bit tables here, alpha is the float
// formula) on random pictures at every clipping edge, the documented cases
// on chosen pixels, bad arguments, the 15-, 24- and 32-bit displays
// agreeing with 16 bits, and the table members' 8-bit rules on 24 and 32.
#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "draw_fixture.h"

namespace {

using Model = std::function<std::uint32_t(std::uint32_t s, std::uint32_t d)>;

class DrawBlends : public DrawTest {
protected:
    void Open(const char* bits = nullptr) {
        if (bits) setenv("KR_DESKTOP_BITS", bits, 1);
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    }

    void SetUp() override {
        DrawTest::SetUp();
        Open();
    }

    std::uint32_t ColourMask() const {
        const krPixelFormat& f = krScreen.pixelFormat;
        return f.redMask | f.greenMask | f.blueMask;
    }

    // An object of random pixels, one in `zeroEvery` of them 0.
    int RandomObject(int w, int h, unsigned seed, int zeroEvery = 4) {
        const int slot = krDraw::CreateObject(w, h, 2);
        EXPECT_GE(slot, 4);
        std::mt19937 rng(seed);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                plat::PutPixel(*krObjects[slot].surface, x, y, rng() % zeroEvery == 0 ? 0 : rng() & ColourMask());
        return slot;
    }

    void RandomBack(unsigned seed) {
        std::mt19937 rng(seed);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) plat::PutPixel(*krScreen.back, x, y, rng() & ColourMask());
    }

    static std::vector<std::uint32_t> Snapshot() {
        std::vector<std::uint32_t> out(800 * 600);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) out[y * 800 + x] = BackPixel(x, y);
        return out;
    }

    static void Restore(const std::vector<std::uint32_t>& pixels) {
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) plat::PutPixel(*krScreen.back, x, y, pixels[y * 800 + x]);
    }

    // The back screen after a blend of the slot's rectangle at (x, y) whose
    // rule is model(s, d) for every source pixel that is not 0.
    static std::vector<std::uint32_t> Expected(const std::vector<std::uint32_t>& before, int x, int y, int slot, int l,
                                               int t, int r, int b, const Model& model) {
        std::vector<std::uint32_t> out = before;
        const plat::Rect& clip = krScreen.clip;
        const plat::Surface& src = *krObjects[slot].surface;
        for (std::int64_t Y = y; Y < std::int64_t{y} + (b - t); ++Y)
            for (std::int64_t X = x; X < std::int64_t{x} + (r - l); ++X) {
                if (X < clip.left || X >= clip.right || Y < clip.top || Y >= clip.bottom) continue;
                const std::int64_t sx = l + (X - x), sy = t + (Y - y);
                if (sx < 0 || sx >= src.width || sy < 0 || sy >= src.height) continue;
                const std::uint32_t s = plat::GetPixel(src, static_cast<int>(sx), static_cast<int>(sy));
                if (s == 0) continue;
                out[Y * 800 + X] = model(s, before[Y * 800 + X]);
            }
        return out;
    }

    static void ExpectScreen(const std::vector<std::uint32_t>& want, const std::string& what) {
        for (int i = 0; i < 800 * 600; ++i) {
            const std::uint32_t got = BackPixel(i % 800, i / 800);
            ASSERT_EQ(got, want[i]) << what << " at " << i % 800 << "," << i / 800 << std::hex << " got " << got
                                    << " want " << want[i];
        }
    }

    // Runs call(x, y, l, t, r, b) at every clipping edge and compares the
    // whole back screen with the model.
    void CheckAtEveryEdge(const std::string& what, int slot, const std::function<int(int, int, int, int, int, int)>& call,
                          const Model& model) {
        struct Place {
            int x, y, l, t, r, b;
        };
        const Place places[] = {{100, 100, 0, 0, 40, 30},  {-7, -5, 0, 0, 40, 30},  {785, 590, 0, 0, 40, 30},
                                {770, -9, 2, 3, 40, 30},   {-20, 580, 0, 0, 40, 30}, {200, 300, -3, -2, 45, 33},
                                {5, 5, 10, 10, 11, 11},    {0, 0, 0, 0, 40, 30}};
        unsigned seed = 1;
        for (const Place& p : places) {
            RandomBack(seed++);
            const std::vector<std::uint32_t> before = Snapshot();
            ASSERT_EQ(call(p.x, p.y, p.l, p.t, p.r, p.b), 1) << what;
            ExpectScreen(Expected(before, p.x, p.y, slot, p.l, p.t, p.r, p.b, model),
                         what + " at " + std::to_string(p.x) + "," + std::to_string(p.y));
        }
    }

    // ---- the model: 5-bit components and the tables of the screen set-up ----
    static const std::uint8_t* Five(std::uint32_t p) { return &krScreen.component[p * 3]; }
    template <typename Entry>
    static std::uint32_t ByTable(Entry entry) {
        return entry(0) | entry(1) | entry(2);
    }
    static std::uint32_t CrossFade(int i, std::uint32_t s, std::uint32_t d) {
        return ByTable([&](int c) { return krScreen.crossFade[((c * 32 + i) * 32 + Five(s)[c]) * 32 + Five(d)[c]]; });
    }
    static std::uint32_t FadeAdd(int level, std::uint32_t s, std::uint32_t d) {
        return ByTable([&](int c) { return krScreen.fadeAdd[((c * 32 + level) * 32 + Five(s)[c]) * 32 + Five(d)[c]]; });
    }
    static std::uint32_t Field(std::uint32_t p, int c) {
        const krPixelFormat& f = krScreen.pixelFormat;
        const int shifts[3] = {f.redShift, f.greenShift, f.blueShift};
        const std::uint32_t fields[3] = {f.redField, f.greenField, f.blueField};
        return (p >> shifts[c]) & fields[c];
    }
    static std::uint32_t Place(std::uint32_t v, int c) {
        const krPixelFormat& f = krScreen.pixelFormat;
        const int shifts[3] = {f.redShift, f.greenShift, f.blueShift};
        return v << shifts[c];
    }
    // destination = truncate(source * opacity + destination * transparency)
    // per component, in floats: each product rounded, then their sum.
    static std::uint32_t Alpha(const float o[3], const float t[3], std::uint32_t s, std::uint32_t d) {
        std::uint32_t out = 0;
        for (int c = 0; c < 3; ++c) {
            const float source = static_cast<float>(Field(s, c)) * o[c];
            const float destination = static_cast<float>(Field(d, c)) * t[c];
            const float sum = source + destination;
            out |= Place(static_cast<std::uint32_t>(sum), c);
        }
        return out;
    }
    static std::uint32_t Half(std::uint32_t s, std::uint32_t d) {
        const std::uint32_t half = krScreen.pixelFormat.halfMask;
        return ((s >> 1) & half) + ((d >> 1) & half);
    }
};

TEST_F(DrawBlends, TableMembersFollowTheTablesAtEveryEdge) {
    const int slot = RandomObject(40, 30, 11);
    auto fade = [&](int level) {
        return [&, level](int x, int y, int l, int t, int r, int b) { return krDraw::FadeBlit(x, y, level, slot, l, t, r, b); };
    };
    for (int level : {1, 5, 30})
        CheckAtEveryEdge("FadeBlit " + std::to_string(level), slot, fade(level),
                         [&](std::uint32_t s, std::uint32_t d) { return CrossFade(31 - level, s, d); });
    CheckAtEveryEdge(
        "FadeBlitRGB", slot,
        [&](int x, int y, int l, int t, int r, int b) { return krDraw::FadeBlitRGB(x, y, 3, 17, 29, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t d) {
            return (CrossFade(28, s, d) & krScreen.pixelFormat.redMask) |
                   (CrossFade(14, s, d) & krScreen.pixelFormat.greenMask) |
                   (CrossFade(2, s, d) & krScreen.pixelFormat.blueMask);
        });
    CheckAtEveryEdge(
        "AddBlit", slot, [&](int x, int y, int l, int t, int r, int b) { return krDraw::AddBlit(x, y, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t d) { return FadeAdd(0, s, d); });
    const int addLevel = static_cast<int>(31 - 0.4f * 31);
    CheckAtEveryEdge(
        "AddAlphaBlit", slot,
        [&](int x, int y, int l, int t, int r, int b) { return krDraw::AddAlphaBlit(x, y, 0.4f, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t d) { return FadeAdd(addLevel, s, d); });
    CheckAtEveryEdge(
        "SubBlit", slot, [&](int x, int y, int l, int t, int r, int b) { return krDraw::SubBlit(x, y, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t d) {
            return ByTable([&](int c) { return krScreen.subtract[(c * 32 + Five(d)[c]) * 32 + Five(s)[0]]; });
        });
    CheckAtEveryEdge(
        "DarkBlitRGB", slot,
        [&](int x, int y, int l, int t, int r, int b) { return krDraw::DarkBlitRGB(x, y, 0, 15, 31, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t) {
            const int amount[3] = {31, 16, 0};
            return ByTable([&](int c) { return krScreen.subtract[(c * 32 + Five(s)[c]) * 32 + amount[c]]; });
        });
    CheckAtEveryEdge(
        "GrayBlit", slot, [&](int x, int y, int l, int t, int r, int b) { return krDraw::GrayBlit(x, y, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t) {
            const std::uint32_t g = krScreen.third[Five(s)[0] + Five(s)[1] + Five(s)[2]];
            const krPixelFormat& f = krScreen.pixelFormat;
            return g << f.red5Shift | g << f.green5Shift | g << f.blue5Shift;
        });
}

TEST_F(DrawBlends, FullPrecisionMembersAtEveryEdge) {
    const int slot = RandomObject(40, 30, 12);
    CheckAtEveryEdge(
        "HalfBlit", slot, [&](int x, int y, int l, int t, int r, int b) { return krDraw::HalfBlit(x, y, slot, l, t, r, b); },
        Half);
    const float o[3] = {0.3f, 0.3f, 0.3f}, io[3] = {1 - 0.3f, 1 - 0.3f, 1 - 0.3f};
    CheckAtEveryEdge(
        "AlphaBlit", slot,
        [&](int x, int y, int l, int t, int r, int b) { return krDraw::AlphaBlit(x, y, 0.3f, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t d) { return Alpha(o, io, s, d); });
    const float orgb[3] = {0.9f, 0.25f, 0.6f}, iorgb[3] = {1 - 0.9f, 1 - 0.25f, 1 - 0.6f};
    CheckAtEveryEdge(
        "AlphaBlitRGB", slot,
        [&](int x, int y, int l, int t, int r, int b) {
            return krDraw::AlphaBlitRGB(x, y, 0.9f, 0.25f, 0.6f, slot, l, t, r, b);
        },
        [&](std::uint32_t s, std::uint32_t d) { return Alpha(orgb, iorgb, s, d); });
    // Weights that are whole multiples of a power of two take an integer path of their own.
    for (float opacity : {0.5f, 0.75f, 0.0009765625f}) {
        const float w[3] = {opacity, opacity, opacity}, iw[3] = {1 - opacity, 1 - opacity, 1 - opacity};
        CheckAtEveryEdge(
            "AlphaBlit " + std::to_string(opacity), slot,
            [&](int x, int y, int l, int t, int r, int b) { return krDraw::AlphaBlit(x, y, opacity, slot, l, t, r, b); },
            [&](std::uint32_t s, std::uint32_t d) { return Alpha(w, iw, s, d); });
    }
    const float odyadic[3] = {0.25f, 0.5f, 0.875f}, iodyadic[3] = {1 - 0.25f, 1 - 0.5f, 1 - 0.875f};
    CheckAtEveryEdge(
        "AlphaBlitRGB whole", slot,
        [&](int x, int y, int l, int t, int r, int b) {
            return krDraw::AlphaBlitRGB(x, y, 0.25f, 0.5f, 0.875f, slot, l, t, r, b);
        },
        [&](std::uint32_t s, std::uint32_t d) { return Alpha(odyadic, iodyadic, s, d); });
    CheckAtEveryEdge(
        "BrightBlitRGB", slot,
        [&](int x, int y, int l, int t, int r, int b) {
            return krDraw::BrightBlitRGB(x, y, 0.2f, 1.0f, 0.7f, slot, l, t, r, b);
        },
        [&](std::uint32_t s, std::uint32_t) {
            const float f[3] = {0.2f, 1.0f, 0.7f};
            std::uint32_t out = 0;
            for (int c = 0; c < 3; ++c) out |= Place(static_cast<std::uint32_t>(static_cast<float>(Field(s, c)) * f[c]), c);
            return out;
        });
    CheckAtEveryEdge(
        "ChannelBlit", slot,
        [&](int x, int y, int l, int t, int r, int b) { return krDraw::ChannelBlit(x, y, 1, 0, 7, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t) { return s & 0xF81Fu; });
}

TEST_F(DrawBlends, DocumentedCasesOnChosenPixels) {
    std::vector<std::uint32_t> pixels = {0xFFFFFF, 0x000000, 0x808080, 0xFF0000, 0x00FFFF, 0x102030};
    const int slot = krDraw::LoadObject(WritePicture("chosen.bmp", 6, 1, pixels).c_str(), 2);
    ASSERT_GE(slot, 4);
    RandomBack(3);
    const std::vector<std::uint32_t> before = Snapshot();

    // Opacity 0 and fade level 0 leave the destination; 1 and 31 are a keyed copy.
    EXPECT_EQ(krDraw::AlphaBlit(10, 10, 0.0f, slot, 0, 0, 6, 1), 1);
    EXPECT_EQ(krDraw::FadeBlit(10, 10, 0, slot, 0, 0, 6, 1), 1);
    ExpectScreen(before, "opacity 0 / level 0");
    krDraw::Blit(10, 10, slot, 0, 0, 6, 1);
    const std::vector<std::uint32_t> keyed = Snapshot();
    EXPECT_EQ(BackPixel(11, 10), before[10 * 800 + 11]);  // black is the key
    Restore(before);
    krDraw::AlphaBlit(10, 10, 1.0f, slot, 0, 0, 6, 1);
    ExpectScreen(keyed, "opacity 1");
    Restore(before);
    krDraw::FadeBlit(10, 10, 31, slot, 0, 0, 6, 1);
    ExpectScreen(keyed, "level 31");

    // The additive blend saturates each component at 31 (green's low bit is 0).
    krDraw::FillRect(0, 0, 800, 600, 0x8410);
    krDraw::AddBlit(0, 0, slot, 0, 0, 6, 1);
    EXPECT_EQ(BackPixel(0, 0), 0xFFDFu);
    EXPECT_EQ(BackPixel(2, 0), (31u << 11) | (31u << 6) | 31u);  // 16 + 16 = 32 -> 31
    EXPECT_EQ(BackPixel(1, 0), 0x8410u);                           // transparent

    // Subtraction takes only the source's red: red 31 blackens, red 0 leaves it.
    krDraw::FillRect(0, 0, 800, 600, 0x8410);
    krDraw::SubBlit(0, 0, slot, 0, 0, 6, 1);
    EXPECT_EQ(BackPixel(3, 0), 0u);       // pure red
    EXPECT_EQ(BackPixel(4, 0), 0x8410u);  // cyan: no red
    EXPECT_EQ(BackPixel(0, 0), 0u);       // white

    // Darkening by level, brightening that saturates instead of carrying.
    krDraw::DarkBlit(0, 1, 31, slot, 0, 0, 6, 1);
    EXPECT_EQ(BackPixel(0, 1), 0xFFDFu);
    krDraw::DarkBlit(0, 1, 0, slot, 0, 0, 6, 1);
    EXPECT_EQ(BackPixel(0, 1), 0u);
    krDraw::BrightBlit(0, 2, 3.0f, slot, 0, 0, 6, 1);
    EXPECT_EQ(BackPixel(2, 2), 0xFFFFu);
    EXPECT_EQ(BackPixel(3, 2), 0xF800u);
    krDraw::BrightBlit(0, 2, 0.5f, slot, 0, 0, 6, 1);
    EXPECT_EQ(BackPixel(3, 2), 15u << 11);
    krDraw::ChannelBlit(0, 3, 0, 0, 0, slot, 0, 0, 6, 1);
    EXPECT_EQ(BackPixel(0, 3), 0u);
    krDraw::HalfBlit(0, 4, slot, 0, 0, 6, 1);
    EXPECT_EQ(BackPixel(0, 4), Half(0xFFFF, 0x8410));
}

TEST_F(DrawBlends, GradientsFallEveryStepFromTheFirstDrawnPixel) {
    const int slot = RandomObject(40, 30, 13, 9);
    const float o[3] = {0.5f, 0.25f, 0.75f};
    auto alphaAt = [&](int n, int start, int step) {
        return [=, &o](std::uint32_t s, std::uint32_t d) {
            const int falls = (step < 1 || n < start) ? 0 : (n - start) / step;
            float t[3];
            for (int c = 0; c < 3; ++c) t[c] = std::max(0.0f, (1.0f - o[c]) - static_cast<float>(falls) / 32.0f);
            return Alpha(o, t, s, d);
        };
    };
    // Horizontal, drawn from x = -4: the index counts from the first drawn column.
    for (int step : {3, 1, 0, -2}) {
        RandomBack(4);
        const std::vector<std::uint32_t> before = Snapshot();
        ASSERT_EQ(krDraw::AlphaGradientBlit(-4, 20, o[0], o[1], o[2], 0, 0x10002, step, slot, 0, 0, 40, 30), 1);
        std::vector<std::uint32_t> want = before;
        for (int X = 0; X < 36; ++X) {
            const auto column = Expected(before, -4, 20, slot, 0, 0, 40, 30, alphaAt(X, 2, step));
            for (int Y = 20; Y < 50; ++Y) want[Y * 800 + X] = column[Y * 800 + X];
        }
        ExpectScreen(want, "alpha gradient, step " + std::to_string(step));
    }
    // Vertical, with whole weights (the integer path once the transparencies fall).
    {
        const float w[3] = {0.5f, 0.25f, 0.125f};
        RandomBack(14);
        const std::vector<std::uint32_t> before = Snapshot();
        ASSERT_EQ(krDraw::AlphaGradientBlit(30, 590, w[0], w[1], w[2], 1, 2, 3, slot, 0, 0, 40, 30), 1);
        std::vector<std::uint32_t> want = before;
        for (int Y = 590; Y < 600; ++Y) {
            const int n = Y - 590, falls = n < 2 ? 0 : (n - 2) / 3;
            float t[3];
            for (int c = 0; c < 3; ++c) t[c] = std::max(0.0f, (1.0f - w[c]) - static_cast<float>(falls) / 32.0f);
            const auto row = Expected(before, 30, 590, slot, 0, 0, 40, 30, [&](std::uint32_t s, std::uint32_t d) { return Alpha(w, t, s, d); });
            for (int X = 30; X < 70; ++X) want[Y * 800 + X] = row[Y * 800 + X];
        }
        ExpectScreen(want, "whole alpha gradient");
    }
    // Vertical: the index is the row, fade levels falling by one a step.
    RandomBack(5);
    const std::vector<std::uint32_t> before = Snapshot();
    ASSERT_EQ(krDraw::FadeGradientBlit(100, 590, 20, 10, 31, 1, 1, 2, slot, 0, 0, 40, 30), 1);
    std::vector<std::uint32_t> want = before;
    for (int Y = 590; Y < 600; ++Y) {
        const int n = Y - 590, falls = n < 1 ? 0 : (n - 1) / 2;
        const auto row = Expected(before, 100, 590, slot, 0, 0, 40, 30, [&](std::uint32_t s, std::uint32_t d) {
            const int levels[3] = {std::max(0, 11 - falls), std::max(0, 21 - falls), 0};
            const std::uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
            std::uint32_t out = 0;
            for (int c = 0; c < 3; ++c) out |= CrossFade(levels[c], s, d) & masks[c];
            return out;
        });
        for (int X = 100; X < 140; ++X) want[Y * 800 + X] = row[Y * 800 + X];
    }
    ExpectScreen(want, "fade gradient");

    // Across the rows, from x = -3: each column's levels fall on their own;
    // a level at its end keeps that side's component whole.
    for (int step : {1, 4, 0}) {
        RandomBack(6);
        const std::vector<std::uint32_t> across = Snapshot();
        ASSERT_EQ(krDraw::FadeGradientBlit(-3, 5, 20, 2, 31, 0, 3, step, slot, 0, 0, 40, 30), 1);
        want = across;
        for (int X = 0; X < 37; ++X) {
            const int falls = (step < 1 || X < 3) ? 0 : (X - 3) / step;
            const auto column = Expected(across, -3, 5, slot, 0, 0, 40, 30, [&](std::uint32_t s, std::uint32_t d) {
                const int levels[3] = {std::max(0, 11 - falls), std::max(0, 29 - falls), 0};
                const std::uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
                std::uint32_t out = 0;
                for (int c = 0; c < 3; ++c) out |= (levels[c] == 0 ? s : CrossFade(levels[c], s, d)) & masks[c];
                return out;
            });
            for (int Y = 5; Y < 35; ++Y) want[Y * 800 + X] = column[Y * 800 + X];
        }
        ExpectScreen(want, "fade gradient across, step " + std::to_string(step));
    }
}

TEST_F(DrawBlends, BlurAveragesBlocksKeptInsideTheDrawnArea) {
    const int slot = RandomObject(23, 17, 14, 6);
    for (int block : {1, 2, 3, 5, 17, 1000, 1 << 30}) {
        for (int x : {50, -6, 790}) {
            RandomBack(6);
            const std::vector<std::uint32_t> before = Snapshot();
            ASSERT_EQ(krDraw::BlurBlit(x, 590 - (x == 50 ? 100 : 0), block, slot, 0, 0, 23, 17), 1);
            const int y = 590 - (x == 50 ? 100 : 0);
            // The drawn area, in source coordinates.
            const int l = std::max(0, -x), r = std::min(23, 800 - x), t = 0, b = std::min(17, 600 - y);
            const int bw = std::min(block, r - l), bh = std::min(block, b - t);
            std::vector<std::uint32_t> want = Expected(before, x, y, slot, 0, 0, 23, 17, [](std::uint32_t, std::uint32_t d) { return d; });
            for (int sy = t; sy < b; ++sy)
                for (int sx = l; sx < r; ++sx) {
                    if (ObjectPixel(slot, sx, sy) == 0) continue;
                    const int bx = std::min(sx, r - bw), by = std::min(sy, b - bh);
                    std::uint32_t sums[3] = {};
                    for (int j = by; j < by + bh; ++j)
                        for (int i = bx; i < bx + bw; ++i)
                            for (int c = 0; c < 3; ++c) sums[c] += Five(ObjectPixel(slot, i, j))[c];
                    const krPixelFormat& f = krScreen.pixelFormat;
                    const std::uint32_t n = static_cast<std::uint32_t>(bw * bh);
                    want[(y + sy) * 800 + x + sx] = (sums[0] / n) << f.red5Shift | (sums[1] / n) << f.green5Shift |
                                                    (sums[2] / n) << f.blue5Shift;
                }
            ExpectScreen(want, "blur " + std::to_string(block) + " at " + std::to_string(x));
        }
    }
    // Blocks below 1 are refused and draw nothing.
    RandomBack(7);
    const std::vector<std::uint32_t> before = Snapshot();
    EXPECT_EQ(krDraw::BlurBlit(10, 10, 0, slot, 0, 0, 23, 17), 0);
    EXPECT_EQ(krDraw::BlurBlit(10, 10, -5, slot, 0, 0, 23, 17), 0);
    EXPECT_EQ(krDraw::BlurBlit(10, 10, INT32_MIN, slot, 0, 0, 23, 17), 0);
    ExpectScreen(before, "refused blur");
}

TEST_F(DrawBlends, SmoothEdgesAndRefraction) {
    // A plus of opaque pixels in a 5 x 5 picture: the centre has no
    // transparent neighbour, the arms have three, the area's edge cuts some.
    std::vector<std::uint32_t> pixels(25, 0);
    for (int i : {2, 7, 10, 11, 12, 13, 14, 17, 22}) pixels[i] = 0xF80000 | (i * 8);
    const int slot = krDraw::LoadObject(WritePicture("plus.bmp", 5, 5, pixels).c_str(), 2);
    RandomBack(8);
    const std::vector<std::uint32_t> before = Snapshot();
    ASSERT_EQ(krDraw::SmoothEdgeBlit(300, 300, slot, 0, 0, 5, 5), 1);
    std::vector<std::uint32_t> want = before;
    const krPixelFormat& f = krScreen.pixelFormat;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            const std::uint32_t s = ObjectPixel(slot, x, y);
            if (s == 0) continue;
            std::uint32_t sums[3] = {Five(s)[0], Five(s)[1], Five(s)[2]}, count = 1;
            const int n[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto& [nx, ny] : n) {
                if (nx < 0 || nx > 4 || ny < 0 || ny > 4 || ObjectPixel(slot, nx, ny) != 0) continue;
                for (int c = 0; c < 3; ++c) sums[c] += Five(before[(300 + ny) * 800 + 300 + nx])[c];
                ++count;
            }
            want[(300 + y) * 800 + 300 + x] =
                count < 2 ? s
                          : (sums[0] / count) << f.red5Shift | (sums[1] / count) << f.green5Shift |
                                (sums[2] / count) << f.blue5Shift;
        }
    ExpectScreen(want, "smooth edges");
    EXPECT_EQ(BackPixel(302, 302), ObjectPixel(slot, 2, 2));  // no transparent neighbour

    // Refraction: red 31 at strength 1 moves the pixel 31 rows up, unless
    // fewer rows are left below; strength 0 leaves the destination.
    const int tall = krDraw::CreateObject(1, 40, 2);
    for (int y = 0; y < 40; ++y) plat::PutPixel(*krObjects[tall].surface, 0, y, y < 2 ? 0xF800 : (y % 31) << 11 | 1);
    Restore(before);
    ASSERT_EQ(krDraw::RefractBlit(10, 100, 1.0f, tall, 0, 0, 1, 40), 1);
    EXPECT_EQ(BackPixel(10, 100), before[131 * 800 + 10]);        // red 31, 39 rows left
    EXPECT_EQ(BackPixel(10, 102), before[(102 + 2) * 800 + 10]);  // red 2
    EXPECT_EQ(BackPixel(10, 104), before[(104 + 4) * 800 + 10]);  // red 4
    EXPECT_EQ(BackPixel(10, 130), before[130 * 800 + 10]);        // red 30, only 9 rows left
    EXPECT_EQ(BackPixel(10, 131), before[131 * 800 + 10]);        // red 0
    EXPECT_EQ(BackPixel(10, 134), before[137 * 800 + 10]);        // red 3, 5 rows left
    EXPECT_EQ(BackPixel(10, 135), before[135 * 800 + 10]);        // red 4, 4 rows left
    Restore(before);
    ASSERT_EQ(krDraw::RefractBlit(10, 100, 0.0f, tall, 0, 0, 1, 40), 1);
    ExpectScreen(before, "refraction at strength 0");
}

TEST_F(DrawBlends, FlipsMirrorTheWholeRectangleBeforeClipping) {
    const int slot = RandomObject(40, 30, 15);
    for (int mode = 0; mode < 4; ++mode) {
        for (int x : {100, -9, 777}) {
            RandomBack(9);
            const std::vector<std::uint32_t> before = Snapshot();
            ASSERT_EQ(krDraw::FlipBlit(x, -4, mode, slot, 2, 1, 38, 29), 1);
            std::vector<std::uint32_t> want = before;
            for (int j = 0; j < 28; ++j)
                for (int i = 0; i < 36; ++i) {
                    const int X = x + i, Y = -4 + j;
                    if (X < 0 || X >= 800 || Y < 0) continue;
                    const int sx = (mode & 1) ? 37 - i : 2 + i, sy = (mode & 2) ? 28 - j : 1 + j;
                    const std::uint32_t s = ObjectPixel(slot, sx, sy);
                    if (s) want[Y * 800 + X] = s;
                }
            ExpectScreen(want, "flip " + std::to_string(mode) + " at " + std::to_string(x));
        }
    }
    // A rectangle reaching past the picture: only the columns that exist are drawn, mirrored.
    RandomBack(10);
    const std::vector<std::uint32_t> before = Snapshot();
    ASSERT_EQ(krDraw::FlipBlit(100, 100, 1, slot, -3, 0, 47, 30), 1);
    std::vector<std::uint32_t> want = before;
    for (int j = 0; j < 30; ++j)
        for (int i = 0; i < 50; ++i) {
            const int sx = 46 - i;
            if (sx < 0 || sx >= 40) continue;
            if (const std::uint32_t s = ObjectPixel(slot, sx, j)) want[(100 + j) * 800 + 100 + i] = s;
        }
    ExpectScreen(want, "flip past the picture");
    EXPECT_EQ(krDraw::FlipBlit(0, 0, 4, slot, 0, 0, 40, 30), 0);
    EXPECT_EQ(krDraw::FlipBlit(0, 0, -1, slot, 0, 0, 40, 30), 0);
}

TEST_F(DrawBlends, SmearsRepeatTheLastPixelTaken) {
    const int slot = RandomObject(40, 30, 16, 1000000);
    RandomBack(10);
    const std::vector<std::uint32_t> before = Snapshot();
    // Mode 0: right becomes the screen width minus left, so the row runs 800 - 2 * 3 wide.
    ASSERT_EQ(krDraw::SmearBlit(10, 20, 0, 0x10005, slot, 3, 4, 9, 6), 1);
    for (int X = 10; X < 800; ++X) {
        const int sx = 3 + std::min(X - 10, 4);
        EXPECT_EQ(BackPixel(X, 20), X < 10 + 794 ? ObjectPixel(slot, sx, 4) : before[20 * 800 + X]) << X;
    }
    EXPECT_EQ(BackPixel(9, 20), before[20 * 800 + 9]);
    EXPECT_EQ(BackPixel(50, 22), before[22 * 800 + 50]);
    // Mode 2 smears down to the screen's height minus top.
    Restore(before);
    ASSERT_EQ(krDraw::SmearBlit(5, 0, 2, 3, slot, 7, 2, 8, 99), 1);
    for (int Y = 0; Y < 600; ++Y)
        ASSERT_EQ(BackPixel(5, Y), Y < 596 ? ObjectPixel(slot, 7, 2 + std::min(Y, 2)) : before[Y * 800 + 5]) << Y;
    // Modes 1 and 3 take the source from the far edge and repeat towards the near one.
    Restore(before);
    ASSERT_EQ(krDraw::SmearBlit(0, 0, 1, 2, slot, 0, 0, 10, 1), 1);
    for (int X = 0; X < 10; ++X) EXPECT_EQ(BackPixel(X, 0), ObjectPixel(slot, std::max(X, 8), 0)) << X;
    ASSERT_EQ(krDraw::SmearBlit(0, 0, 3, 1, slot, 0, 0, 1, 10), 1);
    for (int Y = 0; Y < 10; ++Y) EXPECT_EQ(BackPixel(0, Y), ObjectPixel(slot, 0, 9)) << Y;
    // Length 0 draws nothing; unknown modes are refused.
    Restore(before);
    EXPECT_EQ(krDraw::SmearBlit(0, 0, 0, 0x10000, slot, 0, 0, 10, 10), 1);
    EXPECT_EQ(krDraw::SmearBlit(0, 0, 4, 3, slot, 0, 0, 10, 10), 0);
    EXPECT_EQ(krDraw::SmearBlit(0, 0, 0, 3, slot, INT32_MIN, 0, 0, 10), 1);
    EXPECT_EQ(krDraw::SmearBlit(0, 0, 2, 3, slot, 0, INT32_MIN, 10, 0), 1);
    ExpectScreen(before, "no smear");
}

TEST_F(DrawBlends, BadSlotsLostSurfacesAndFarRectangles) {
    const int slot = RandomObject(40, 30, 17);
    RandomBack(11);
    const std::vector<std::uint32_t> before = Snapshot();
    using Call = std::function<int(int x, int y, int slot, int l, int t, int r, int b)>;
    const std::vector<Call> members = {
        [](int x, int y, int s, int l, int t, int r, int b) { return krDraw::HalfBlit(x, y, s, l, t, r, b); },
        [](int x, int y, int s, int l, int t, int r, int b) { return krDraw::AlphaBlit(x, y, NAN, s, l, t, r, b); },
        [](int x, int y, int s, int l, int t, int r, int b) { return krDraw::FadeBlit(x, y, 99, s, l, t, r, b); },
        [](int x, int y, int s, int l, int t, int r, int b) { return krDraw::AddAlphaBlit(x, y, -3, s, l, t, r, b); },
        [](int x, int y, int s, int l, int t, int r, int b) { return krDraw::BlurBlit(x, y, 4, s, l, t, r, b); },
        [](int x, int y, int s, int l, int t, int r, int b) { return krDraw::SmoothEdgeBlit(x, y, s, l, t, r, b); },
        [](int x, int y, int s, int l, int t, int r, int b) { return krDraw::RefractBlit(x, y, 9, s, l, t, r, b); },
        [](int x, int y, int s, int l, int t, int r, int b) { return krDraw::FlipBlit(x, y, 3, s, l, t, r, b); },
        [](int x, int y, int s, int l, int t, int r, int b) { return krDraw::SmearBlit(x, y, 1, 5, s, l, t, r, b); },
        [](int x, int y, int s, int l, int t, int r, int b) {
            return krDraw::FadeGradientBlit(x, y, 1, 2, 3, 0, 0, 0, s, l, t, r, b);
        },
    };
    for (const Call& member : members) {
        // Slots out of range or free: refused.
        EXPECT_EQ(member(10, 10, -1, 0, 0, 40, 30), 0);
        EXPECT_EQ(member(10, 10, 512, 0, 0, 40, 30), 0);
        EXPECT_EQ(member(10, 10, 300, 0, 0, 40, 30), 0);
        // Rectangles beyond either surface or inverted: nothing to draw.
        EXPECT_EQ(member(INT32_MIN, INT32_MIN, slot, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), 1);
        EXPECT_EQ(member(900, 10, slot, 0, 0, 40, 30), 1);
        EXPECT_EQ(member(10, 10, slot, 30, 0, 20, 30), 1);
        EXPECT_EQ(member(10, 10, slot, 100, 100, 140, 130), 1);
        EXPECT_EQ(member(INT32_MAX, INT32_MAX, slot, INT32_MIN, INT32_MIN, 0, 0), 1);
        // A lost surface cannot be locked: 0, and no lock is left behind.
        plat::MarkAllSurfacesLost();
        EXPECT_EQ(member(10, 10, slot, 0, 0, 40, 30), 0);
        plat::Restore(krObjects[slot].surface);
        EXPECT_EQ(member(10, 10, slot, 0, 0, 40, 30), 0);
        EXPECT_EQ(krObjects[slot].surface->lockCount, 0);
        plat::Restore(krScreen.back);
        EXPECT_EQ(krScreen.back->lockCount, 0);
        // Restoring cleared both surfaces: draw them again for the next member.
        std::mt19937 rng(17);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                plat::PutPixel(*krObjects[slot].surface, x, y, rng() % 4 == 0 ? 0 : rng() & ColourMask());
        Restore(before);
    }
    ExpectScreen(before, "bad arguments");
}

// The same pictures blended on 15, 24 and 32 bits as on 16, cut to 5-bit
// components: equal for the table members, within one step for the others.
class DrawBlendDepths : public DrawBlends, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override { DrawTest::SetUp(); }

    struct Result {
        std::vector<std::uint32_t> five;  // r5 << 10 | g5 << 5 | b5 per pixel of the 120 x 90 corner
    };

    static std::uint32_t ToFive(std::uint32_t p) {
        const krPixelFormat& f = krScreen.pixelFormat;
        const std::uint32_t r = (p >> (f.redShift + (f.redField == 0xFF ? 3 : 0))) & 31;
        const std::uint32_t g = (p >> (f.greenShift + (f.greenField == 0xFF ? 3 : f.greenField == 0x3F ? 1 : 0))) & 31;
        const std::uint32_t b = (p >> (f.blueShift + (f.blueField == 0xFF ? 3 : 0))) & 31;
        return r << 10 | g << 5 | b;
    }

    // Draws every member once over its own band of a fixed background and
    // returns the 5-bit picture; the clip rectangle cuts every band.
    std::vector<std::vector<std::uint32_t>> RunAll(const std::string& picture, const std::string& backdrop) {
        const int slot = krDraw::LoadObject(picture.c_str(), 2);
        const int back = krDraw::LoadObject(backdrop.c_str(), 2);
        EXPECT_GE(slot, 4);
        EXPECT_GE(back, 4);
        using Member = std::function<int(int y)>;
        const std::vector<Member> members = {
            [&](int y) { return krDraw::FadeBlit(-3, y, 12, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::FadeBlitRGB(-3, y, 3, 20, 31, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::FadeGradientBlit(-3, y, 30, 20, 10, 0, 2, 3, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::AddBlit(-3, y, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::AddAlphaBlit(-3, y, 0.6f, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::SubBlit(-3, y, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::DarkBlit(-3, y, 19, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::DarkBlitRGB(-3, y, 4, 31, 17, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::GrayBlit(-3, y, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::BlurBlit(-3, y, 3, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::SmoothEdgeBlit(-3, y, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::RefractBlit(-3, y, 0.7f, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::FlipBlit(-3, y, 3, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::SmearBlit(-3, y, 1, 7, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::ChannelBlit(-3, y, 1, 0, 1, slot, 0, 0, 30, 20); },
            // Full precision: within one 5-bit step.
            [&](int y) { return krDraw::HalfBlit(-3, y, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::AlphaBlit(-3, y, 0.35f, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::AlphaGradientBlit(-3, y, 0.2f, 0.5f, 0.9f, 1, 1, 2, slot, 0, 0, 30, 20); },
            [&](int y) { return krDraw::BrightBlitRGB(-3, y, 0.5f, 0.9f, 1.0f, slot, 0, 0, 30, 20); },
        };
        std::vector<std::vector<std::uint32_t>> out;
        for (const Member& member : members) {
            krDraw::BlitOpaque(0, 0, back, 0, 0, 40, 30);
            krScreen.clip = plat::Rect{0, 0, 25, 28};
            EXPECT_EQ(member(10), 1);
            krScreen.clip = plat::Rect{0, 0, 800, 600};
            std::vector<std::uint32_t> five;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 42; ++x) five.push_back(ToFive(BackPixel(x, y)));
            out.push_back(five);
        }
        return out;
    }
};

TEST_P(DrawBlendDepths, AgreeWithSixteenBits) {
    std::mt19937 rng(21);
    std::vector<std::uint32_t> picture(30 * 20), backdrop(40 * 30);
    for (std::uint32_t& p : picture) p = rng() % 5 == 0 ? 0 : rng() & 0xFFFFFF;
    for (std::uint32_t& p : backdrop) p = rng() & 0xFFFFFF;
    const std::string pictureName = WritePicture("pic.bmp", 30, 20, picture);
    const std::string backdropName = WritePicture("backdrop.bmp", 40, 30, backdrop);
    Open("16");
    const auto sixteen = RunAll(pictureName, backdropName);
    krDraw::Release();
    Open(GetParam());
    const auto other = RunAll(pictureName, backdropName);
    ASSERT_EQ(sixteen.size(), other.size());
    // The table members (the first nine) work on 5 bits on 15 bits, on 8
    // bits on 24 and 32 (their 8-bit rules are held exactly in
    // DrawBlendsEightBits); the next six keep 5-bit components everywhere;
    // the rest work at full precision.
    constexpr std::size_t kTable = 9, kExact = 15;
    const bool eightBits = std::string(GetParam()) != "15";
    for (std::size_t m = 0; m < sixteen.size(); ++m)
        for (std::size_t i = 0; i < sixteen[m].size(); ++i) {
            const int x = static_cast<int>(i % 42), y = static_cast<int>(i / 42);
            // Outside the clipped band the backdrop stays (the frame is 40 x 30).
            if (x >= 25 || y >= 28 || y < 10) {
                ASSERT_EQ(other[m][i], sixteen[m][i]) << "member " << m << " wrote outside at " << x << "," << y;
                continue;
            }
            if (m < kExact && !(eightBits && m < kTable)) {
                ASSERT_EQ(other[m][i], sixteen[m][i]) << "member " << m << " at " << x << "," << y;
            } else {
                // Within one 5-bit step, two for a table rule on eight bits.
                const int slack = m < kTable ? 2 : 1;
                for (int shift : {0, 5, 10}) {
                    const int a = static_cast<int>((other[m][i] >> shift) & 31), b = static_cast<int>((sixteen[m][i] >> shift) & 31);
                    ASSERT_LE(std::abs(a - b), slack) << "member " << m << " at " << x << "," << y;
                }
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawBlendDepths, ::testing::Values("15", "24", "32"));

// The table members on 24- and 32-bit displays: the rules of the 16-bit
// tables on all eight bits of each component, levels scaled to eight bits
// by repeating their top bits.
class DrawBlendsEightBits : public DrawBlends, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        Open(GetParam());
    }

    static std::uint32_t Byte(std::uint32_t p, int c) { return (p >> (16 - 8 * c)) & 0xFF; }  // c: 0 red, 1 green, 2 blue
    template <typename Rule>
    static std::uint32_t PerByte(Rule rule) {
        return rule(0) << 16 | rule(1) << 8 | rule(2);
    }
    static std::uint32_t Scaled(int level) { return static_cast<std::uint32_t>(level << 3 | level >> 2); }
    static std::uint32_t Minus(std::uint32_t a, std::uint32_t b) { return a > b ? a - b : 0; }

    // Every component of the back screen against `before`, over the 40 x 30 area at (x, y).
    template <typename Check>
    static void EveryComponent(const std::vector<std::uint32_t>& before, int x, int y, Check check) {
        for (int Y = y; Y < y + 30; ++Y)
            for (int X = x; X < x + 40; ++X)
                for (int c = 0; c < 3; ++c)
                    ASSERT_TRUE(check(Byte(before[Y * 800 + X], c), Byte(BackPixel(X, Y), c))) << X << "," << Y << " component " << c;
    }
};

TEST_P(DrawBlendsEightBits, TableMembersFollowTheRulesOnEightBits) {
    const int slot = RandomObject(40, 30, 31);
    for (int level : {1, 12, 30}) {
        const std::uint32_t L = Scaled(31 - level);
        CheckAtEveryEdge(
            "FadeBlit " + std::to_string(level), slot,
            [&](int x, int y, int l, int t, int r, int b) { return krDraw::FadeBlit(x, y, level, slot, l, t, r, b); },
            [&](std::uint32_t s, std::uint32_t d) {
                return PerByte([&](int c) { return Minus(Byte(s, c), L) + Minus(Byte(d, c), 255 - L); });
            });
    }
    CheckAtEveryEdge(
        "AddBlit", slot, [&](int x, int y, int l, int t, int r, int b) { return krDraw::AddBlit(x, y, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t d) {
            return PerByte([&](int c) { return std::min(255u, Byte(s, c) + Byte(d, c)); });
        });
    const std::uint32_t addLevel = Scaled(static_cast<int>(31 - 0.4f * 31));
    CheckAtEveryEdge(
        "AddAlphaBlit", slot,
        [&](int x, int y, int l, int t, int r, int b) { return krDraw::AddAlphaBlit(x, y, 0.4f, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t d) {
            return PerByte([&](int c) { return std::min(255u, Minus(Byte(s, c), addLevel) + Byte(d, c)); });
        });
    CheckAtEveryEdge(
        "SubBlit", slot, [&](int x, int y, int l, int t, int r, int b) { return krDraw::SubBlit(x, y, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t d) { return PerByte([&](int c) { return Minus(Byte(d, c), Byte(s, 0)); }); });
    CheckAtEveryEdge(
        "DarkBlitRGB", slot,
        [&](int x, int y, int l, int t, int r, int b) { return krDraw::DarkBlitRGB(x, y, 0, 15, 31, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t) {
            const int levels[3] = {0, 15, 31};
            return PerByte([&](int c) { return Minus(Byte(s, c), Scaled(31 - levels[c])); });
        });
    CheckAtEveryEdge(
        "GrayBlit", slot, [&](int x, int y, int l, int t, int r, int b) { return krDraw::GrayBlit(x, y, slot, l, t, r, b); },
        [&](std::uint32_t s, std::uint32_t) {
            const std::uint32_t g = (Byte(s, 0) + Byte(s, 1) + Byte(s, 2)) / 3;
            return g << 16 | g << 8 | g;
        });
}

TEST_P(DrawBlendsEightBits, AddNeverDarkensAndSubtractNeverBrightens) {
    const int slot = RandomObject(40, 30, 32, 3);
    RandomBack(33);
    std::vector<std::uint32_t> before = Snapshot();
    ASSERT_EQ(krDraw::AddBlit(100, 100, slot, 0, 0, 40, 30), 1);
    EveryComponent(before, 100, 100, [](std::uint32_t was, std::uint32_t is) { return is >= was; });
    ASSERT_EQ(krDraw::AddAlphaBlit(200, 100, 0.3f, slot, 0, 0, 40, 30), 1);
    EveryComponent(before, 200, 100, [](std::uint32_t was, std::uint32_t is) { return is >= was; });
    ASSERT_EQ(krDraw::SubBlit(300, 100, slot, 0, 0, 40, 30), 1);
    EveryComponent(before, 300, 100, [](std::uint32_t was, std::uint32_t is) { return is <= was; });

    // The darkest add over a mid grey brightens it by one step.
    const int one = krDraw::LoadObject(WritePicture("one.bmp", 1, 1, {0x010101}).c_str(), 2);
    for (int x = 5; x < 7; ++x) plat::PutPixel(*krScreen.back, x, 5, 0x676767);
    ASSERT_EQ(krDraw::AddBlit(5, 5, one, 0, 0, 1, 1), 1);
    EXPECT_EQ(BackPixel(5, 5), 0x686868u);
    ASSERT_EQ(krDraw::SubBlit(6, 5, one, 0, 0, 1, 1), 1);
    EXPECT_EQ(BackPixel(6, 5), 0x666666u);
}

TEST_P(DrawBlendsEightBits, EndLevelsAreExact) {
    const int slot = RandomObject(40, 30, 34);
    RandomBack(35);
    const std::vector<std::uint32_t> before = Snapshot();
    krDraw::Blit(10, 10, slot, 0, 0, 40, 30);
    const std::vector<std::uint32_t> keyed = Snapshot();
    const auto again = [&](const std::function<int()>& member, const std::vector<std::uint32_t>& want, const char* what) {
        Restore(before);
        ASSERT_EQ(member(), 1);
        ExpectScreen(want, what);
    };
    // Level 31 draws the source whole, level 0 the destination (or black for darkening).
    again([&] { return krDraw::FadeBlit(10, 10, 31, slot, 0, 0, 40, 30); }, keyed, "fade 31");
    again([&] { return krDraw::DarkBlit(10, 10, 31, slot, 0, 0, 40, 30); }, keyed, "dark 31");
    again([&] { return krDraw::FadeBlit(10, 10, 0, slot, 0, 0, 40, 30); }, before, "fade 0");
    again([&] { return krDraw::AddAlphaBlit(10, 10, 0.0f, slot, 0, 0, 40, 30); }, before, "add at strength 0");
    again([&] { return krDraw::FadeGradientBlit(10, 10, 31, 31, 31, 0, 5000, 1, slot, 0, 0, 40, 30); }, keyed,
          "fade gradient before its start");
    std::vector<std::uint32_t> black = Expected(before, 10, 10, slot, 0, 0, 40, 30, [](std::uint32_t, std::uint32_t) { return 0u; });
    again([&] { return krDraw::DarkBlit(10, 10, 0, slot, 0, 0, 40, 30); }, black, "dark 0");
}

TEST_P(DrawBlendsEightBits, HalfwayFadeOfAnEightBitRampKeepsItsSteps) {
    // A grey ramp of every 8-bit level; half of it faded towards black.
    for (int x = 0; x < 256; ++x) plat::PutPixel(*krScreen.back, x, 0, static_cast<std::uint32_t>(x) * 0x010101u);
    const int dark = krDraw::LoadObject(WritePicture("dark.bmp", 1, 1, {0x010101}).c_str(), 2);
    for (int x = 0; x < 256; ++x) ASSERT_EQ(krDraw::FadeBlit(x, 0, 16, dark, 0, 0, 1, 1), 1);
    std::vector<std::uint32_t> levels;
    for (int x = 0; x < 256; ++x) levels.push_back(BackPixel(x, 0) & 0xFF);
    std::sort(levels.begin(), levels.end());
    const auto distinct = std::unique(levels.begin(), levels.end()) - levels.begin();
    EXPECT_GT(distinct, 100);  // 5-bit arithmetic would leave at most 32
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawBlendsEightBits, ::testing::Values("24", "32"));

}  // namespace
