// The BMP decoder: each header kind, depth, row order and run-length coding
// decoded to exact pixels, and each kind of malformed file refused without
// leaving a surface behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/images/bmp.h"
#include "platform/pixels/surface.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::size_t at, std::uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A BMP file from its parts; masks go after a 40-byte header or inside a longer one.
struct Bmp {
    int headerBytes = 40;
    std::int32_t width = 1, height = 1;
    int bits = 24, planes = 1;
    std::uint32_t compression = 0, colorsUsed = 0, imageBytes = 0;
    std::vector<std::uint32_t> masks;
    Bytes palette, pixels;  // as stored

    Bytes Build() const {
        const std::size_t paletteAt = 14 + headerBytes + (headerBytes == 40 && !masks.empty() ? 12 : 0);
        const std::size_t pixelsAt = paletteAt + palette.size();
        Bytes b(pixelsAt + pixels.size(), 0);
        b[0] = 'B', b[1] = 'M';
        Put(b, 2, static_cast<std::uint32_t>(b.size()));
        Put(b, 10, static_cast<std::uint32_t>(pixelsAt));
        Put(b, 14, static_cast<std::uint32_t>(headerBytes));
        const int field = headerBytes == 12 ? 2 : 4;
        Put(b, 18, static_cast<std::uint32_t>(width), field);
        Put(b, 18 + field, static_cast<std::uint32_t>(height), field);
        Put(b, 18 + 2 * field, static_cast<std::uint32_t>(planes), 2);
        Put(b, 20 + 2 * field, static_cast<std::uint32_t>(bits), 2);
        if (headerBytes != 12) {
            Put(b, 30, compression);
            Put(b, 34, imageBytes);
            Put(b, 46, colorsUsed);
            for (std::size_t i = 0; i < masks.size(); ++i) Put(b, 54 + 4 * i, masks[i]);
        }
        std::copy(palette.begin(), palette.end(), b.begin() + static_cast<std::ptrdiff_t>(paletteAt));
        std::copy(pixels.begin(), pixels.end(), b.begin() + static_cast<std::ptrdiff_t>(pixelsAt));
        return b;
    }
};

// Decodes and returns the pixels row by row; empty when refused.
std::vector<std::uint32_t> Decode(const Bytes& b, int bits = 16) {
    const std::size_t before = plat::LiveSurfaceCount();
    plat::Surface* s = plat::DecodeBmp(b.data(), b.size(), plat::FormatForBits(bits));
    std::vector<std::uint32_t> out;
    if (!s) {
        EXPECT_EQ(plat::LiveSurfaceCount(), before) << "a refused file leaves no surface";
        return out;
    }
    for (int y = 0; y < s->height; ++y)
        for (int x = 0; x < s->width; ++x) out.push_back(plat::GetPixel(*s, x, y));
    plat::DestroySurface(s);
    return out;
}

using Px = std::vector<std::uint32_t>;
constexpr std::uint32_t R = 0xF800, G = 0x07E0, B = 0x001F, W = 0xFFFF;

// 3 x 2, 24-bit: bottom row (red green blue) stored first, rows padded to 4 bytes.
Bmp TwoRows24() {
    Bmp m;
    m.width = 3, m.height = 2;
    m.pixels = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0x10, 0x20, 0x30, 0, 0, 0};
    return m;
}

TEST(BmpDecode, TrueColourHeadersAndRowOrders) {
    const Px expected = {W, 0, plat::MapRGB(plat::FormatForBits(16), 0x30, 0x20, 0x10), R, G, B};
    for (int header : {40, 52, 56, 108, 124}) {
        Bmp m = TwoRows24();
        m.headerBytes = header;
        EXPECT_EQ(Decode(m.Build()), expected) << header;
    }
    Bmp top;  // top-down 32-bit, decoded for a 24-bit display
    top.bits = 32, top.width = 2, top.height = -2;
    top.pixels = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 1, 2, 3, 0};
    EXPECT_EQ(Decode(top.Build(), 24), (Px{0xFF0000, 0x00FF00, 0x0000FF, 0x030201}));
}

TEST(BmpDecode, SixteenAndThirtyTwoBitFields) {
    // Plain 16-bit is 5-5-5; a full component widens to 255, so white stays white.
    Bmp plain;
    plain.bits = 16, plain.width = 3;
    plain.pixels = {0xFF, 0x7F, 0x00, 0x7C, 0x10, 0x42, 0, 0};
    EXPECT_EQ(Decode(plain.Build()), (Px{W, R, plat::MapRGB(plat::FormatForBits(16), 0x84, 0x84, 0x84)}));
    for (int header : {40, 108, 124}) {
        Bmp f;
        f.headerBytes = header, f.bits = 16, f.compression = 3, f.width = 2;
        f.masks = {0xF800, 0x07E0, 0x001F};
        f.pixels = {0x1F, 0x00, 0xE0, 0x07};
        EXPECT_EQ(Decode(f.Build()), (Px{B, G})) << header;
    }
    Bmp f;  // blue on top, red at the bottom
    f.bits = 32, f.compression = 3;
    f.masks = {0x000000FF, 0x0000FF00, 0xFF000000};
    f.pixels = {0x12, 0x34, 0x00, 0x56};
    EXPECT_EQ(Decode(f.Build(), 32), (Px{0x123456}));
}

TEST(BmpDecode, PaletteDepths) {
    Bmp one;  // 9 pixels: the second byte holds the ninth
    one.bits = 1, one.width = 9;
    one.palette = {0, 0, 0, 0, 255, 255, 255, 0};
    one.pixels = {0xA5, 0x80, 0, 0};
    EXPECT_EQ(Decode(one.Build()), (Px{W, 0, W, 0, 0, W, 0, W, W}));

    Bmp four;  // a short palette of three colours
    four.bits = 4, four.width = 3, four.colorsUsed = 3;
    four.palette = {0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0};
    four.pixels = {0x12, 0x00, 0, 0};
    EXPECT_EQ(Decode(four.Build()), (Px{R, G, 0}));

    Bmp core;  // core header: 3-byte palette entries, 16-bit sizes
    core.headerBytes = 12, core.bits = 8, core.width = 2, core.height = 2;
    core.palette.assign(256 * 3, 0);
    core.palette[7 * 3] = 255;      // 7: blue
    core.palette[9 * 3 + 1] = 255;  // 9: green
    core.pixels = {7, 9, 0, 0, 9, 7, 0, 0};
    EXPECT_EQ(Decode(core.Build()), (Px{G, B, B, G}));
}

Bmp Rle8(Bytes codes) {
    Bmp m;
    m.bits = 8, m.compression = 1, m.width = 6, m.height = 3, m.colorsUsed = 4;
    m.palette = {0, 0, 64, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};  // dark red, red, green, blue
    m.pixels = std::move(codes);
    m.imageBytes = static_cast<std::uint32_t>(m.pixels.size());
    return m;
}

TEST(BmpDecode, RunLengthCodes) {
    // Bottom row: 3 reds, then literal green blue green (padded); end of
    // line; move right 2 and up 1; 2 blues; end. Skipped pixels keep entry 0.
    const std::uint32_t e = plat::MapRGB(plat::FormatForBits(16), 64, 0, 0);
    EXPECT_EQ(Decode(Rle8({3, 1, 0, 3, 2, 3, 2, 0, 0, 0, 0, 2, 2, 1, 2, 3, 0, 1}).Build()),
              (Px{e, e, B, B, e, e, e, e, e, e, e, e, R, R, R, G, B, G}));

    Bmp m;  // 4-bit: a run alternating 1, 2; a literal 3, 1, 2; end
    m.bits = 4, m.compression = 2, m.width = 7;
    m.palette.assign(16 * 4, 0);
    m.palette[1 * 4 + 2] = 255, m.palette[2 * 4 + 1] = 255, m.palette[3 * 4] = 255;
    m.pixels = {4, 0x12, 0, 3, 0x31, 0x20, 0, 1};
    EXPECT_EQ(Decode(m.Build()), (Px{R, G, R, G, B, R, G}));
}

TEST(BmpDecode, ColourKeyOfAColourEqualsItsDecodedPixel) {
    Bmp m;
    m.pixels = {0xFE, 0x47, 0x9B, 0};
    for (int bits : {15, 16, 24, 32})
        EXPECT_EQ(Decode(m.Build(), bits), (Px{plat::MapColorRef(plat::FormatForBits(bits), 0xFE479B)})) << bits;
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
    EXPECT_EQ(plat::GetPixel(*s, 0, 1), R);
    plat::DestroySurface(s);
    std::remove(path.c_str());
    EXPECT_EQ(plat::LoadBmpFile(path, plat::FormatForBits(16)), nullptr);
}

// ---- malformed files ----

void ExpectRefused(const Bytes& b, const char* what) { EXPECT_TRUE(Decode(b).empty()) << what; }

Bytes Patched(const Bmp& m, std::size_t at, std::uint32_t value, int bytes = 4) {
    Bytes b = m.Build();
    Put(b, at, value, bytes);
    return b;
}

TEST(BmpRefuse, EveryTruncation) {
    for (const Bmp& m : {TwoRows24(), Rle8({3, 1, 0, 0, 0, 1})}) {
        const Bytes full = m.Build();
        for (std::size_t n = 0; n < full.size(); ++n) {
            Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
            ExpectRefused(cut, "truncated");
            if (n >= 6) {  // and again with a file size that agrees with the cut
                Put(cut, 2, static_cast<std::uint32_t>(n));
                ExpectRefused(cut, "truncated, size patched");
            }
        }
    }
    EXPECT_EQ(plat::DecodeBmp(nullptr, 0, plat::FormatForBits(16)), nullptr);
}

TEST(BmpRefuse, HeadersThatLie) {
    const Bmp base = TwoRows24();
    ExpectRefused(Patched(base, 0, 'B' | 'A' << 8, 2), "magic");
    ExpectRefused(Patched(base, 2, 1000), "file size beyond the end");
    ExpectRefused(Patched(base, 10, 1000), "pixel offset beyond the end");
    ExpectRefused(Patched(base, 10, 20), "pixel offset inside the header");
    ExpectRefused(Patched(base, 10, 14 + 40 + 1), "pixel rows run past the end");
    ExpectRefused(Patched(base, 14, 64), "unknown header size");
    ExpectRefused(Patched(base, 14, 0xFFFFFFF0u), "header size beyond the end");
    ExpectRefused(Patched(base, 26, 2, 2), "planes");

    Bmp pal;
    pal.bits = 4, pal.colorsUsed = 17;
    pal.palette.assign(17 * 4, 0);
    pal.pixels = {0, 0, 0, 0};
    ExpectRefused(pal.Build(), "more colours than the depth holds");

    Bmp fields;
    fields.bits = 16, fields.compression = 3;
    fields.pixels = {0, 0, 0, 0};
    fields.masks = {0xF00F, 0x07E0, 0x001F};
    ExpectRefused(fields.Build(), "mask with a gap");
    fields.masks = {0x1F0000, 0x07E0, 0x001F};
    ExpectRefused(fields.Build(), "mask wider than the pixel");
}

TEST(BmpRefuse, SizesDepthsAndCompressions) {
    for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {-3, 2}, {16385, 1}, {1, 16385}, {1, -16385}, {1, INT32_MIN}}) {
        Bmp m;
        m.width = w, m.height = h;
        m.pixels.assign(70000, 0);  // enough data for the sizes that are refused
        ExpectRefused(m.Build(), "size");
    }
    for (int bits : {0, 2, 15, 48}) {
        Bmp m;
        m.bits = bits;
        m.pixels.assign(16, 0);
        ExpectRefused(m.Build(), "depth");
    }
    // JPEG, PNG, alpha fields, and compressions on the wrong depth.
    for (auto [bits, compression] : {std::pair{24, 4u}, {24, 5u}, {32, 6u}, {24, 1u}, {8, 2u}, {24, 3u}, {8, 3u}}) {
        Bmp m;
        m.bits = bits, m.compression = compression;
        m.palette.assign(bits <= 8 ? 256 * 4 : 0, 0);
        m.masks = {0xFF0000, 0xFF00, 0xFF};
        m.pixels.assign(16, 0);
        ExpectRefused(m.Build(), "compression");
    }
    Bmp topDown = Rle8({6, 1, 0, 1});
    topDown.height = -3;
    ExpectRefused(topDown.Build(), "top-down run-length");
}

TEST(BmpRefuse, PaletteIndexOutOfRange) {
    Bmp m;
    m.bits = 8, m.width = 2, m.colorsUsed = 2;
    m.palette.assign(2 * 4, 0);
    m.pixels = {1, 2, 0, 0};
    ExpectRefused(m.Build(), "uncompressed index");
    ExpectRefused(Rle8({2, 4, 0, 1}).Build(), "run index");
    ExpectRefused(Rle8({0, 3, 1, 9, 1, 0, 0, 1}).Build(), "literal index");
}

TEST(BmpDecode, RunLengthCodesPastARowAreCutAndPastTheTopEndThePicture) {
    const std::uint32_t e = plat::MapRGB(plat::FormatForBits(16), 64, 0, 0);
    // As encoders write 8-bit pictures whose rows are padded to a multiple
    // of four pixels: each 6-pixel row coded as one run of 8.
    EXPECT_EQ(Decode(Rle8({8, 1, 0, 0, 8, 2, 0, 0, 8, 3, 0, 1}).Build()),
              (Px{B, B, B, B, B, B, G, G, G, G, G, G, R, R, R, R, R, R}));
    // A literal past the row: its bytes are read, the rest of it is cut.
    EXPECT_EQ(Decode(Rle8({0, 7, 1, 2, 3, 1, 2, 3, 3, 0, 0, 0, 1, 2, 0, 1}).Build()),
              (Px{e, e, e, e, e, e, G, e, e, e, e, e, R, G, B, R, G, B}));
    // A move past the row: what follows on that row is cut.
    EXPECT_EQ(Decode(Rle8({0, 2, 7, 0, 2, 1, 0, 0, 1, 2, 0, 1}).Build()),
              (Px{e, e, e, e, e, e, G, e, e, e, e, e, e, e, e, e, e, e}));
    // Past the top row the picture ends; what was decoded stays.
    EXPECT_EQ(Decode(Rle8({1, 3, 0, 2, 0, 4, 1, 1, 0, 1}).Build()),
              (Px{e, e, e, e, e, e, e, e, e, e, e, e, B, e, e, e, e, e}));
    EXPECT_EQ(Decode(Rle8({0, 0, 0, 0, 0, 0, 1, 1, 0, 3, 1, 2, 3, 0}).Build()),
              (Px{e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e}));
    // A long row of runs far past the edge costs no work per cut pixel.
    Bytes far;
    for (int i = 0; i < 200000; ++i) far.insert(far.end(), {255, 1});
    far.insert(far.end(), {0, 1});
    EXPECT_EQ(Decode(Rle8(far).Build()).size(), 18u);
    ExpectRefused(Rle8({9, 7, 0, 1}).Build(), "run index, even past the row");
}

TEST(BmpRefuse, RunLengthCodesLeavingThePicture) {
    ExpectRefused(Rle8({3, 1, 0, 0}).Build(), "no end code");
    ExpectRefused(Rle8({3, 1, 0, 2, 1}).Build(), "move cut off");
    ExpectRefused(Rle8({0, 4, 1, 1, 1}).Build(), "literal cut off");
    Bmp m = Rle8({6, 1, 0, 1});
    m.imageBytes = 100;
    ExpectRefused(m.Build(), "compressed size past the file");
    // Four bytes of codes asking for a 16384 x 16384 picture get no gigabyte;
    // up to 2^22 pixels any picture is allowed, larger ones need their codes.
    Bmp huge = Rle8({0, 0, 0, 1});
    huge.width = huge.height = 16384;
    ExpectRefused(huge.Build(), "giant picture from a few codes");
    huge.width = 2048, huge.height = 2048;
    EXPECT_EQ(Decode(huge.Build()).size(), 2048u * 2048u);
    huge.width = 2049;
    ExpectRefused(huge.Build(), "just past the free size");
}

}  // namespace
