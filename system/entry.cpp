// Program entry, the main window and the message loop with its frame work.
// The game supplies its start-up step and frame through krSystem::SetGameSteps.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "draw/krDraw.h"
#include "platform/images/bmp.h"
#include "platform/os/window.h"
#include "platform/os/notice.h"
#include "platform/text/cp932_literal.h"
#include "platform/os/window_placement.h"
#include "platform/text/cp932.h"
#include "system/krSystem.h"
#include "platform/os/random.h"

krSystemStateRecord krSystemState;

namespace {

krGameSteps gameSteps;

constexpr const char* kTitle = u8"ポコタンバ！"_cp932;
constexpr char kWindowClass[] = "DEFAULT";
constexpr std::uint32_t kClassStyle = 0x0B;          // vertical and horizontal redraw, double clicks
constexpr std::uint32_t kWindowStyle = 0x00CA0000u;  // caption, system menu, minimise box
constexpr int kDefaultClientWidth = 800;
constexpr int kDefaultClientHeight = 600;
constexpr int kLargestClientSide = 16384;
constexpr int kLargestIconSide = 256;

// Copies the command line, cut to 255 bytes without splitting a two-byte
// character.
void CopyCommandLine(const char* commandLine) {
    const char* text = commandLine ? commandLine : "";
    const std::size_t room = sizeof krSystemState.commandLine - 1;
    std::size_t length = 0;
    while (text[length] != '\0') {
        const bool pair = plat::IsLeadByte(static_cast<unsigned char>(text[length])) && text[length + 1] != '\0';
        const std::size_t step = pair ? 2 : 1;
        if (length + step > room) break;
        length += step;
    }
    std::memcpy(krSystemState.commandLine, text, length);
    krSystemState.commandLine[length] = '\0';
}

// One argument as the original platform's command line shows it: quoted
// when it is empty or holds a blank or a quote, a quote inside written as
// \" and the backslashes before a quote doubled, so that the text splits
// back into the same arguments.
std::string QuotedArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        const char c = argument[i];
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
        // The second byte of a two-byte character may be 0x5C: it is no backslash.
        if (plat::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < argument.size()) out += argument[++i];
    }
    out.append(2 * backslashes, '\\');
    return out + '"';
}

// The client size the game asked for; a side it left at 0 (or set beyond
// reason) keeps the default.
int ClientWidth() {
    const int w = gameSteps.windowWidth;
    return w > 0 && w <= kLargestClientSide ? w : kDefaultClientWidth;
}

int ClientHeight() {
    const int h = gameSteps.windowHeight;
    return h > 0 && h <= kLargestClientSide ? h : kDefaultClientHeight;
}

// Creates the captioned window centred on the desktop. A desktop that
// reports no size yet leaves the centring to the window system.
plat::HWND CreateGameWindow() {
    using namespace plat;
    int width = ClientWidth() + GetSystemMetrics(SM_CXBORDER) + GetSystemMetrics(SM_CXEDGE) +
                GetSystemMetrics(SM_CXDLGFRAME);
    int height = ClientHeight() + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYEDGE) +
                 GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYDLGFRAME);
    const Rect desktop{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const Point origin = CentredOrigin(desktop, width, height);
    return CreateMainWindow(kWindowClass, krSystem::WindowTitle(), kWindowStyle, origin.x, origin.y, width, height);
}

// The game's icon picture, its top-left colour transparent. A picture that
// cannot be read leaves the window without one and says so.
void SetGameIcon() {
    if (gameSteps.icon == nullptr || gameSteps.icon[0] == '\0') return;
    const bool absolute = gameSteps.icon[0] == '/';
    const std::string path =
        plat::ResolvePath(absolute ? gameSteps.icon : std::string(krSystem::GetBaseFolder(0)) + gameSteps.icon);
    plat::Surface* picture = plat::LoadBmpFile(path, plat::FormatForBits(32));
    // Icons are small; a huge picture would only cost memory in the window system.
    if (picture != nullptr && (picture->width > kLargestIconSide || picture->height > kLargestIconSide)) {
        plat::DestroySurface(picture);
        picture = nullptr;
    }
    if (picture == nullptr) {
        const std::string program = plat::ProgramPath();
        std::fprintf(stderr, "%s: cannot use the window icon '%s' (a BMP picture of at most %d x %d pixels)\n",
                     program.substr(program.find_last_of('/') + 1).c_str(), path.c_str(), kLargestIconSide,
                     kLargestIconSide);
        return;
    }
    plat::SetWindowIcon(krSystemState.mainWindow, *picture);
    plat::DestroySurface(picture);
}

void ShowGameWindow(int showCommand) {
    plat::HWND hwnd = krSystemState.mainWindow;
    plat::ShowWindow(hwnd, (krSystemState.startupFlags & 4) ? plat::SW_HIDE : showCommand);
    plat::UpdateWindow(hwnd);
    if (krSystemState.fullScreen == 0) plat::SetTopmost(hwnd, (krSystemState.startupFlags & 1) == 0);
}

void HideCursorOverPicture() {
    if (krSystemState.fullScreen != 0 || krSystemState.messageBoxOpen != 0) return;
    plat::Point p;
    plat::GetCursorPos(p);
    bool inside = p.x >= krSystemState.clientLeft && p.x < krSystemState.clientLeft + ClientWidth() &&
                  p.y >= krSystemState.clientTop && p.y < krSystemState.clientTop + ClientHeight();
    if (inside && krSystemState.cursorShown == 1) {
        plat::ShowCursor(false);
        krSystemState.cursorShown = 0;
    } else if (!inside && krSystemState.cursorShown == 0) {
        plat::ShowCursor(true);
        krSystemState.cursorShown = 1;
    }
}

void UpdateBlink() {
    std::uint32_t now = plat::TimeGetTime();
    if (now < krSystemState.blinkDeadline) return;
    krSystemState.blink = !krSystemState.blink;
    krSystemState.blinkDeadline = now + (krSystemState.blink ? 1000u : 200u);
}

}  // namespace

namespace krSystem {

void SetGameSteps(const krGameSteps& steps) { gameSteps = steps; }

void ShowMainWindow(int showCommand) { ShowGameWindow(showCommand); }

const char* WindowTitle() { return gameSteps.title ? gameSteps.title : kTitle; }

void InitState() {
    krSystemStateRecord& s = krSystemState;
    krSystemStateRecord fresh;
    // Fields owned by the pacing, the wait timers, the error report and the
    // folder services keep their values.
    fresh.pacingEnabled = s.pacingEnabled;
    fresh.framePeriod = s.framePeriod;
    fresh.pacingStamp = s.pacingStamp;
    std::memcpy(fresh.waitDeadline, s.waitDeadline, sizeof fresh.waitDeadline);
    fresh.errorRaised = s.errorRaised;
    std::memcpy(fresh.saveRoot, s.saveRoot, sizeof fresh.saveRoot);
    std::memcpy(fresh.baseFolder, s.baseFolder, sizeof fresh.baseFolder);
    std::memcpy(fresh.folderName, s.folderName, sizeof fresh.folderName);
    fresh.sysKeyMode = s.sysKeyMode;
    s = fresh;
    s.frameStamp = plat::TimeGetTime();
    s.blinkDeadline = plat::TimeGetTime() + 1000;
}

int CheckInstance(const char* title) {
    std::string name = std::string(title) + ":KrMutex";
    bool alreadyExists = false;
    bool created = plat::CreateInstanceLock(name.c_str(), alreadyExists);
    krSystemState.instanceMutex = created && !alreadyExists;
    if (alreadyExists) {
        plat::RaiseOtherInstance(name.c_str());
        return 0;
    }
    return 1;
}

void EnableIME(int flag) { krSystemState.imeEnabled = flag; }

int Entry(const char* commandLine, int showCommand) {
    InitState();
    if (!CheckInstance(WindowTitle())) return 0;
    CopyCommandLine(commandLine);
    plat::RegisterWindowClass(kWindowClass, &WindowProc, kClassStyle);

    krSystemState.startupFlags = 3;
    krSystemState.fullScreen = 0;
    krSystemState.popupWindow = 0;
    krSystemState.defaultWidth = ClientWidth();
    krSystemState.defaultHeight = ClientHeight();
    krSystemState.keepCursorClipped = 0;

    krSystemState.mainWindow = CreateGameWindow();
    if (krSystemState.mainWindow == 0) {
        // Saying nothing and exiting 0 would report a failed start as success.
        plat::Notice("cannot open the game window (no display available?)");
        if (krSystemState.instanceMutex) plat::ReleaseInstanceLock();
        return 1;
    }
    SetGameIcon();
    ShowGameWindow(showCommand);
    krSystemState.instance = 1;
    plat::SeedRandom(plat::RandomSeed());
    EnableIME(0);

    if (gameSteps.startup) gameSteps.startup();
    ResetFrameClock();
    return MessageLoop();
}

int MessageLoop() {
    plat::Message msg;
    for (;;) {
        if (plat::PeekMessage(msg)) {
            if (msg.message == plat::WM_QUIT) return 0;
            plat::DispatchMessage(msg);
            continue;
        }
        if (krSystemState.active == 0 && (krSystemState.startupFlags & 2) == 0) {
            plat::WaitMessage();
            continue;
        }
        FrameWork();
    }
}

void FrameWork() {
    krSystemStateRecord& s = krSystemState;
    MeasureFrame();
    s.mouseDX = s.mouseX - s.prevMouseX;
    s.mouseDY = s.mouseY - s.prevMouseY;

    if (s.previousScene == 0 && s.scene != 0) {
        s.sceneChanged = 1;
        s.previousScene = s.scene;
    }

    if (krDraw::transition.direction == 1) {
        // While the screen is being covered only the present step runs.
        krDraw::Present();
        if (krDraw::transition.direction == 0) s.scene = s.nextScene;
    } else if (s.scene == 1) {
        if (gameSteps.frame) gameSteps.frame();
        WaitFrame();
    }

    s.sceneChanged = (s.scene != s.previousScene) ? 1 : 0;
    if (s.sceneChanged && krDraw::wipe.state > 0) {
        // A wipe cut short by the new scene leaves the full picture visible.
        krScreen.clip = krDraw::wipe.saved;
        krDraw::wipe.state = 0;
    }
    s.previousScene = s.scene;

    UpdateBlink();

    s.prevMouseX = s.mouseX;
    s.prevMouseY = s.mouseY;
    s.leftClick = s.rightClick = 0;
    s.leftDoubleClick = s.rightDoubleClick = 0;

    HideCursorOverPicture();
}

int Main(int argc, char** argv) {
    // The arguments arrive as UTF-8; the engine's text is code page 932.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += QuotedArgument(plat::Utf8ToCp932(argv[i] ? argv[i] : ""));
    }
    ProcessStart();
    int result = Entry(commandLine.c_str(), plat::SW_SHOWNORMAL);
    ProcessExit();
    return result;
}

}  // namespace krSystem
