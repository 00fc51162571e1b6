// The message window: Japanese text laid out with line breaking inside a
// box and revealed glyph by glyph, in plain and in smooth text.
#include "draw/krDraw.h"
#include "platform/pixels/surface.h"
#include "platform/os/types.h"
#include "platform/text/cp932_literal.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"

namespace {

constexpr const char* kStory =
    u8"むかしむかし、森のはずれの丘に、まるい生きものたちが住んでいました。\n"
    u8"ある朝、風がふいて、木の葉がくるくるとまいあがりました。"
    u8"「きれいだね。」と、あかいのがいいました。"_cp932;

constexpr int kLeft = 60, kTop = 360, kRight = 740, kBottom = 560;
constexpr float kSecondsPerGlyph = 0.05f;
constexpr std::uint16_t kStyle = 6 | 0x100;  // six pixels of leading, a shadow

struct MessageScene {
    bool smooth = false;
    bool laidOut = false;
    bool done = false;
} message;

void EnterMessage() { message = MessageScene{}; }

void DrawWindow() {
    DrawBackdrop();
    krDraw::HalfFillRect(kLeft - 16, kTop - 16, kRight + 16, kBottom + 8, plat::MapRGB(krScreen.back->format, 0, 0, 48));
    const int l = kLeft - 16, t = kTop - 16, r = kRight + 16, b = kBottom + 8;
    krDraw::DrawLine(l, t, r, t, 0xC0E0F0, 2);
    krDraw::DrawLine(r, t, r, b, 0xC0E0F0, 2);
    krDraw::DrawLine(r, b, l, b, 0xC0E0F0, 2);
    krDraw::DrawLine(l, b, l, t, 0xC0E0F0, 2);
}

void LayOut() {
    if (message.smooth) {
        krDraw::SetSmoothFont(0, 22);
        krDraw::SetFontColor(0xFFFFFF, 0x402010, 1);
        krDraw::LayoutSmoothText(kLeft, kTop, kRight, kBottom, kStory, kStyle);
        krDraw::ReleaseSmoothFont();
    } else {
        krDraw::SetFont(0, 22, 0, 400, 0, 0);
        krDraw::SetFontColor(0xFFFFFF, 0x402010, 1);
        krDraw::LayoutText(kLeft, kTop, kRight, kBottom, kStory, kStyle);
        krDraw::ReleaseFont();
    }
    message.laidOut = true;
    message.done = false;
}

void FrameMessage() {
    if (ShowcasePressed('S')) {
        message.smooth = !message.smooth;
        message.laidOut = false;
    }
    if (ShowcasePressed(plat::VK_SPACE)) message.laidOut = false;
    DrawWindow();
    // The smooth layout blends its edges with the window already drawn.
    if (!message.laidOut) LayOut();
    Label(kLeft - 16, kTop - 40, message.smooth ? "LayoutSmoothText + RevealText (22 px Mincho, smoothed at double size)"
                                                : "LayoutText + RevealText (22 px Mincho)");
    message.done = krDraw::RevealText(kSecondsPerGlyph) == 1;
    if (message.done) Label(kRight - 40, kBottom - 12, u8"▼"_cp932);
}

}  // namespace

void AddMessageScenes(std::vector<ShowcaseScene>& scenes) {
    scenes.push_back({"message", "Message window", "S: plain/smooth   Space: again", &EnterMessage, &FrameMessage,
                      nullptr});
}
