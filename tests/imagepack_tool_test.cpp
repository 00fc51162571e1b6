// The command-line pack tool: its packs are byte for byte the engine's
// converter's, its listing and extraction read them back, and every misuse
// ends with a message and a non-zero status.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "draw_fixture.h"
#include "platform/images/bmp.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class ImagePackTool : public DrawTest {
protected:
    struct Run {
        int status;
        std::string out;
    };

    // Runs the tool with the arguments (already quoted) and standard error
    // folded away; the exit status and standard output.
    static Run Tool(std::initializer_list<std::string> arguments) {
        std::string command = std::string("'") + KR_BINARY_DIR + "/imagepack'";
        for (const std::string& a : arguments) command.append(" ").append(a);
        command.append(" 2>/dev/null");
        Run run{-1, {}};
        std::FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return run;
        std::array<char, 256> chunk;
        while (std::fgets(chunk.data(), chunk.size(), pipe)) run.out += chunk.data();
        const int raw = pclose(pipe);
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return run;
    }

    // A path in the test's folder, quoted for the shell.
    static std::string In(const std::string& name) {
        return std::string("'").append((FolderPath() / name).string()).append("'");
    }

    static Bytes Read(const std::string& name) {
        std::ifstream in(FolderPath() / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // A folder of pictures with every kind of pixel the encoder tells apart.
    void WritePictures(const std::string& sub) {
        std::filesystem::create_directories(FolderPath() / sub);
        WritePicture(sub + "/b.bmp", 3, 2, {0x000000, 0x010203, 0x080808, 0xFFFFFF, 0x7F3FC0, 0x0000FF});
        WritePicture(sub + "/A.BMP", 1, 1, {0x123456});
        WritePicture(sub + "/Gradient.bmp", 17, 9, std::vector<std::uint32_t>(17 * 9, 0x00A0F0));
    }
};

TEST_F(ImagePackTool, PackEqualsTheConvertersByteForByte) {
    WritePictures("pics");
    ASSERT_EQ(Tool({"build", In("tool.pak"), In("pics")}).status, 0);
    setenv("KR_DESKTOP_BITS", "32", 1);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    ASSERT_EQ(krDraw::Convert((Folder() + "\\engine.pak").c_str(), (Folder() + "\\pics").c_str(), 1), 1);
    const Bytes engine = Read("engine.pak");
    ASSERT_FALSE(engine.empty());
    EXPECT_EQ(Read("tool.pak"), engine);

    // Appending doubles it, as the converter without delete-first does.
    ASSERT_EQ(Tool({"build", In("tool.pak"), In("pics"), "--append"}).status, 0);
    ASSERT_EQ(krDraw::Convert((Folder() + "\\engine.pak").c_str(), (Folder() + "\\pics").c_str(), 0), 1);
    EXPECT_EQ(Read("tool.pak"), Read("engine.pak"));
    EXPECT_EQ(Read("tool.pak").size(), 2 * engine.size());
}

TEST_F(ImagePackTool, ListsAndExtractsEntries) {
    WritePictures("pics");
    ASSERT_EQ(Tool({"build", In("p.pak"), In("pics")}).status, 0);
    const Run list = Tool({"list", In("p.pak")});
    ASSERT_EQ(list.status, 0);
    // A.BMP: 4 + 6 + 2 bytes; B.BMP: 4 + 6 + 12 bytes.
    EXPECT_EQ(list.out, "A.BMP\t1\t1\t0\nB.BMP\t3\t2\t12\nGRADIENT.BMP\t17\t9\t34\n");

    ASSERT_EQ(Tool({"extract", In("p.pak"), "b.Bmp", In("out.bmp")}).status, 0);
    plat::Surface* out = plat::LoadBmpFile((FolderPath() / "out.bmp").string(), plat::FormatForBits(32));
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(out->width, 3);
    ASSERT_EQ(out->height, 2);
    const std::uint32_t expected[] = {0x000000, 0x000008, 0x080808, 0xFFFFFF, 0x7B39C6, 0x0000FF};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(plat::GetPixel(*out, i % 3, i / 3), expected[i]) << i;
    plat::DestroySurface(out);
}

TEST_F(ImagePackTool, MisuseAndDamageFailWithAStatus) {
    EXPECT_EQ(Tool({"--help"}).status, 0);
    EXPECT_NE(Tool({"--help"}).out.find("usage: imagepack build"), std::string::npos);
    EXPECT_EQ(Tool({}).status, 1);
    EXPECT_EQ(Tool({"frobnicate", "x"}).status, 1);
    EXPECT_EQ(Tool({"build", In("p.pak")}).status, 1);
    EXPECT_EQ(Tool({"build", In("p.pak"), In("nowhere")}).status, 1);
    EXPECT_EQ(Tool({"list", In("none.pak")}).status, 1);

    // A picture the reader refuses is left out, and the run says so.
    WritePictures("pics");
    {
        std::ofstream junk(FolderPath() / "pics" / "junk.bmp", std::ios::binary);
        junk << "BMnot really";
    }
    EXPECT_EQ(Tool({"build", In("p.pak"), In("pics")}).status, 1);
    EXPECT_EQ(Tool({"list", In("p.pak")}).out.find("JUNK"), std::string::npos);
    EXPECT_EQ(Tool({"extract", In("p.pak"), "nothing.bmp", In("o.bmp")}).status, 1);

    // Cut short, or with stray bytes at the end: listing and extraction stop.
    Bytes bytes = Read("p.pak");
    bytes.resize(bytes.size() - 1);
    std::ofstream(FolderPath() / "cut.pak", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(Tool({"list", In("cut.pak")}).status, 1);
    EXPECT_EQ(Tool({"extract", In("cut.pak"), "gradient.bmp", In("o.bmp")}).status, 1);
    EXPECT_EQ(Tool({"extract", In("cut.pak"), "a.bmp", In("o.bmp")}).status, 0);
    const std::string unended("\x01\x00\x01\x00NAME", 8);  // a name without its zero
    std::ofstream(FolderPath() / "stray.pak", std::ios::binary) << unended;
    EXPECT_EQ(Tool({"list", In("stray.pak")}).status, 1);
}

// A picture with a two-byte name ("ソ" ends in the byte of '\\', "ホ" in
// that of 'z'): the tool stores it as the converter does, lists it in
// UTF-8 and extracts it by the name a user types.
TEST_F(ImagePackTool, JapaneseNamesBuildListAndExtract) {
    const std::string utf8 = reinterpret_cast<const char*>(u8"ソホ.bmp");
    std::filesystem::create_directories(FolderPath() / "jp");
    WritePicture("jp/" + utf8, 1, 1, {0xFF0000});
    ASSERT_EQ(Tool({"build", In("tool.pak"), In("jp")}).status, 0);
    setenv("KR_DESKTOP_BITS", "32", 1);
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    ASSERT_EQ(krDraw::Convert((Folder() + "\\engine.pak").c_str(), (Folder() + "\\jp").c_str(), 1), 1);
    const Bytes engine = Read("engine.pak");
    EXPECT_EQ(Read("tool.pak"), engine);
    const std::string cp932 = "ソホ.BMP";
    ASSERT_GE(engine.size(), 4 + cp932.size());
    EXPECT_EQ(std::string(engine.begin() + 4, engine.begin() + 4 + static_cast<long>(cp932.size())), cp932);

    EXPECT_EQ(Tool({"list", In("tool.pak")}).out, reinterpret_cast<const char*>(u8"ソホ.BMP\t1\t1\t0\n"));
    ASSERT_EQ(Tool({"extract", In("tool.pak"), "'" + utf8 + "'", In("out.bmp")}).status, 0);
    plat::Surface* out = plat::LoadBmpFile((FolderPath() / "out.bmp").string(), plat::FormatForBits(32));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(plat::GetPixel(*out, 0, 0), 0xFF0000u);
    plat::DestroySurface(out);
}

}  // namespace
