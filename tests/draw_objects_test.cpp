// Image objects: slot rules of the loaders, the failure messages, the load
// colour key and corner mode, and the per-object colour-key operations.
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
    const int slot = krDraw::LoadObject(picture.c_str(), 2);
    ASSERT_EQ(slot, 4);
    const krObjectRecord& r = krObjects[slot];
    ASSERT_NE(r.surface, nullptr);
    EXPECT_STREQ(r.name, picture.c_str());
    EXPECT_EQ(r.width, 6);
    EXPECT_EQ(r.height, 4);
    EXPECT_EQ(r.fromPack, 0);
    EXPECT_EQ(r.reloadMode, 2);
    EXPECT_EQ(r.key, 0);
    EXPECT_FALSE(r.surface->systemMemory);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) ASSERT_EQ(ObjectPixel(slot, x, y), GradientPixel(x, y));

    // Names may use either slash and any case; other modes use system memory.
    const std::string upper = "KR_DT/PIC.BMP";
    const int again = krDraw::LoadObject(upper.c_str(), 1);
    ASSERT_EQ(again, 5);
    EXPECT_TRUE(krObjects[again].surface->systemMemory);
    EXPECT_TRUE(plat::headless::Boxes().empty());
}

TEST_F(DrawObjects, NameLengthLimit) {
    // "kr_dt\" plus 24 characters: exactly 30.
    const std::string name30 = WriteGradient("abcdefghijklmnopqrst.bmp", 2, 2);
    ASSERT_EQ(name30.size(), 30u);
    EXPECT_EQ(krDraw::LoadObject(name30.c_str(), 2), 4);

    const std::string name31 = name30 + "x";
    EXPECT_EQ(krDraw::LoadObject(name31.c_str(), 2), 0);
    EXPECT_EQ(BoxTexts().back(), Box("krDraw::LoadObject", "ファイル名またはリソース名が長すぎます"));
    EXPECT_EQ(krObjects[5].name[0], '\0') << "refused before any slot is taken";
    EXPECT_EQ(krDraw::SwapObject(name31.c_str(), 4, 2), 0);
    EXPECT_EQ(BoxTexts().back(), Box("krDraw::SwapObject", "ファイル名またはリソース名が長すぎます"));
    EXPECT_NE(krObjects[4].surface, nullptr);
}

TEST_F(DrawObjects, SlotsRunOutAndAreReused) {
    for (int i = 0; i < 508; ++i) ASSERT_EQ(krDraw::LoadObject(picture.c_str(), 2), 4 + i);
    EXPECT_EQ(krDraw::LoadObject(picture.c_str(), 2), 0);
    EXPECT_EQ(BoxTexts().back(), Box("krDraw::LoadObject", "オブジェクト数が多過ぎます"));
    EXPECT_EQ(krDraw::CreateObject(4, 4, 2), 0);
    EXPECT_EQ(BoxTexts().back(), Box("krDraw::CreateObject", "オブジェクト数が多過ぎます"));

    krDraw::ReleaseObject(7);
    EXPECT_EQ(krObjects[7].surface, nullptr);
    EXPECT_EQ(krObjects[7].name[0], '\0');
    EXPECT_EQ(krDraw::LoadObject(picture.c_str(), 2), 7);
}

TEST_F(DrawObjects, FailedLoadKeepsItsSlot) {
    EXPECT_EQ(krDraw::LoadObject("kr_dt\\missing.bmp", 2), 0);
    EXPECT_EQ(BoxTexts().back(), Box("krDraw::LoadObject", "BMPファイルを読み込めません"));
    EXPECT_STREQ(krObjects[4].name, "kr_dt\\missing.bmp");
    EXPECT_EQ(krObjects[4].surface, nullptr);
    krDraw::ReleaseObject(4);
    EXPECT_STREQ(krObjects[4].name, "kr_dt\\missing.bmp") << "a slot without a surface is left alone";

    // A malformed file is refused the same way.
    std::FILE* f = std::fopen((FolderPath() / "bad.bmp").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("BM not a picture", f);
    std::fclose(f);
    EXPECT_EQ(krDraw::LoadObject("kr_dt\\bad.bmp", 2), 0);
    EXPECT_EQ(krObjects[5].surface, nullptr);
    EXPECT_EQ(krDraw::LoadObject(picture.c_str(), 2), 6);
}

TEST_F(DrawObjects, SwapReplacesThePictureInPlace) {
    const int slot = krDraw::LoadObject(picture.c_str(), 2);
    const std::string other = WritePicture("red.bmp", 3, 3, std::vector<std::uint32_t>(9, 0xFF0000));
    ASSERT_EQ(krDraw::SwapObject(other.c_str(), slot, 2), 1);
    EXPECT_EQ(krObjects[slot].width, 3);
    EXPECT_STREQ(krObjects[slot].name, other.c_str());
    EXPECT_EQ(ObjectPixel(slot, 2, 2), 0xF800u);
    ASSERT_EQ(krDraw::SwapObject(krObjects[slot].name, slot, 2), 1) << "its own name reloads it";
    EXPECT_STREQ(krObjects[slot].name, other.c_str());

    EXPECT_EQ(krDraw::SwapObject("kr_dt\\none.bmp", slot, 2), 0);
    EXPECT_EQ(BoxTexts().back(), Box("krDraw::SwapObject", "BMPファイルを読み込めません"));
    EXPECT_EQ(krObjects[slot].surface, nullptr);
    EXPECT_STREQ(krObjects[slot].name, "kr_dt\\none.bmp");
}

TEST_F(DrawObjects, CreateObject) {
    const int slot = krDraw::CreateObject(40, 30, 2);
    ASSERT_EQ(slot, 4);
    EXPECT_STREQ(krObjects[slot].name, "*");
    EXPECT_EQ(krObjects[slot].width, 40);
    EXPECT_EQ(krObjects[slot].surface->height, 30);

    EXPECT_EQ(krDraw::CreateObject(0, 30, 2), 0);
    EXPECT_EQ(BoxTexts().back(), Box("krDraw::CreateObject", "スプライトを作成できません"));
    EXPECT_STREQ(krObjects[5].name, "*") << "the slot stays taken";
}

TEST_F(DrawObjects, LoadKeyAndCornerMode) {
    // Pure black is the key; near black is not.
    const std::string dark = WritePicture("dark.bmp", 2, 1, {0x000000, 0x080808});
    const int black = krDraw::LoadObject(dark.c_str(), 2);
    EXPECT_EQ(krObjects[black].surface->colorKey, 0u);
    EXPECT_NE(ObjectPixel(black, 1, 0), 0u);

    // Corner mode: the top-left pixel's value, recorded as -1.
    const std::string magenta = WritePicture("mag.bmp", 2, 2, {0xFF00FF, 0x00FF00, 0xFF00FF, 0xFF00FE});
    krDraw::SetCornerColorKey();
    const int corner = krDraw::LoadObject(magenta.c_str(), 2);
    EXPECT_EQ(krObjects[corner].key, -1);
    EXPECT_EQ(krObjects[corner].surface->colorKey, 0xF81Fu);
    const int created = krDraw::CreateObject(2, 2, 2);
    EXPECT_EQ(krObjects[created].key, -1);

    // A colour turns corner mode off again.
    krDraw::SetColorKey(0x00FF00);  // 0x00BBGGRR green
    const int green = krDraw::LoadObject(magenta.c_str(), 2);
    EXPECT_EQ(krObjects[green].key, 0x00FF00);
    EXPECT_EQ(krObjects[green].surface->colorKey, 0x07E0u);
}

TEST_F(DrawObjects, ObjectKeyOperations) {
    const std::string pic = WritePicture("k.bmp", 2, 1, {0x123456, 0xFFFFFF});
    const int a = krDraw::LoadObject(pic.c_str(), 2);
    const int b = krDraw::LoadObject(pic.c_str(), 2);
    EXPECT_EQ(krDraw::SetObjectColorKey(a, 0xFFFFFF), plat::DD_OK);
    EXPECT_EQ(krObjects[a].key, 0xFFFFFF);
    EXPECT_EQ(krObjects[a].surface->colorKey, 0xFFFFu);

    EXPECT_EQ(krDraw::SetObjectCornerColorKey(b), plat::DD_OK);
    EXPECT_EQ(krObjects[b].key, -1);
    EXPECT_EQ(krObjects[b].surface->colorKey, ObjectPixel(b, 0, 0));

    // Copying a key leaves the destination's recorded key alone.
    EXPECT_EQ(krDraw::CopyColorKey(b, a), plat::DD_OK);
    EXPECT_EQ(krObjects[b].surface->colorKey, 0xFFFFu);
    EXPECT_EQ(krObjects[b].key, -1);

    EXPECT_NE(krDraw::SetObjectColorKey(300, 0), plat::DD_OK);
    EXPECT_NE(krDraw::CopyColorKey(a, -5), plat::DD_OK);
}

TEST_F(DrawObjects, TwentyFourBitKeys) {
    setenv("KR_DESKTOP_BITS", "24", 1);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    const std::string pic = WritePicture("k24.bmp", 2, 1, {0xA1B2C3, 0});
    const int black = krDraw::LoadObject(pic.c_str(), 2);
    EXPECT_EQ(krObjects[black].surface->colorKey, 0u);
    krDraw::SetCornerColorKey();
    const int corner = krDraw::LoadObject(pic.c_str(), 2);
    EXPECT_EQ(krObjects[corner].surface->colorKey, 0xA1B2C3u);
}

}  // namespace
