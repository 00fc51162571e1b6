// icongen: draws the game's desktop icon in the sizes a desktop looks for.
//
// Usage: icongen <outdir>. Writes <outdir>/<n>x<n>/apps/pokotanba.png for n =
// 32, 48, 64, 128 and 256, the layout of an icon theme folder.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/gen/icon.h"
#include "tools/operand_args.h"

int main(int argc, char** argv) {
    using namespace gen;
    setProgramName("icongen");
    std::string outdir;
    const int status = ReadOneOperand("icongen",
                                      "usage: icongen <outdir>\n\n"
                                      "Draws the game's icon as <outdir>/<n>x<n>/apps/pokotanba.png for n = 32, 48,\n"
                                      "64, 128 and 256, the layout of an icon theme folder.\n",
                                      "output folder", argc, argv, outdir);
    if (status >= 0) return status;
    namespace fs = std::filesystem;
    const RgbaImage master = gameIcon();
    for (int size : {32, 48, 64, 128, 256}) {
        const std::string side = std::to_string(size);
        const fs::path folder = fs::path(outdir) / (side + "x" + side) / "apps";
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) fail("cannot create " + folder.string());
        writePng(folder / "pokotanba.png", size == kIconMaster ? master : resized(master, size));
    }
    return 0;
}
