// Whether two names are one file on Windows: the same volume and file index.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <filesystem>

#include "platform/os/same_file.h"
#include "platform/os/wide_text_win32.h"

namespace plat {

namespace {

// The file's identity, when it is an existing regular file.
bool IdentityOf(const std::string& path, BY_HANDLE_FILE_INFORMATION& info, bool& exists) {
    const HANDLE h = CreateFileW(WideFromUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    exists = h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND;
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(h, &info) && GetFileType(h) == FILE_TYPE_DISK;
    CloseHandle(h);
    return ok;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    bool aExists = false, bExists = false;
    const bool aKnown = IdentityOf(a, ia, aExists), bKnown = IdentityOf(b, ib, bExists);
    if (aKnown && bKnown)
        return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
               ia.nFileIndexLow == ib.nFileIndexLow;
    if (aExists || bExists) return false;
    std::error_code error;
    const std::filesystem::path pa = std::filesystem::weakly_canonical(std::filesystem::u8path(a), error);
    if (error) return false;
    const std::filesystem::path pb = std::filesystem::weakly_canonical(std::filesystem::u8path(b), error);
    return !error && pa == pb;
}

}  // namespace plat
