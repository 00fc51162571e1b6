// Image objects: the loaders' slot rules and messages, the load colour key
// and corner mode, and the per-object colour-key operations.
#include <string>
#include <vector>

#include "draw_fixture.h"

namespace {

class DrawObjects : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
        picture = WriteGradient("pic.bmp", 6, 4);
    }
    std::string picture;
};

TEST_F(DrawObjects, LoadFillsTheRecord) {
    ASSERT_EQ(krDraw::LoadObject(picture.c_str(), 2), 4);
    const krObjectRecord& r = krObjects[4];
    EXPECT_STREQ(r.name, picture.c_str());
    EXPECT_EQ(r.width * 10 + r.height, 64);
    EXPECT_EQ(r.fromPack * 10 + r.reloadMode, 2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) ASSERT_EQ(ObjectPixel(4, x, y), GradientPixel(x, y));
    EXPECT_FALSE(r.surface->systemMemory);
    // Either slash and any case find the file; other modes use system memory.
    ASSERT_EQ(krDraw::LoadObject((ToUpper(Folder()) + "/PIC.BMP").c_str(), 1), 5);
    EXPECT_TRUE(krObjects[5].surface->systemMemory);
    EXPECT_TRUE(plat::headless::Boxes().empty());
}

TEST_F(DrawObjects, SlotRulesAndMessages) {
    const std::string name30 = WriteGradient("abcdefghijklmnopqrst.bmp", 2, 2);  // folder, "\\" and 24
    ASSERT_EQ(name30.size(), 30u);
    EXPECT_EQ(krDraw::LoadObject(name30.c_str(), 2), 4);
    EXPECT_EQ(krDraw::LoadObject((name30 + "x").c_str(), 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::LoadObject", "ファイル名またはリソース名が長すぎます"));
    EXPECT_EQ(krObjects[5].name[0], '\0') << "refused before a slot is taken";

    // A missing or malformed file keeps its slot taken, and release leaves it.
    EXPECT_EQ(krDraw::LoadObject((Folder() + "\\missing.bmp").c_str(), 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::LoadObject", "BMPファイルを読み込めません"));
    krDraw::ReleaseObject(5);
    EXPECT_STREQ(krObjects[5].name, (Folder() + "\\missing.bmp").c_str());
    std::FILE* f = std::fopen((FolderPath() / "bad.bmp").string().c_str(), "wb");
    std::fputs("BM not a picture", f);
    std::fclose(f);
    EXPECT_EQ(krDraw::LoadObject((Folder() + "\\bad.bmp").c_str(), 2), 0);
    EXPECT_EQ(krObjects[6].surface, nullptr);

    for (int slot = 7; slot < 512; ++slot) ASSERT_EQ(krDraw::LoadObject(picture.c_str(), 2), slot);
    EXPECT_EQ(krDraw::LoadObject(picture.c_str(), 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::LoadObject", "オブジェクト数が多過ぎます"));
    EXPECT_EQ(krDraw::CreateObject(4, 4, 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::CreateObject", "オブジェクト数が多過ぎます"));
    krDraw::ReleaseObject(9);
    EXPECT_TRUE(krObjects[9].surface == nullptr && krObjects[9].name[0] == '\0');
    EXPECT_EQ(krDraw::LoadObject(picture.c_str(), 2), 9) << "the lowest free slot first";
}

TEST_F(DrawObjects, SwapAndCreate) {
    const int slot = krDraw::LoadObject(picture.c_str(), 2);
    const std::string red = WritePicture("red.bmp", 3, 3, std::vector<std::uint32_t>(9, 0xFF0000));
    ASSERT_EQ(krDraw::SwapObject(red.c_str(), slot, 2), 1);
    EXPECT_EQ(krObjects[slot].width, 3);
    EXPECT_EQ(ObjectPixel(slot, 2, 2), 0xF800u);
    ASSERT_EQ(krDraw::SwapObject(krObjects[slot].name, slot, 2), 1) << "its own name reloads it";
    EXPECT_STREQ(krObjects[slot].name, red.c_str());
    EXPECT_EQ(krDraw::SwapObject((Folder() + "\\none.bmp").c_str(), slot, 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::SwapObject", "BMPファイルを読み込めません"));
    EXPECT_EQ(krObjects[slot].surface, nullptr);
    EXPECT_EQ(krDraw::SwapObject((Folder() + "\\abcdefghijklmnopqrstuvwxyz").c_str(), slot, 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::SwapObject", "ファイル名またはリソース名が長すぎます"));

    const int made = krDraw::CreateObject(40, 30, 2);
    EXPECT_STREQ(krObjects[made].name, "*");
    EXPECT_EQ(krObjects[made].surface->width * 100 + krObjects[made].height, 4030);
    EXPECT_EQ(krDraw::CreateObject(0, 30, 2), 0);
    EXPECT_EQ(LastBox(), Box("krDraw::CreateObject", "スプライトを作成できません"));
    EXPECT_STREQ(krObjects[made + 1].name, "*") << "the slot stays taken";
}

TEST_F(DrawObjects, LoadKeyAndCornerMode) {
    // Black is the key; near black is not.
    const int dark = krDraw::LoadObject(WritePicture("dark.bmp", 2, 1, {0x000000, 0x080808}).c_str(), 2);
    EXPECT_EQ(krObjects[dark].surface->colorKey, 0u);
    EXPECT_NE(ObjectPixel(dark, 1, 0), 0u);

    const std::string magenta = WritePicture("mag.bmp", 2, 2, {0xFF00FF, 0x00FF00, 0xFF00FF, 0xFF00FE});
    krDraw::SetCornerColorKey();
    const int corner = krDraw::LoadObject(magenta.c_str(), 2);
    EXPECT_EQ(krObjects[corner].key, -1);
    EXPECT_EQ(krObjects[corner].surface->colorKey, 0xF81Fu);
    EXPECT_EQ(krObjects[krDraw::CreateObject(2, 2, 2)].key, -1);

    krDraw::SetColorKey(0x00FF00);  // a colour turns corner mode off
    const int green = krDraw::LoadObject(magenta.c_str(), 2);
    EXPECT_EQ(krObjects[green].key, 0x00FF00);
    EXPECT_EQ(krObjects[green].surface->colorKey, 0x07E0u);
}

TEST_F(DrawObjects, ObjectKeyOperations) {
    const std::string pic = WritePicture("k.bmp", 2, 1, {0x123456, 0xFFFFFF});
    const int a = krDraw::LoadObject(pic.c_str(), 2), b = krDraw::LoadObject(pic.c_str(), 2);
    EXPECT_EQ(krDraw::SetObjectColorKey(a, 0xFFFFFF), plat::DD_OK);
    EXPECT_EQ(krObjects[a].key, 0xFFFFFF);
    EXPECT_EQ(krObjects[a].surface->colorKey, 0xFFFFu);
    EXPECT_EQ(krDraw::SetObjectCornerColorKey(b), plat::DD_OK);
    EXPECT_EQ(krObjects[b].key, -1);
    EXPECT_EQ(krObjects[b].surface->colorKey, ObjectPixel(b, 0, 0));
    EXPECT_EQ(krDraw::CopyColorKey(b, a), plat::DD_OK);
    EXPECT_EQ(krObjects[b].surface->colorKey, 0xFFFFu);
    EXPECT_EQ(krObjects[b].key, -1) << "the recorded key is not copied";
    EXPECT_NE(krDraw::SetObjectColorKey(300, 0), plat::DD_OK);
    EXPECT_NE(krDraw::CopyColorKey(a, -5), plat::DD_OK);
}

TEST_F(DrawObjects, TwentyFourBitKeys) {
    setenv("KR_DESKTOP_BITS", "24", 1);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    const std::string pic = WritePicture("k24.bmp", 2, 1, {0xA1B2C3, 0});
    EXPECT_EQ(krObjects[krDraw::LoadObject(pic.c_str(), 2)].surface->colorKey, 0u);
    krDraw::SetCornerColorKey();
    EXPECT_EQ(krObjects[krDraw::LoadObject(pic.c_str(), 2)].surface->colorKey, 0xA1B2C3u);
}

}  // namespace
