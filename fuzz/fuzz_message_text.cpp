// libFuzzer harness of the message-text layout: any bytes, taken as a text
// in code page 932, are laid out by the plain or the smooth layout in a box
// and revealed on the back screen. The first bytes pick the layout, the
// box, the style word and the font height; the rest is the text. Every
// glyph rectangle must stay inside the list, and the reveal must finish.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "draw/krDraw.h"
#include "platform/headless/headless.h"
#include "platform/os/backend.h"
#include "system/krSystem.h"

namespace {

constexpr std::size_t kHeaderBytes = 8;

// A coordinate within a little past the 800 x 600 screen on every side.
int Coordinate(std::uint8_t byte, int span) { return byte * (span + 200) / 255 - 100; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    plat::SetBackend(&plat::headless::Instance());
    plat::headless::Reset();
    krSystem::ProcessStart();
    krSystem::InitState();
    krSystemState.fullScreen = 0;
    krSystemState.frameTime = 1.0f / 60;
    if (krDraw::Screen(800, 600, 1) != 1) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderBytes) return 0;
    const bool smooth = data[0] & 1;
    const int height = 1 + (data[0] >> 1) % 48;
    const int x = Coordinate(data[1], 800), y = Coordinate(data[2], 600);
    const int right = Coordinate(data[3], 800), bottom = Coordinate(data[4], 600);
    const auto style = static_cast<std::uint16_t>(data[5] | (data[6] << 8));
    const int kind = data[7] & 1;
    // The layout reads a NUL-terminated text: stop at the first NUL byte.
    const std::string text(reinterpret_cast<const char*>(data + kHeaderBytes), size - kHeaderBytes);

    krDraw::messageText.count = 0;
    krDraw::messageText.revealCounter = 0;
    if (smooth) {
        krDraw::SetSmoothFont(kind, height);
        krDraw::SetFontColor(0xFFFFFF, 0x404040, 1);
        krDraw::LayoutSmoothText(x, y, right, bottom, text.c_str(), style);
    } else {
        krDraw::SetFont(kind, height, 0, 0, 0, 0);
        krDraw::SetFontColor(0xFFFFFF, 0x404040, 1);
        krDraw::LayoutText(x, y, right, bottom, text.c_str(), style);
    }
    const int count = krDraw::messageText.count;
    if (count < 1 || count > krDraw::kGlyphListSize) std::abort();
    // Each glyph of the text is at most one rectangle.
    if (static_cast<std::size_t>(count - 1) > std::strlen(text.c_str())) std::abort();
    if (krDraw::RevealText(0.0f) != 1) std::abort();
    if (smooth)
        krDraw::ReleaseSmoothFont();
    else
        krDraw::ReleaseFont();
    return 0;
}
