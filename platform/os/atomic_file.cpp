// Atomic files on POSIX: mkstemp beside the target, a cookie stream over the
// descriptor (so that every block stdio writes passes one place, where the
// test seam can fail it), fsync, then rename.
#include "platform/os/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace plat {

namespace {

std::atomic<int> stepsUntilFailure{0};
std::atomic<bool> failureFired{false};

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
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Always takes the whole block: stdio's buffer handling after a failed
// cookie write is not to be trusted (a large fwrite can then run past its
// buffer). The failure is remembered instead and refuses the commit.
ssize_t CookieWrite(void* cookie, const char* data, std::size_t size) {
    static_cast<AtomicFile*>(cookie)->WriteBlock(data, size);
    return static_cast<ssize_t>(size);
}

// The descriptor is the AtomicFile's to sync and close.
int CookieClose(void*) { return 0; }

// The target's own permissions when it exists, else those of a new file.
mode_t ModeFor(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& path, Start start) : path_(path) {
    ReadSeamFromEnvironment();
    std::string pattern = path + ".tmpXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) return;
    temporary_ = name.data();
    ::fchmod(fd_, ModeFor(path));
    stream_ = ::fopencookie(this, "w", cookie_io_functions_t{nullptr, CookieWrite, nullptr, CookieClose});
    if (!stream_ || (start == Start::kExisting && !CopyTarget())) Discard();
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::CopyTarget() {
    const int source = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) return errno == ENOENT;  // nothing to append to yet
    char block[1 << 16];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(source, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!Write(block, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    ::close(source);
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
    if (size > 0 && std::fwrite(data, 1, size, stream_) != size) failed_ = true;
    return !failed_;
}

bool AtomicFile::Commit() {
    if (!stream_) return false;
    bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_) && !failed_;
    ok = std::fclose(stream_) == 0 && ok;
    stream_ = nullptr;
    ok = ok && !SeamFailsThisStep() && ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    ok = ok && ::rename(temporary_.c_str(), path_.c_str()) == 0;
    if (!ok) ::unlink(temporary_.c_str());
    temporary_.clear();
    return ok;
}

void AtomicFile::Discard() {
    if (stream_) {
        // Nothing of a discarded file is wanted: the flush that fclose does writes nothing.
        failed_ = true;
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
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

}  // namespace plat
