// The checked file steps' system calls on Windows: the C runtime's
// descriptors, positioned writes through the descriptor's handle, and a
// rename that replaces its target (the C library's rename refuses to).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/os/wide_text_win32.h"
#include "platform/os/write_steps_os.h"

namespace plat {

namespace {

constexpr std::size_t kMostAtOnce = 1u << 30;  // _write and WriteFile take 32-bit counts

}  // namespace

int OsOpenForWriting(const std::string& path, bool& seekable) {
    const int fd = ::_wopen(WideFromUtf8(path).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                            _S_IREAD | _S_IWRITE);
    seekable = fd >= 0 && GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(fd))) == FILE_TYPE_DISK;
    return fd;
}

bool OsTruncate(int fd, off_t size) { return ::_chsize_s(fd, size) == 0; }

long OsWrite(int fd, const void* data, std::size_t size) {
    return ::_write(fd, data, static_cast<unsigned>(size < kMostAtOnce ? size : kMostAtOnce));
}

long OsWriteAt(int fd, const void* data, std::size_t size, off_t offset) {
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED at{};
    const auto where = static_cast<unsigned long long>(offset);
    at.Offset = static_cast<DWORD>(where & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD written = 0;
    const DWORD count = static_cast<DWORD>(size < kMostAtOnce ? size : kMostAtOnce);
    // A positioned write moves the handle's own offset: put it back, as pwrite
    // leaves the descriptor's offset alone.
    const long long before = ::_lseeki64(fd, 0, SEEK_CUR);
    const BOOL ok = WriteFile(handle, data, count, &written, &at);
    if (before >= 0) ::_lseeki64(fd, before, SEEK_SET);
    if (!ok) {
        errno = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
        return -1;
    }
    return static_cast<long>(written);
}

bool OsSync(int fd) { return ::_commit(fd) == 0; }

bool OsClose(int fd) { return ::_close(fd) == 0; }

bool OsRename(const std::string& from, const std::string& to) {
    if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = EACCES;
    return false;
}

}  // namespace plat
