// Atomic files on Windows: a new temporary file beside the target (made with
// CREATE_NEW, so it is never someone else's), synced, closed, then moved over
// the target with MoveFileEx, which replaces it in one step. Names are UTF-8
// and reach the system as wide strings, so any folder name works.
//
// Every step goes through the checked file steps (write_steps.h), so the
// failing-write seam sees the same order as on POSIX: write, sync, close,
// rename. Write() hands its blocks to those steps itself; what a caller
// prints through Stream() goes through the C library's buffer and is checked
// as a whole at Commit. A temporary file is opened without sharing, so the
// temporaries of a killed write (which nobody holds) can be removed at the
// next write of the same target while a live writer's cannot.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>

#include "platform/os/atomic_file.h"
#include "platform/os/wide_text_win32.h"

namespace plat {

namespace {

std::atomic<unsigned> temporaryCount{0};

constexpr std::size_t kBlockBytes = 1 << 16;

// Temporaries of this target left by a write that was killed.
void RemoveStaleTemporaries(const std::string& target) {
    const std::string folder = target.substr(0, target.find_last_of("/\\") + 1);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(WideFromUtf8(target + ".tmp*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        // Fails, as it should, for a temporary that a live writer holds open.
        DeleteFileW(WideFromUtf8(folder + Utf8FromWide(found.cFileName)).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// A fresh temporary name beside the target, and its file made exclusively.
HANDLE CreateTemporary(const std::string& target, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(temporaryCount++);
        HANDLE h = CreateFileW(WideFromUtf8(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    temporary.clear();
    return INVALID_HANDLE_VALUE;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& path, Start start) : target_(ResolveLinks(path)) {
    if (!OpenTemporary() || (start == Start::kExisting && !CopyTarget())) Discard();
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::OpenTemporary() {
    RemoveStaleTemporaries(target_);
    HANDLE h = CreateTemporary(target_, temporary_);
    if (h == INVALID_HANDLE_VALUE) return false;
    fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd_ < 0) {
        CloseHandle(h);
        return false;
    }
    stream_ = ::_fdopen(::_dup(fd_), "wb");
    return stream_ != nullptr;
}

bool AtomicFile::CopyTarget() {
    HANDLE source = CreateFileW(WideFromUtf8(target_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;  // nothing to append to yet
    }
    static char block[kBlockBytes];
    bool ok = true;
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(source, block, sizeof block, &n, nullptr)) {
            ok = false;
            break;
        }
        if (n == 0) break;
        if (!Write(block, n)) {
            ok = false;
            break;
        }
    }
    CloseHandle(source);
    return ok;
}

bool AtomicFile::WriteBlock(const char* data, std::size_t size) {
    if (failed_) return false;
    if (!WriteStepAll(fd_, data, size, &written_)) failed_ = true;
    return !failed_;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (!stream_ || failed_) return false;
    // What was printed through the stream comes first.
    if (std::fflush(stream_) != 0) failed_ = true;
    const char* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size && !failed_; done += kBlockBytes)
        WriteBlock(bytes + done, size - done < kBlockBytes ? size - done : kBlockBytes);
    return !failed_;
}

bool AtomicFile::Commit() {
    if (!stream_) return false;
    bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_) && !failed_;
    ok = std::fclose(stream_) == 0 && ok;
    stream_ = nullptr;
    ok = ok && SyncStep(fd_);
    ok = CloseStep(fd_) && ok;
    fd_ = -1;
    ok = ok && RenameStep(temporary_, target_);
    if (!ok) DeleteFileW(WideFromUtf8(temporary_).c_str());
    temporary_.clear();
    return ok;
}

void AtomicFile::Discard() {
    if (stream_) {
        failed_ = true;
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (fd_ >= 0) {
        ::_close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        DeleteFileW(WideFromUtf8(temporary_).c_str());
        temporary_.clear();
    }
}

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size) {
    AtomicFile file(path);
    return file.Write(data, size) && file.Commit();
}

// Symbolic links need rights that players' accounts lack, so a game's files
// are never links there: the name is the target.
std::string ResolveLinks(const std::string& path) { return path; }

// Windows has no unnamed files: every temporary is a named one.
void UseUnnamedTemporaries(bool) {}

bool StreamBlocksAreSteps() { return false; }

}  // namespace plat
