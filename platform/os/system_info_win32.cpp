#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/os/system_info.h"
#include "platform/os/wide_text_win32.h"

namespace plat {

std::uint64_t FreeDiskBytes(const std::string& folder) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(WideFromUtf8(folder).c_str(), &available, nullptr, nullptr)) return 0;
    return available.QuadPart;
}

std::uint64_t FreeMemoryBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return status.ullAvailPhys;
}

// RtlGetVersion tells the truth; GetVersionEx answers what the program's
// manifest claims to know.
bool SystemRelease(int& major, int& minor) {
    major = minor = 0;
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto get = ntdll ? reinterpret_cast<RtlGetVersionFunction>(
                           reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                     : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!get || get(&info) != 0) return false;
    major = static_cast<int>(info.dwMajorVersion);
    minor = static_cast<int>(info.dwMinorVersion);
    return true;
}

}  // namespace plat
