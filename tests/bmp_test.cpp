// The BMP decoder: every header kind, bit depth, row order and run-length
// coding decoded to exact surface pixels, and each kind of malformed file
// refused without leaving a surface behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/bmp.h"
#include "platform/surface.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Assembles a BMP file from its parts.
struct Bmp {
    int headerBytes = 40;
    std::int32_t width = 1, height = 1;
    int bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t imageBytes = 0;
    int planes = 1;
    std::vector<std::uint32_t> masks;  // written after a 40-byte header or inside a longer one
    Bytes palette;                     // entries as stored (3 or 4 bytes each)
    Bytes pixels;                      // rows as stored, padding included

    Bytes Build() const {
        const bool masksAfter = headerBytes == 40 && !masks.empty();
        const std::size_t paletteAt = 14 + headerBytes + (masksAfter ? 12 : 0);
        const std::size_t pixelsAt = paletteAt + palette.size();
        Bytes b(pixelsAt + pixels.size(), 0);
        b[0] = 'B';
        b[1] = 'M';
        Put32(b, 2, static_cast<std::uint32_t>(b.size()));
        Put32(b, 10, static_cast<std::uint32_t>(pixelsAt));
        Put32(b, 14, static_cast<std::uint32_t>(headerBytes));
        if (headerBytes == 12) {
            Put16(b, 18, static_cast<std::uint32_t>(width));
            Put16(b, 20, static_cast<std::uint32_t>(height));
            Put16(b, 22, static_cast<std::uint32_t>(planes));
            Put16(b, 24, static_cast<std::uint32_t>(bits));
        } else {
            Put32(b, 18, static_cast<std::uint32_t>(width));
            Put32(b, 22, static_cast<std::uint32_t>(height));
            Put16(b, 26, static_cast<std::uint32_t>(planes));
            Put16(b, 28, static_cast<std::uint32_t>(bits));
            Put32(b, 30, compression);
            Put32(b, 34, imageBytes);
            Put32(b, 46, colorsUsed);
            const std::size_t masksAt = 14 + 40;  // right after, or inside, the first 40 bytes
            for (std::size_t i = 0; i < masks.size() && (masksAfter || headerBytes >= 52); ++i)
                Put32(b, masksAt + 4 * i, masks[i]);
        }
        std::copy(palette.begin(), palette.end(), b.begin() + static_cast<std::ptrdiff_t>(paletteAt));
        std::copy(pixels.begin(), pixels.end(), b.begin() + static_cast<std::ptrdiff_t>(pixelsAt));
        return b;
    }
};

struct Decoded {
    plat::Surface* s = nullptr;
    explicit Decoded(const Bytes& b, int bits = 16)
        : s(plat::DecodeBmp(b.data(), b.size(), plat::FormatForBits(bits))) {}
    ~Decoded() { plat::DestroySurface(s); }
    std::uint32_t At(int x, int y) const { return plat::GetPixel(*s, x, y); }
};

std::uint32_t Rgb(int bits, int r, int g, int b) {
    return plat::MapRGB(plat::FormatForBits(bits), static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                        static_cast<std::uint8_t>(b));
}

// A 3 x 2 24-bit picture: bottom row stored first, rows padded to 4 bytes.
Bmp TwoRows24() {
    Bmp m;
    m.width = 3;
    m.height = 2;
    m.pixels = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0,           // bottom: red green blue
                255, 255, 255, 0, 0, 0, 0x10, 0x20, 0x30, 0, 0, 0};  // top: white black (0x30,0x20,0x10)
    return m;
}

void ExpectTwoRows(const Decoded& d, int bits) {
    ASSERT_NE(d.s, nullptr);
    EXPECT_EQ(d.s->width, 3);
    EXPECT_EQ(d.s->height, 2);
    EXPECT_EQ(d.At(0, 1), Rgb(bits, 255, 0, 0));
    EXPECT_EQ(d.At(1, 1), Rgb(bits, 0, 255, 0));
    EXPECT_EQ(d.At(2, 1), Rgb(bits, 0, 0, 255));
    EXPECT_EQ(d.At(0, 0), Rgb(bits, 255, 255, 255));
    EXPECT_EQ(d.At(1, 0), 0u);
    EXPECT_EQ(d.At(2, 0), Rgb(bits, 0x30, 0x20, 0x10));
}

TEST(BmpDecode, TrueColourInEveryFormatAndHeader) {
    for (int bits : {15, 16, 24, 32}) ExpectTwoRows(Decoded(TwoRows24().Build(), bits), bits);
    for (int header : {52, 56, 108, 124}) {
        Bmp m = TwoRows24();
        m.headerBytes = header;
        ExpectTwoRows(Decoded(m.Build()), 16);
    }

    // Top-down 32-bit rows.
    Bmp m;
    m.bits = 32;
    m.width = 2;
    m.height = -2;
    m.pixels = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 1, 2, 3, 0};
    Decoded d(m.Build(), 24);
    ASSERT_NE(d.s, nullptr);
    EXPECT_EQ(d.At(0, 0), 0xFF0000u);
    EXPECT_EQ(d.At(1, 0), 0x00FF00u);
    EXPECT_EQ(d.At(0, 1), 0x0000FFu);
    EXPECT_EQ(d.At(1, 1), 0x030201u);
}

TEST(BmpDecode, SixteenBitPlainAndBitFields) {
    // Plain 16-bit is 5-5-5; a full component widens to 255, so white stays white.
    Bmp m;
    m.bits = 16;
    m.width = 3;
    m.pixels = {0xFF, 0x7F, 0x00, 0x7C, 0x10, 0x42, 0, 0};
    Decoded plain(m.Build());
    ASSERT_NE(plain.s, nullptr);
    EXPECT_EQ(plain.At(0, 0), 0xFFFFu);
    EXPECT_EQ(plain.At(1, 0), 0xF800u);
    EXPECT_EQ(plain.At(2, 0), Rgb(16, 0x84, 0x84, 0x84));  // 5-bit 16 -> 0x84

    // 5-6-5 bit fields, after a 40-byte header and inside V4 / V5 headers.
    for (int header : {40, 108, 124}) {
        Bmp f;
        f.headerBytes = header;
        f.bits = 16;
        f.compression = 3;
        f.width = 2;
        f.masks = {0xF800, 0x07E0, 0x001F};
        f.pixels = {0x1F, 0x00, 0xE0, 0x07};
        Decoded d(f.Build());
        ASSERT_NE(d.s, nullptr) << header;
        EXPECT_EQ(d.At(0, 0), 0x001Fu);
        EXPECT_EQ(d.At(1, 0), 0x07E0u);
    }

    // 32-bit bit fields in an unusual order: blue on top, red at the bottom.
    Bmp f;
    f.bits = 32;
    f.compression = 3;
    f.masks = {0x000000FF, 0x0000FF00, 0xFF000000};
    f.pixels = {0x12, 0x34, 0x00, 0x56};
    Decoded d(f.Build(), 32);
    ASSERT_NE(d.s, nullptr);
    EXPECT_EQ(d.At(0, 0), 0x123456u);
}

TEST(BmpDecode, PaletteDepths) {
    // 1-bit, 9 pixels wide: the second byte holds the ninth pixel.
    Bmp one;
    one.bits = 1;
    one.width = 9;
    one.palette = {0, 0, 0, 0, 255, 255, 255, 0};
    one.pixels = {0xA5, 0x80, 0, 0};
    Decoded d1(one.Build());
    ASSERT_NE(d1.s, nullptr);
    const int expected[9] = {1, 0, 1, 0, 0, 1, 0, 1, 1};
    for (int x = 0; x < 9; ++x) EXPECT_EQ(d1.At(x, 0), expected[x] ? 0xFFFFu : 0u) << x;

    // 4-bit with a short palette (colours used = 3).
    Bmp four;
    four.bits = 4;
    four.width = 3;
    four.colorsUsed = 3;
    four.palette = {0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0};
    four.pixels = {0x12, 0x00, 0, 0};
    Decoded d4(four.Build());
    ASSERT_NE(d4.s, nullptr);
    EXPECT_EQ(d4.At(0, 0), 0xF800u);
    EXPECT_EQ(d4.At(1, 0), 0x07E0u);
    EXPECT_EQ(d4.At(2, 0), 0u);

    // 8-bit with the core header: 3-byte palette entries, 16-bit sizes.
    Bmp core;
    core.headerBytes = 12;
    core.bits = 8;
    core.width = 2;
    core.height = 2;
    core.palette.assign(256 * 3, 0);
    core.palette[7 * 3 + 0] = 255;  // entry 7: blue
    core.palette[9 * 3 + 1] = 255;  // entry 9: green
    core.pixels = {7, 9, 0, 0, 9, 7, 0, 0};
    Decoded dc(core.Build());
    ASSERT_NE(dc.s, nullptr);
    EXPECT_EQ(dc.At(0, 1), 0x001Fu);
    EXPECT_EQ(dc.At(1, 1), 0x07E0u);
    EXPECT_EQ(dc.At(0, 0), 0x07E0u);
}

Bmp Rle8(Bytes codes) {
    Bmp m;
    m.bits = 8;
    m.compression = 1;
    m.width = 6;
    m.height = 3;
    m.colorsUsed = 4;
    m.palette = {0, 0, 64, 0,  0, 0, 255, 0,  0, 255, 0, 0,  255, 0, 0, 0};  // dark red, red, green, blue
    m.pixels = std::move(codes);
    m.imageBytes = static_cast<std::uint32_t>(m.pixels.size());
    return m;
}

TEST(BmpDecode, RunLengthEightBit) {
    // Bottom row: run of 3 reds, literal green blue green; row 1: move right 2
    // and up 1 (to row 2), then two blues; the rest keeps entry 0.
    Decoded d(Rle8({3, 1, 0, 3, 2, 3, 2, 0, 0, 0, 0, 2, 2, 1, 2, 3, 0, 1}).Build());
    ASSERT_NE(d.s, nullptr);
    const std::uint32_t e0 = Rgb(16, 64, 0, 0), red = 0xF800, green = 0x07E0, blue = 0x001F;
    const std::uint32_t rows[3][6] = {{e0, e0, e0, e0, e0, e0},
                                      {e0, e0, e0, e0, e0, e0},
                                      {red, red, red, green, blue, green}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) {
            std::uint32_t want = rows[y][x];
            if (y == 0 && (x == 2 || x == 3)) want = blue;
            EXPECT_EQ(d.At(x, y), want) << x << "," << y;
        }
}

TEST(BmpDecode, RunLengthFourBit) {
    Bmp m;
    m.bits = 4;
    m.compression = 2;
    m.width = 7;
    m.height = 1;
    m.palette.assign(16 * 4, 0);
    m.palette[1 * 4 + 2] = 255;  // 1: red
    m.palette[2 * 4 + 1] = 255;  // 2: green
    m.palette[3 * 4 + 0] = 255;  // 3: blue
    // Run of 4 alternating 1,2; literal of 3 pixels 3,1,2 (2 bytes, already even); end.
    m.pixels = {4, 0x12, 0, 3, 0x31, 0x20, 0, 1};
    Decoded d(m.Build());
    ASSERT_NE(d.s, nullptr);
    const std::uint32_t want[7] = {0xF800, 0x07E0, 0xF800, 0x07E0, 0x001F, 0xF800, 0x07E0};
    for (int x = 0; x < 7; ++x) EXPECT_EQ(d.At(x, 0), want[x]) << x;
}

TEST(BmpDecode, ColourKeyOfAColourEqualsItsDecodedPixel) {
    const std::uint8_t r = 0x9B, g = 0x47, b = 0xFE;
    Bmp m;
    m.pixels = {b, g, r, 0};
    const Bytes file = m.Build();
    for (int bits : {15, 16, 24, 32}) {
        Decoded d(file, bits);
        ASSERT_NE(d.s, nullptr);
        EXPECT_EQ(d.At(0, 0), plat::MapColorRef(plat::FormatForBits(bits), r | (g << 8) | (b << 16))) << bits;
    }
}

TEST(BmpFile, LoadsFromDiskAndRefusesMissingFiles) {
    const std::string path = ::testing::TempDir() + "bmp_test_picture.bmp";
    const Bytes file = TwoRows24().Build();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    plat::Surface* s = plat::LoadBmpFile(path, plat::FormatForBits(16));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(plat::GetPixel(*s, 0, 1), 0xF800u);
    plat::DestroySurface(s);
    std::remove(path.c_str());
    EXPECT_EQ(plat::LoadBmpFile(path, plat::FormatForBits(16)), nullptr);
}

// ---- malformed files ----

void ExpectRefused(const Bytes& b, const char* what) {
    const std::size_t before = plat::LiveSurfaceCount();
    plat::Surface* s = plat::DecodeBmp(b.data(), b.size(), plat::FormatForBits(16));
    EXPECT_EQ(s, nullptr) << what;
    plat::DestroySurface(s);
    EXPECT_EQ(plat::LiveSurfaceCount(), before) << what;
}

TEST(BmpRefuse, EveryTruncation) {
    const Bmp samples[] = {TwoRows24(), Rle8({3, 1, 0, 0, 0, 1})};
    for (const Bmp& m : samples) {
        const Bytes full = m.Build();
        for (std::size_t n = 0; n < full.size(); ++n) {
            // Cut the bytes, then also make the stated file size agree with
            // the cut: both must fail.
            Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
            ExpectRefused(cut, "truncated");
            if (n >= 6) {
                Put32(cut, 2, static_cast<std::uint32_t>(n));
                ExpectRefused(cut, "truncated with a matching file size");
            }
        }
    }
    EXPECT_EQ(plat::DecodeBmp(nullptr, 0, plat::FormatForBits(16)), nullptr);
}

TEST(BmpRefuse, HeadersThatLie) {
    auto patched = [](Bmp m, std::size_t at, std::uint32_t value) {
        Bytes b = m.Build();
        Put32(b, at, value);
        return b;
    };
    const Bmp base = TwoRows24();
    Bytes magic = base.Build();
    magic[1] = 'A';
    ExpectRefused(magic, "magic");
    ExpectRefused(patched(base, 2, 1000), "file size beyond the end");
    ExpectRefused(patched(base, 10, 1000), "pixel offset beyond the end");
    ExpectRefused(patched(base, 10, 20), "pixel offset inside the header");
    ExpectRefused(patched(base, 10, 14 + 40 + 1), "pixel rows run past the end");
    ExpectRefused(patched(base, 14, 64), "unknown header size");
    ExpectRefused(patched(base, 14, 0xFFFFFFF0u), "header size beyond the end");

    Bmp m = TwoRows24();
    m.planes = 2;
    ExpectRefused(m.Build(), "planes");

    Bmp pal;
    pal.bits = 4;
    pal.colorsUsed = 17;
    pal.palette.assign(17 * 4, 0);
    pal.pixels = {0, 0, 0, 0};
    ExpectRefused(pal.Build(), "more colours than the depth holds");

    Bmp fields;
    fields.bits = 16;
    fields.compression = 3;
    fields.masks = {0xF00F, 0x07E0, 0x001F};
    fields.pixels = {0, 0, 0, 0};
    ExpectRefused(fields.Build(), "mask with a gap");
    fields.masks = {0x1F0000, 0x07E0, 0x001F};
    ExpectRefused(fields.Build(), "mask wider than the pixel");
}

TEST(BmpRefuse, SizesOutOfRange) {
    for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {-3, 2}, {16385, 1}, {1, 16385}, {1, -16385}, {1, INT32_MIN}}) {
        Bmp m;
        m.width = w;
        m.height = h;
        m.pixels.assign(70000, 0);
        ExpectRefused(m.Build(), "size");
    }
    Bmp core;
    core.headerBytes = 12;
    core.bits = 24;
    core.width = 20000;
    core.pixels.assign(60000, 0);
    ExpectRefused(core.Build(), "core size");
}

TEST(BmpRefuse, UnsupportedDepthsAndCompressions) {
    for (int bits : {0, 2, 15, 48, 64}) {
        Bmp m;
        m.bits = bits;
        m.pixels.assign(16, 0);
        ExpectRefused(m.Build(), "depth");
    }
    const std::pair<int, std::uint32_t> combos[] = {{24, 4}, {24, 5}, {32, 6}, {24, 1}, {8, 2}, {24, 3}, {8, 3}};
    for (auto [bits, compression] : combos) {
        Bmp m;
        m.bits = bits;
        m.compression = compression;
        m.palette.assign(bits <= 8 ? 256 * 4 : 0, 0);
        m.masks = {0xFF0000, 0xFF00, 0xFF};
        m.pixels.assign(16, 0);
        ExpectRefused(m.Build(), "compression");
    }
    Bmp topDownRle = Rle8({6, 1, 0, 1});
    topDownRle.height = -3;
    ExpectRefused(topDownRle.Build(), "top-down run-length");
}

TEST(BmpRefuse, PaletteIndexOutOfRange) {
    Bmp m;
    m.bits = 8;
    m.width = 2;
    m.colorsUsed = 2;
    m.palette.assign(2 * 4, 0);
    m.pixels = {1, 2, 0, 0};  // index 2 of a two-colour palette
    ExpectRefused(m.Build(), "uncompressed index");
    ExpectRefused(Rle8({2, 4, 0, 1}).Build(), "run index");
    ExpectRefused(Rle8({0, 3, 1, 9, 1, 0, 0, 1}).Build(), "literal index");
}

TEST(BmpRefuse, RunLengthCodesLeavingThePicture) {
    ExpectRefused(Rle8({7, 1, 0, 1}).Build(), "run past the row");
    ExpectRefused(Rle8({0, 7, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1}).Build(), "literal past the row");
    ExpectRefused(Rle8({0, 2, 7, 0, 0, 1}).Build(), "move past the row");
    ExpectRefused(Rle8({0, 2, 0, 4, 0, 1}).Build(), "move above the picture");
    ExpectRefused(Rle8({0, 0, 0, 0, 0, 0, 1, 1, 0, 1}).Build(), "run above the top row");
    ExpectRefused(Rle8({3, 1, 0, 0}).Build(), "no end code");
    ExpectRefused(Rle8({3, 1, 0, 2, 1}).Build(), "move cut off");
    ExpectRefused(Rle8({0, 4, 1, 1, 1}).Build(), "literal cut off");
    // The stated compressed size may not reach past the file.
    Bmp m = Rle8({6, 1, 0, 1});
    m.imageBytes = 100;
    ExpectRefused(m.Build(), "compressed size");
}

}  // namespace
