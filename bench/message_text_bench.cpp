// Speed of the message-text layout: krDraw::LayoutText of 259 bytes of
// Japanese text (129 two-byte characters and a full stop) in a 600 x 400 box
// with a 16-pixel Gothic face, on an 800 x 600 headless screen, against the
// font service's own word-wrapped box (krDraw::DrawTextBox) of the same
// text, font and box in the same run. Both report layouts/s. The smooth
// layout is measured too, without a peer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "draw/krDraw.h"
#include "platform/headless/headless.h"
#include "system/krSystem.h"

namespace {

void OpenScreen() {
    static const bool open = [] {
        plat::SetBackend(&plat::headless::Instance());
        krSystem::ProcessStart();
        krSystem::InitState();
        krSystemState.fullScreen = 0;  // windowed, as the game runs
        return krDraw::Screen(800, 600, 1) == 1;
    }();
    if (!open) std::fprintf(stderr, "the screen could not be set up\n");
}

// 259 bytes: two-byte characters and one closing ASCII full stop.
const std::string& Message() {
    static const std::string text = [] {
        const std::string sentence = "きょうは天気がよいので、森の小道を歩いて池のほとりまで行きました。";
        std::string t;
        while (t.size() < 258) t += sentence;
        t.resize(258);
        return t + ".";
    }();
    return text;
}

void BM_LayoutText(benchmark::State& state) {
    OpenScreen();
    if (Message().size() != 259) state.SkipWithError("the message is not 259 bytes");
    krDraw::SetFont(1, 16, 0, 0, 0, 0);
    krDraw::SetFontColor(0xFFFFFF, 0x400000, 1);
    for (auto _ : state) krDraw::LayoutText(100, 100, 700, 500, Message().c_str(), 0);
    krDraw::ReleaseFont();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LayoutText);

void BM_DrawTextBoxPeer(benchmark::State& state) {
    OpenScreen();
    krDraw::SetFont(1, 16, 0, 0, 0, 0);
    krDraw::SetFontColor(0xFFFFFF, 0x400000, 1);
    for (auto _ : state) krDraw::DrawTextBox(100, 100, 700, 500, Message().c_str(), 0);
    krDraw::ReleaseFont();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawTextBoxPeer);

void BM_LayoutSmoothText(benchmark::State& state) {
    OpenScreen();
    krDraw::SetSmoothFont(1, 16);
    krDraw::SetFontColor(0xFFFFFF, 0x400000, 1);
    for (auto _ : state) krDraw::LayoutSmoothText(100, 100, 700, 500, Message().c_str(), 0);
    krDraw::ReleaseSmoothFont();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LayoutSmoothText);

}  // namespace
