// Error reports, the two message boxes, the debug log and the small system
// services: folders and their redirection, one-number settings files, date and
// time, disk and memory figures, the system version and the colour-depth offer.
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "draw/krDraw.h"
#include "platform/os/atomic_file.h"
#include "platform/os/system_info.h"
#include "platform/text/cp932.h"
#include "platform/os/notice.h"
#include "platform/os/user_folder.h"
#include "platform/os/window.h"
#include "platform/text/cp932_literal.h"
#include "system/krSystem.h"

namespace {

constexpr std::size_t kTextSize = 260;
constexpr std::uint32_t kBoxFlags = plat::MB_SYSTEMMODAL | plat::MB_ICONEXCLAMATION;  // 0x1030
constexpr std::uint32_t kAskFlags = plat::MB_YESNO | plat::MB_ICONQUESTION;            // 0x24

void CopyText(char* dst, std::size_t size, const char* src) { std::snprintf(dst, size, "%s", src ? src : ""); }

// While a display exists, the box must show over it (full screen).
void FlipToGDISurface() {
    if (krScreen.deviceCreated) plat::FlipToGDISurface();
}

// Shows a box for Message and Ask: cursor shown, box flag up, frame clock
// restarted afterwards so the time the box was open is not a frame.
int ShowBox(const char* text, const char* caption, std::uint32_t flags) {
    FlipToGDISurface();
    if (krSystemState.cursorShown == 0) {
        plat::ShowCursor(true);
        krSystemState.cursorShown = 1;
    }
    krSystemState.messageBoxOpen = 1;
    int answer = plat::MessageBox(krSystemState.mainWindow, text, caption, flags);
    krSystemState.messageBoxOpen = 0;
    krSystem::ResetFrameClock();
    return answer;
}

void FormatWithLineEnd(char* buf, const char* format, va_list args) {
    std::vsnprintf(buf, kTextSize, format, args);
    std::size_t len = std::strlen(buf);
    if (len + 2 < kTextSize) std::memcpy(buf + len, "\r\n", 3);
}

std::string SettingsPath(const char* fileName) {
    return plat::ResolvePath(std::string(krSystem::GetBaseFolder(1)) + (fileName ? fileName : ""));
}

// The log lies in the working folder, or, when the program is installed, in
// the player's data folder beside the settings.
std::string DebugLogPath() {
    if (!plat::ProgramIsInstalled()) return "DEBUG.TXT";
    return plat::ResolvePath(std::string(krSystem::GetBaseFolder(1)) + "DEBUG.TXT");
}

}  // namespace

namespace krSystem {

int ReportError(const char* label, const char* message, int) {
    char text[kTextSize];
    std::snprintf(text, sizeof text, "%s : %s", label ? label : "", message ? message : "");
    FlipToGDISurface();
    plat::MessageBeep(0xFFFFFFFFu);
    plat::MessageBox(krSystemState.mainWindow, text, u8"エラー発生"_cp932, kBoxFlags);
    krSystemState.errorRaised = 1;
    return 0;
}

int ReportLoadError(const char* label, const char* message, const char* file) {
    // The file as this system names it: the path that was tried, '/' between folders.
    const std::string line = plat::Cp932ToUtf8(label ? label : "") + ": cannot read " + plat::ResolvePath(file ? file : "");
    plat::Notice(line);
    DebugLog("%s", plat::Utf8ToCp932(line).c_str());
    return ReportError(label, message);
}

int ErrorRaised() { return krSystemState.errorRaised; }

int ShutdownOnError() {
    if (krSystemState.errorRaised == 1) Shutdown();
    return krSystemState.errorRaised;
}

void Message(const char* format, ...) {
    char text[kTextSize];
    va_list args;
    va_start(args, format);
    FormatWithLineEnd(text, format, args);
    va_end(args);
    ShowBox(text, u8"メッセージ"_cp932, kBoxFlags);
}

int Ask(const char* format, ...) {
    char text[kTextSize];
    va_list args;
    va_start(args, format);
    FormatWithLineEnd(text, format, args);
    va_end(args);
    return ShowBox(text, u8"メッセージ"_cp932, kAskFlags) == plat::IDYES ? 1 : 0;
}

void DebugLog(const char* format, ...) {
    std::FILE* f = std::fopen(DebugLogPath().c_str(), "a");
    if (!f) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(f, format, args);
    va_end(args);
    std::fputc('\n', f);
    std::fclose(f);
}

const char* GetBaseFolder(int redirect) {
    krSystemStateRecord& s = krSystemState;
    std::string path = plat::Utf8ToCp932(plat::ProgramPath());
    if (path.size() > 255) path.resize(255);
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    CopyText(s.baseFolder, sizeof s.baseFolder, folder.c_str());
    if (redirect == 0) return s.baseFolder;
    if (s.saveRoot[0] == '\0') {
        // An installed program's folder is read-only to players: saved
        // settings go to the player's data folder.
        if (plat::ProgramIsInstalled())
            CopyText(s.baseFolder, sizeof s.baseFolder, plat::Utf8ToCp932(plat::UserDataFolder()).c_str());
        return s.baseFolder;
    }

    // The folder's last component, searched from two characters before the end.
    if (folder.size() >= 2) {
        std::size_t from = folder.size() - 2;
        std::size_t cut = folder.rfind('/', from);
        if (cut != std::string::npos) CopyText(s.folderName, sizeof s.folderName, folder.c_str() + cut + 1);
    }
    std::string redirected = std::string(s.saveRoot) + "/" + s.folderName;
    CopyText(s.baseFolder, sizeof s.baseFolder, redirected.c_str());
    return s.baseFolder;
}

// This system's counterpart of the system folder that holds the redirection
// file: $KR_SYSTEM_FOLDER, else $XDG_CONFIG_HOME, else ~/.config.
const char* SystemFolder() {
    static std::string folder;
    if (const char* env = std::getenv("KR_SYSTEM_FOLDER"); env && *env)
        folder = env;
    else if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        folder = xdg;
    else
        folder = std::string(std::getenv("HOME") ? std::getenv("HOME") : "") + "/.config";
    return folder.c_str();
}

void ReadSaveRoot(const char* fileName) {
    std::string folder = SystemFolder();
    std::string path = folder;
    if (folder != "/") path += '/';
    path += fileName ? fileName : "";
    krSystemState.saveRoot[0] = '\0';
    std::FILE* f = std::fopen(plat::ResolvePath(path).c_str(), "r");
    if (!f) return;
    char line[256] = {};
    if (!std::fgets(line, sizeof line, f)) line[0] = '\0';
    std::fclose(f);
    std::size_t len = std::strlen(line);
    if (len > 0 && line[len - 1] == '\n') line[--len] = '\0';
    if (len > 0 && line[len - 1] == '\r') line[--len] = '\0';
    if (len > 0 && (line[len - 1] == '\\' || line[len - 1] == '/')) line[--len] = '\0';
    CopyText(krSystemState.saveRoot, sizeof krSystemState.saveRoot, line);
}

void SaveNumber(const char* fileName, std::int32_t value) {
    // Written whole or not at all: a failed write keeps the previous value.
    plat::AtomicFile file(SettingsPath(fileName));
    if (!file.IsOpen()) return;
    std::fprintf(file.Stream(), "%d", value);
    file.Commit();
}

std::int32_t LoadNumber(const char* fileName) {
    std::FILE* f = std::fopen(SettingsPath(fileName).c_str(), "r");
    if (!f) return 0;
    int value = 0;
    if (std::fscanf(f, "%d", &value) != 1) value = 0;
    std::fclose(f);
    return value;
}

const char* GetCommandLine() { return krSystemState.commandLine; }

void GetDate(int* year, int* month, int* day, char* weekday) {
    static const char* const kWeekdays[7] = {u8"日"_cp932, u8"月"_cp932, u8"火"_cp932, u8"水"_cp932,
                                             u8"木"_cp932, u8"金"_cp932, u8"土"_cp932};
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (year) *year = local.tm_year + 1900;
    if (month) *month = local.tm_mon + 1;
    if (day) *day = local.tm_mday;
    if (weekday) std::memcpy(weekday, kWeekdays[local.tm_wday], 3);
}

void GetTime(int* hour, int* minute, int* second) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (hour) *hour = local.tm_hour;
    if (minute) *minute = local.tm_min;
    if (second) *second = local.tm_sec;
}

// Every drive letter stands for the file system that holds the program's
// folder. Disks larger than the 32-bit result report its largest value
// rather than a wrapped, meaningless number.
std::int32_t GetDiskFree(char) {
    const std::uint64_t bytes = plat::FreeDiskBytes(plat::Cp932ToUtf8(GetBaseFolder(0)));
    return bytes > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(bytes);
}

std::uint32_t GetFreeMemory() {
    const std::uint64_t bytes = plat::FreeMemoryBytes();
    return bytes > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(bytes);
}

// The system's release "major.minor" answers as the NT-family row of the
// version table: major 5 gives 2000, others major x 1000 + minor x 10.
int GetOSVersion() {
    int major = 0, minor = 0;
    if (!plat::SystemRelease(major, minor)) return -1;
    if (major == 5) return 2000;
    return major * 1000 + minor * 10;
}

int GetScreenBits() { return plat::DesktopBits(); }

int IsWindowed() { return krSystemState.fullScreen == 0 ? 1 : 0; }

int CheckColorDepth(const char* settingsFile) {
    static const char* const kColours[4] = {"16", "256", "65536", u8"1670万"_cp932};
    int depth = krScreen.displayDepth;
    int k = depth == 8 ? 1 : depth == 16 ? 2 : (depth == 24 || depth == 32) ? 3 : 0;
    if (k == 0) return 1;
    if (krSystemState.fullScreen || GetScreenBits() >= depth) return 1;

    Message(u8"　ウィンドウ状態で実行しようとしていますが、"
            u8"画面が%s色以下に設定されています。\n"
            u8"正しく動作させるには、%s色以上に設定するか、"
            u8"フルスクリーンで実行させて下さい。"_cp932,
            kColours[k - 1], kColours[k]);

    const char* arg = settingsFile ? settingsFile : "";
    const char* question = nullptr;
    if (std::strcmp(arg, "*") == 0)
        question = u8"フルスクリーンに切り換えますか？"_cp932;
    else if (arg[0] != '\0')
        question = u8"フルスクリーンに設定し直しますか？"_cp932;

    if (question && Ask("%s", question) == 1) {
        if (std::strcmp(arg, "*") != 0) SaveNumber(arg, 1);
        krSystemState.fullScreen = 1;
        return 1;
    }
    Shutdown();
    return 0;
}

}  // namespace krSystem
