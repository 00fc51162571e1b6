// Image pack files: the bytes the converter writes, lookups by name in any
// case, decoding into every display format, the swap into the caller's
// slot, the reload of a pack object after the display was lost, and packs
// that are damaged in every way a file can be.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "draw_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class DrawPacks : public DrawTest {
protected:
    void OpenScreen(int bits) {
        setenv("KR_DESKTOP_BITS", std::to_string(bits).c_str(), 1);
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    }

    static std::string PackName() { return Folder() + "\\t.pak"; }
    static std::string PackPath() { return (FolderPath() / "t.pak").string(); }

    static Bytes ReadPack() {
        std::ifstream in(PackPath(), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static void WritePack(const Bytes& bytes) {
        std::ofstream out(PackPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // One entry: the size words, the name and its zero, the pixel words.
    static Bytes Entry(int width, int height, const std::string& name, const std::vector<std::uint16_t>& words) {
        Bytes b = {static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(width >> 8),
                   static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(height >> 8)};
        for (char c : name) b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(0);
        for (std::uint16_t w : words) {
            b.push_back(static_cast<std::uint8_t>(w));
            b.push_back(static_cast<std::uint8_t>(w >> 8));
        }
        return b;
    }
    static Bytes Join(std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    }

    int Convert(bool deleteFirst, const std::string& folder = Folder()) {
        return krDraw::Convert(PackName().c_str(), folder.c_str(), deleteFirst ? 1 : 0);
    }
};

TEST_F(DrawPacks, ConverterWritesTheDocumentedBytes) {
    OpenScreen(32);
    WritePicture("x.bmp", 1, 1, {0x808080});
    WritePicture("Pair.BMP", 2, 1, {0x000000, 0x010203});
    WritePicture("grey.bmp", 1, 1, {0x080808});
    WritePicture("notes.txt", 1, 1, {0});  // not a picture of the folder
    ASSERT_EQ(Convert(true), 1);
    // Listed by upper-case name: GREY, PAIR, X.
    const Bytes expected = Join({Entry(1, 1, "GREY.BMP", {0x0421}), Entry(2, 1, "PAIR.BMP", {0x0000, 0x0001}),
                                 Entry(1, 1, "X.BMP", {0x4210})});
    EXPECT_EQ(ReadPack(), expected);
    EXPECT_EQ(Entry(1, 1, "X.BMP", {0}).size(), 12u);
    // Every loaded picture was released again.
    EXPECT_EQ(krDraw::CreateObject(1, 1, 2), 4);
}

TEST_F(DrawPacks, DeleteFirstRebuildsWhileAppendingDoublesAndTheFirstWins) {
    OpenScreen(24);
    WritePicture("a.bmp", 1, 1, {0xF80000});
    WritePicture("B.BMP", 1, 1, {0x0000F8});
    ASSERT_EQ(Convert(true), 1);
    const Bytes once = ReadPack();
    ASSERT_EQ(once.size(), 2 * 12u);
    ASSERT_EQ(Convert(true), 1);
    EXPECT_EQ(ReadPack(), once);
    ASSERT_EQ(Convert(false), 1);
    EXPECT_EQ(ReadPack(), Join({once, once}));

    // Entries sharing a name: the first in the file is read.
    WritePack(Join({Entry(1, 1, "A.BMP", {0x7C00}), Entry(1, 1, "A.BMP", {0x001F})}));
    krDraw::SetPackFile(PackName().c_str());
    const int slot = krDraw::LoadPack("a.Bmp", 2);
    ASSERT_EQ(slot, 4);
    EXPECT_EQ(ObjectPixel(slot, 0, 0), 0xFF0000u);
}

TEST_F(DrawPacks, EmptyFolderLeavesThePackAlone) {
    OpenScreen(32);
    std::filesystem::create_directories(FolderPath() / "empty");
    WritePack({1, 2, 3});
    EXPECT_EQ(Convert(false, Folder() + "\\empty"), 1);
    EXPECT_EQ(ReadPack(), (Bytes{1, 2, 3}));
    EXPECT_EQ(Convert(false, Folder() + "\\missing"), 1);
    EXPECT_EQ(ReadPack(), (Bytes{1, 2, 3}));
}

TEST_F(DrawPacks, ConverterNeedsAFullColourDisplay) {
    OpenScreen(16);
    WritePicture("a.bmp", 1, 1, {0xFFFFFF});
    EXPECT_EQ(Convert(true), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::Convert", "画面をフルカラーにして下さい"));
    EXPECT_FALSE(std::filesystem::exists(PackPath()));
}

TEST_F(DrawPacks, ConvertedPicturesReadBackInAnyCase) {
    OpenScreen(32);
    WritePicture("a.bmp", 2, 2, {0xF80000, 0x00F800, 0x0000F8, 0xF8F8F8});
    WritePicture("B.BMP", 1, 1, {0x000000});
    ASSERT_EQ(Convert(true), 1);
    krDraw::SetPackFile(PackName().c_str());
    const int a = krDraw::LoadPack("a.Bmp", 2);
    ASSERT_EQ(a, 4);
    EXPECT_EQ(ObjectPixel(a, 0, 0), 0xFF0000u);
    EXPECT_EQ(ObjectPixel(a, 1, 0), 0x00FF00u);
    EXPECT_EQ(ObjectPixel(a, 0, 1), 0x0000FFu);
    EXPECT_EQ(ObjectPixel(a, 1, 1), 0xFFFFFFu);
    const krObjectRecord& r = krObjects[a];
    EXPECT_STREQ(r.name, "A.BMP");
    EXPECT_EQ(r.fromPack, 1);
    EXPECT_EQ(r.reloadMode, 2);
    EXPECT_EQ(r.width, 2);
    EXPECT_EQ(r.height, 2);
    // The temporary object is gone: the next object takes the next slot.
    EXPECT_EQ(krDraw::LoadPack("b.bmp", 1), 5);
    EXPECT_EQ(krDraw::CreateObject(1, 1, 2), 6);
}

TEST_F(DrawPacks, WordsExpandIntoEveryDisplayFormat) {
    struct Case {
        int bits;
        std::uint32_t white, red, green, blue;
    };
    const Case cases[] = {{16, 0xFFDF, 0xF800, 0x07C0, 0x001F},
                          {15, 0x7FFF, 0x7C00, 0x03E0, 0x001F},
                          {24, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF},
                          {32, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF}};
    for (const Case& c : cases) {
        OpenScreen(c.bits);
        WritePack(Entry(5, 1, "P.BMP", {0x7FFF, 0x7C00, 0x03E0, 0x001F, 0xFFFF}));
        krDraw::SetPackFile(PackName().c_str());
        const int slot = krDraw::LoadPack("p.bmp", 2);
        ASSERT_EQ(slot, 4) << c.bits;
        EXPECT_EQ(ObjectPixel(slot, 0, 0), c.white) << c.bits;
        EXPECT_EQ(ObjectPixel(slot, 1, 0), c.red) << c.bits;
        EXPECT_EQ(ObjectPixel(slot, 2, 0), c.green) << c.bits;
        EXPECT_EQ(ObjectPixel(slot, 3, 0), c.blue) << c.bits;
        EXPECT_EQ(ObjectPixel(slot, 4, 0), c.white) << c.bits;  // bit 15 is not read
        krDraw::Release();
    }
}

TEST_F(DrawPacks, LoadedPicturesTakeTheLoadColourKey) {
    OpenScreen(16);
    WritePack(Entry(2, 1, "K.BMP", {0x0000, 0x7C00}));
    krDraw::SetPackFile(PackName().c_str());
    const int black = krDraw::LoadPack("K.BMP", 2);
    krDraw::FillRect(0, 0, 800, 600, 0x1234);
    krDraw::Blit(0, 0, black, 0, 0, 2, 1);
    EXPECT_EQ(BackPixel(0, 0), 0x1234u);
    EXPECT_EQ(BackPixel(1, 0), 0xF800u);
    EXPECT_EQ(krObjects[black].key, 0);
    krDraw::SetCornerColorKey();
    WritePack(Entry(2, 1, "K.BMP", {0x7C00, 0x0000}));
    const int corner = krDraw::LoadPack("K.BMP", 2);
    EXPECT_EQ(krObjects[corner].key, -1);
    krDraw::Blit(0, 0, corner, 0, 0, 2, 1);
    EXPECT_EQ(BackPixel(0, 0), 0x1234u);
    EXPECT_EQ(BackPixel(1, 0), 0u);
}

TEST_F(DrawPacks, SwapKeepsTheSlotAndRestoreReloadsFromThePack) {
    OpenScreen(16);
    WritePack(Join({Entry(1, 1, "ONE.BMP", {0x7C00}), Entry(2, 2, "TWO.BMP", {0x001F, 0x001F, 0x03E0, 0x03E0})}));
    krDraw::SetPackFile(PackName().c_str());
    const int slot = krDraw::LoadObject(WriteGradient("g.bmp", 4, 4).c_str(), 2);
    ASSERT_EQ(krDraw::SwapPack("two.bmp", slot, 2), slot);
    EXPECT_STREQ(krObjects[slot].name, "TWO.BMP");
    EXPECT_EQ(krObjects[slot].fromPack, 1);
    EXPECT_EQ(krObjects[slot].width, 2);
    EXPECT_EQ(ObjectPixel(slot, 0, 1), 0x07C0u);
    const int one = krDraw::LoadPack("ONE.BMP", 2);

    // The display is lost: the next copy restores it and both pack
    // pictures come back into their own slots.
    plat::MarkAllSurfacesLost();
    krDraw::Blit(0, 0, one, 0, 0, 1, 1);
    EXPECT_EQ(ObjectPixel(one, 0, 0), 0xF800u);
    EXPECT_EQ(ObjectPixel(slot, 0, 0), 0x001Fu);
    EXPECT_EQ(ObjectPixel(slot, 1, 1), 0x07C0u);
    EXPECT_EQ(krObjects[slot].fromPack, 1);
    EXPECT_STREQ(krObjects[one].name, "ONE.BMP");
    // No temporary object was left behind.
    EXPECT_EQ(krDraw::CreateObject(1, 1, 2), one + 1);

    // Slots the caller cannot own are refused without touching the pack.
    EXPECT_EQ(krDraw::SwapPack("ONE.BMP", 512, 2), 0);
    EXPECT_EQ(krDraw::SwapPack("ONE.BMP", -1, 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::SwapPack", "BMPファイルを読み込めません"));
    // A free slot is taken as SwapObject would.
    EXPECT_EQ(krDraw::SwapPack("ONE.BMP", 300, 2), 300);
    EXPECT_EQ(ObjectPixel(300, 0, 0), 0xF800u);
}

TEST_F(DrawPacks, MissingPackOrEntryIsReported) {
    OpenScreen(16);
    EXPECT_EQ(krDraw::LoadPack("A.BMP", 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::LoadPack", "パックファイル名が指定されていません"));
    krDraw::SetPackFile((Folder() + "\\none.pak").c_str());
    EXPECT_EQ(krDraw::LoadPack("A.BMP", 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::LoadPack", "パックファイル名が指定されていません"));
    WritePack(Entry(1, 1, "A.BMP", {1}));
    krDraw::SetPackFile(PackName().c_str());
    EXPECT_EQ(krDraw::LoadPack("B.BMP", 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::LoadPack", "BMPファイルを読み込めません"));
    EXPECT_EQ(krDraw::LoadPack("A.BM", 2), 0);  // names match whole
    EXPECT_EQ(krDraw::LoadPack("ABCDEFGHIJKLMNOPQRSTUVWXYZ12345", 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::LoadPack", "ファイル名またはリソース名が長すぎます"));
    // A name that leaves only the program's folder opens no pack.
    krDraw::SetPackFile("");
    EXPECT_EQ(krDraw::LoadPack("A.BMP", 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::LoadPack", "パックファイル名が指定されていません"));
    // A pack path longer than 255 characters is no pack name.
    krDraw::SetPackFile(std::string(300, 'p').c_str());
    EXPECT_EQ(krDraw::LoadPack("A.BMP", 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::LoadPack", "パックファイル名が指定されていません"));
    // Nothing was taken on the way.
    EXPECT_EQ(krDraw::CreateObject(1, 1, 2), 4);
}

TEST_F(DrawPacks, DamagedPacksStopTheLookupCleanly) {
    OpenScreen(16);
    krDraw::SetPackFile(PackName().c_str());
    const Bytes good = Entry(1, 1, "G.BMP", {0x7C00});
    auto load = [](const char* name) { return krDraw::LoadPack(name, 2); };

    // The entry asked for runs past the end of the file.
    Bytes cut = Entry(2, 2, "C.BMP", {1, 2, 3, 4});
    cut.resize(cut.size() - 1);
    WritePack(Join({good, cut}));
    EXPECT_EQ(load("C.BMP"), 0);
    EXPECT_EQ(load("G.BMP"), 4);
    krDraw::ReleaseObject(4);

    // An entry claiming 65535 x 65535 pixels ends the walk without a read
    // or an allocation of that size; what lies before it is still found.
    WritePack(Join({good, Entry(65535, 65535, "HUGE.BMP", {}), good}));
    EXPECT_EQ(load("HUGE.BMP"), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::LoadPack", "BMPファイルを読み込めません"));
    EXPECT_EQ(load("X.BMP"), 0);

    // A name that never ends, or goes on past 255 bytes.
    Bytes endless = {1, 0, 1, 0, 'N', 'O', 'E', 'N', 'D'};
    WritePack(Join({good, endless}));
    EXPECT_EQ(load("NOEND"), 0);
    WritePack(Join({Entry(1, 1, std::string(256, 'L'), {1}), good}));
    EXPECT_EQ(load("G.BMP"), 0);
    WritePack(Join({Entry(1, 1, std::string(255, 'L'), {1}), good}));
    EXPECT_EQ(load("G.BMP"), 4);
    krDraw::ReleaseObject(4);

    // An entry of 0 x 0 takes no bytes to pass and yields no picture: no
    // object can be made of it.
    WritePack(Join({Entry(0, 0, "ZERO.BMP", {}), Entry(0, 7, "FLAT.BMP", {}), good}));
    EXPECT_EQ(load("ZERO.BMP"), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::CreateObject", "スプライトを作成できません"));
    EXPECT_EQ(load("FLAT.BMP"), 0);
    EXPECT_EQ(load("G.BMP"), 4);
    krDraw::ReleaseObject(4);

    // Wider than any surface: refused before any slot is taken, with the
    // object maker's own report.
    Bytes wide = Entry(20000, 1, "W.BMP", std::vector<std::uint16_t>(20000, 1));
    WritePack(wide);
    EXPECT_EQ(load("W.BMP"), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::CreateObject", "スプライトを作成できません"));

    // A few stray bytes after the last entry, and an empty file.
    WritePack(Join({good, Bytes{7, 0, 9}}));
    EXPECT_EQ(load("G.BMP"), 4);
    krDraw::ReleaseObject(4);
    WritePack({});
    EXPECT_EQ(load("G.BMP"), 0);
    EXPECT_EQ(krDraw::CreateObject(1, 1, 2), 4);
}

// Beyond 16 bits each 5-bit value repeats its top bits below itself: every
// level keeps its place between black and full 255.
TEST_F(DrawPacks, DeepDisplaysWidenEveryLevelByItsTopBits) {
    for (int bits : {24, 32}) {
        OpenScreen(bits);
        std::vector<std::uint16_t> levels;
        for (std::uint16_t v = 0; v < 32; ++v) levels.push_back(static_cast<std::uint16_t>(v << 10 | v << 5 | v));
        WritePack(Entry(32, 1, "L.BMP", levels));
        krDraw::SetPackFile(PackName().c_str());
        const int slot = krDraw::LoadPack("L.BMP", 2);
        ASSERT_EQ(slot, 4);
        for (std::uint32_t v = 0; v < 32; ++v) {
            const std::uint32_t byte = v << 3 | v >> 2;
            EXPECT_EQ(ObjectPixel(slot, static_cast<int>(v), 0), byte << 16 | byte << 8 | byte) << bits << " " << v;
        }
        krDraw::Release();
    }
}

// A load key made of a full 8-bit colour keys the same picture whether it
// came from a BMP file or from a pack; pure red (0x000000FF) reads
// differently in the two byte orders, so a swapped key would show.
TEST_F(DrawPacks, PackPicturesMeetKeysOfEightBitColours) {
    for (int bits : {24, 32}) {
        for (std::uint32_t gdiKey : {0xFF00FFu, 0x0000FFu}) {
            OpenScreen(bits);
            krDraw::SetColorKey(gdiKey);
            // The key colour, then magenta or red (whichever is not the key),
            // then blue: the key's mirror image.
            WritePack(Entry(3, 1, "K.BMP", {0x7C1F, 0x7C00, 0x001F}));
            krDraw::SetPackFile(PackName().c_str());
            const int fromPack = krDraw::LoadPack("K.BMP", 2);
            ASSERT_EQ(fromPack, 4);
            krDraw::FillRect(0, 0, 800, 600, 0x3456);  // fills take 16-bit values
            krDraw::Blit(0, 0, fromPack, 0, 0, 3, 1);
            const bool magenta = gdiKey == 0xFF00FF;
            EXPECT_EQ(BackPixel(0, 0), magenta ? 0x3456u : 0xFF00FFu) << bits;
            EXPECT_EQ(BackPixel(1, 0), magenta ? 0xFF0000u : 0x3456u) << bits;
            EXPECT_EQ(BackPixel(2, 0), 0x0000FFu) << bits;
            krDraw::Release();
        }
    }
}

// Entries are passed by width x height words, so the entry asked for is
// found behind pictures that are wider than tall and taller than wide.
TEST_F(DrawPacks, EntriesBehindNonSquareOnesAreFound) {
    OpenScreen(16);
    WritePack(Join({Entry(3, 1, "WIDE.BMP", {1, 2, 3}), Entry(1, 3, "TALL.BMP", {4, 5, 6}),
                    Entry(2, 1, "LAST.BMP", {0x7C00, 0x001F})}));
    krDraw::SetPackFile(PackName().c_str());
    const int last = krDraw::LoadPack("last.bmp", 2);
    ASSERT_EQ(last, 4);
    EXPECT_EQ(krObjects[last].width, 2);
    EXPECT_EQ(ObjectPixel(last, 0, 0), 0xF800u);
    EXPECT_EQ(ObjectPixel(last, 1, 0), 0x001Fu);
    const int tall = krDraw::LoadPack("TALL.BMP", 2);
    ASSERT_EQ(tall, 5);
    EXPECT_EQ(ObjectPixel(tall, 0, 2), 6u);
}

// Two-byte names: "ソ" ends in the byte of '\' and "ホ" in that of 'z', so
// a name cut at a backslash or upper-cased byte by byte would show.
TEST_F(DrawPacks, JapaneseNamesGoInAndComeBackWhole) {
    OpenScreen(32);
    WritePicture(reinterpret_cast<const char*>(u8"ソホ.bmp"), 1, 1, {0xFF0000});
    WritePicture("z.bmp", 1, 1, {0x0000FF});
    ASSERT_EQ(Convert(true), 1);
    const std::string name = "ソホ.BMP";  // code page 932 bytes
    ASSERT_EQ(name, "\x83\x5C\x83\x7A.BMP");
    EXPECT_EQ(ReadPack(), Join({Entry(1, 1, "Z.BMP", {0x001F}), Entry(1, 1, name, {0x7C00})}));
    krDraw::SetPackFile(PackName().c_str());
    const int slot = krDraw::LoadPack("ソホ.bmp", 2);
    ASSERT_EQ(slot, 4);
    EXPECT_EQ(ObjectPixel(slot, 0, 0), 0xFF0000u);
    EXPECT_STREQ(krObjects[slot].name, name.c_str());
    // Only the Latin letters change case: "ゾ" (83 5D) is not "ソ".
    EXPECT_EQ(krDraw::LoadPack("ゾホ.bmp", 2), 0);
}

}  // namespace
