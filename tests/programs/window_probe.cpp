// kr_window_probe: a kit game for the window tests. It asks for a window of
// one size and draws a screen of another: green, with a red 2 x 2 mark at
// the top-left corner and a blue one at the bottom-right, so that a picture
// of the window shows where the screen went and at what scale.
//
// Usage: kr_window_probe <window width> <window height> <screen width>
//        <screen height> [<icon.bmp>]. Escape ends it.
#include <cstdio>
#include <cstdlib>

#include "draw/krDraw.h"
#include "platform/sdl/sdl_backend.h"
#include "system/krSystem.h"

namespace {

int screenWidth = 0, screenHeight = 0;

void ProbeStartup() {
    if (krDraw::Screen(screenWidth, screenHeight, 1) != 1) return;
    krSystemState.scene = 1;
}

void ProbeFrame() {
    plat::Surface* back = krScreen.back;
    plat::FillRect(back, nullptr, 0x07E0u);
    const plat::Rect first{0, 0, 2, 2}, last{back->width - 2, back->height - 2, back->width, back->height};
    plat::FillRect(back, &first, 0xF800u);
    plat::FillRect(back, &last, 0x001Fu);
    krDraw::Present();
}

int Side(const char* text) {
    const int value = std::atoi(text);
    return value > 0 && value <= 4096 ? value : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: kr_window_probe <window w> <window h> <screen w> <screen h> [<icon.bmp>]\n");
        return 2;
    }
    krGameSteps steps{&ProbeStartup, &ProbeFrame, "kr window probe"};
    steps.windowWidth = Side(argv[1]);
    steps.windowHeight = Side(argv[2]);
    screenWidth = Side(argv[3]);
    screenHeight = Side(argv[4]);
    if (argc == 6) steps.icon = argv[5];
    if (screenWidth == 0 || screenHeight == 0) return 2;
    plat::SetBackend(&plat::sdl::Instance());
    krSystem::SetGameSteps(steps);
    char* programOnly[] = {argv[0], nullptr};
    return krSystem::Main(1, programOnly);
}
