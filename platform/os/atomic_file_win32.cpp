// Atomic files on Windows: a new temporary file beside the target (made with
// CREATE_NEW, so it is never someone else's), flushed to the disk, then moved
// over the target with MoveFileEx, which replaces it in one step. Names are
// UTF-8 and reach the system as wide strings, so any folder name works.
//
// Write() hands its bytes to the system itself, block by block, where the
// test seam can fail them; what a caller prints through Stream() goes
// through the C library's buffer and is checked as a whole at Commit.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdlib>

#include "platform/os/atomic_file.h"
#include "platform/os/wide_text_win32.h"

namespace plat {

namespace {

std::atomic<int> stepsUntilFailure{0};
std::atomic<bool> failureFired{false};
std::atomic<unsigned> temporaryCount{0};

constexpr std::size_t kBlockBytes = 1 << 16;

// A program run by a test learns its failing step from the environment.
void ReadSeamFromEnvironment() {
    static const bool read = [] {
        if (const char* n = std::getenv("KR_FAILING_WRITE")) SetFailingWrite(std::atoi(n));
        return true;
    }();
    (void)read;
}

// True when this step is the one the seam was told to fail.
bool SeamFailsThisStep() {
    int left = stepsUntilFailure.load();
    while (left > 0) {
        if (stepsUntilFailure.compare_exchange_weak(left, left - 1)) {
            if (left != 1) return false;
            failureFired = true;
            return true;
        }
    }
    return false;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const unsigned chunk = static_cast<unsigned>(size < kBlockBytes ? size : kBlockBytes);
        const int n = ::_write(fd, data, chunk);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A fresh temporary name beside the target, and its file made exclusively.
HANDLE CreateTemporary(const std::string& path, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(temporaryCount++);
        HANDLE h = CreateFileW(WideFromUtf8(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    temporary.clear();
    return INVALID_HANDLE_VALUE;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& path, Start start) : path_(path) {
    ReadSeamFromEnvironment();
    HANDLE h = CreateTemporary(path, temporary_);
    if (h == INVALID_HANDLE_VALUE) return;
    fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd_ < 0) {
        CloseHandle(h);
        Discard();
        return;
    }
    stream_ = ::_fdopen(::_dup(fd_), "wb");
    if (!stream_ || (start == Start::kExisting && !CopyTarget())) Discard();
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::CopyTarget() {
    HANDLE source = CreateFileW(WideFromUtf8(path_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    if (SeamFailsThisStep()) {
        WriteAll(fd_, data, size / 2);
        failed_ = true;
        return false;
    }
    if (!WriteAll(fd_, data, size)) failed_ = true;
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
    ok = ok && !SeamFailsThisStep() && ::_commit(fd_) == 0;
    ok = ::_close(fd_) == 0 && ok;
    fd_ = -1;
    ok = ok && MoveFileExW(WideFromUtf8(temporary_).c_str(), WideFromUtf8(path_).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
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

void SetFailingWrite(int n) {
    stepsUntilFailure = n > 0 ? n : 0;
    failureFired = false;
}

bool FailingWriteFired() { return failureFired; }

bool StreamBlocksAreSteps() { return false; }

}  // namespace plat
