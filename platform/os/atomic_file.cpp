// Atomic files on POSIX: an unnamed temporary file (O_TMPFILE) in the
// target's folder, or a named one from mkstemp where the file system has no
// unnamed files; a cookie stream over the descriptor (so that every block
// stdio writes passes one place, where the test seam can fail it); then
// sync, close and rename. Named temporaries are held under an flock while
// they are written, which tells a live writer's file from a killed one's.
#include "platform/os/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <random>
#include <vector>

namespace plat {

namespace {

constexpr int kMaxLinkHops = 40;
constexpr std::size_t kRandomLetters = 6;
constexpr std::size_t kTemporarySuffix = 4 + kRandomLetters;  // ".tmp" and the letters

std::atomic<bool> unnamedAllowed{true};

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

void SplitPath(const std::string& path, std::string& folder, std::string& base) {
    const std::size_t slash = path.rfind('/');
    const bool bare = slash == std::string::npos;
    folder = bare ? std::string(".") : path.substr(0, std::max<std::size_t>(slash, 1));  // "/x" is in "/"
    base = bare ? path : path.substr(slash + 1);
}

// "<base>.tmp", the base cut short so that the whole name with its random
// letters fits the folder's file-name limit.
std::string TemporaryPrefix(const std::string& folder, const std::string& base) {
    long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) limit = NAME_MAX;
    const std::size_t room = static_cast<std::size_t>(limit) - kTemporarySuffix;
    return base.substr(0, std::min(base.size(), room)) + ".tmp";
}

std::string RandomLetters() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::minstd_rand generator{std::random_device{}()};
    std::string letters;
    for (std::size_t i = 0; i < kRandomLetters; ++i) letters += kLetters[generator() % (sizeof kLetters - 1)];
    return letters;
}

// Removes the named temporaries of a target that no live writer holds: the
// leftovers of a write that was killed.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) return;
    const int folderFd = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + kRandomLetters || name.compare(0, prefix.size(), prefix) != 0) continue;
        const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(folderFd, name.c_str(), 0);
        ::close(fd);
    }
    ::closedir(listing);
}

// An unnamed file is given its name through /proc (root may link it
// directly, but not every root has the capability).
bool UnnamedFilesCanBeLinked() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // the rename's durability; the data is already safe
    ::close(fd);
}

}  // namespace

std::string ResolveLinks(const std::string& path) {
    std::string resolved = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(resolved.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return resolved;
        std::vector<char> link(PATH_MAX + 1);
        const ssize_t n = ::readlink(resolved.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return "";
        const std::string points(link.data(), static_cast<std::size_t>(n));
        const std::size_t slash = resolved.rfind('/');
        // A relative link is read from the link's own folder.
        if (points[0] == '/' || slash == std::string::npos)
            resolved = points;
        else
            resolved = resolved.substr(0, slash + 1) + points;
    }
    return "";
}

void UseUnnamedTemporaries(bool use) { unnamedAllowed = use; }

// Every block of the cookie stream passes WriteBlock.
bool StreamBlocksAreSteps() { return true; }

AtomicFile::AtomicFile(const std::string& path, Start start) {
    target_ = ResolveLinks(path);
    if (target_.empty()) return;
    std::string base;
    SplitPath(target_, folder_, base);
    if (base.empty()) return;
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return;
    bool opened = false;
    if (exists && !S_ISREG(st.st_mode)) {
        opened = OpenDirect(start);
    } else {
        prefix_ = TemporaryPrefix(folder_, base);
        RemoveStaleTemporaries(folder_, prefix_);
        opened = OpenTemporary();
        if (!opened && exists && (errno == EACCES || errno == EPERM)) opened = OpenInPlace(start);
    }
    if (!opened) return;
    stream_ = ::fopencookie(this, "w", cookie_io_functions_t{nullptr, CookieWrite, nullptr, CookieClose});
    if (!stream_ || (route_ == Route::kReplace && start == Start::kExisting && !CopyTarget())) Discard();
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::OpenTemporary() {
    route_ = Route::kReplace;
    const mode_t mode = ModeFor(target_);
    if (unnamedAllowed && UnnamedFilesCanBeLinked()) {
        fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        unnamed_ = fd_ >= 0;
    }
    if (fd_ < 0) {
        std::string pattern = folder_ + "/" + prefix_ + "XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ < 0) return false;
        temporary_ = name.data();
    }
    ::flock(fd_, LOCK_EX | LOCK_NB);  // marks the file as being written
    ::fchmod(fd_, mode);
    return true;
}

bool AtomicFile::OpenDirect(Start start) {
    route_ = Route::kDirect;
    const int append = start == Start::kExisting ? O_APPEND : 0;
    fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | append);
    return fd_ >= 0;
}

bool AtomicFile::OpenInPlace(Start start) {
    route_ = Route::kInPlace;
    const int append = start == Start::kExisting ? O_APPEND : 0;
    // Not truncated yet: a file that cannot be opened stays whole.
    fd_ = ::open(target_.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | append);
    truncateAtCommit_ = start == Start::kEmpty;
    return fd_ >= 0;
}

bool AtomicFile::CopyTarget() {
    const int source = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
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
    if (!WriteStepAll(fd_, data, size, &written_)) failed_ = true;
    return !failed_;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (!stream_ || failed_) return false;
    if (size > 0 && std::fwrite(data, 1, size, stream_) != size) failed_ = true;
    return !failed_;
}

// Gives the unnamed file a temporary name beside the target, from which it
// is renamed (a link cannot replace an existing file).
bool AtomicFile::NameUnnamedTemporary() {
    if (!LinkStepAllowed()) return false;
    char viaProc[64];
    std::snprintf(viaProc, sizeof viaProc, "/proc/self/fd/%d", fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folder_ + "/" + prefix_ + RandomLetters();
        if (::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ||
            (errno != EEXIST && ::linkat(AT_FDCWD, viaProc, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)) {
            temporary_ = name;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool AtomicFile::Commit() {
    if (!stream_) return false;
    bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_) && !failed_;
    std::fclose(stream_);
    stream_ = nullptr;
    if (ok && truncateAtCommit_) ok = ::ftruncate(fd_, static_cast<off_t>(written_)) == 0;
    ok = ok && SyncStep(fd_, route_ == Route::kDirect);
    if (ok && unnamed_) ok = NameUnnamedTemporary();
    if (ok)
        ok = CloseStep(fd_);
    else
        ::close(fd_);
    fd_ = -1;
    if (route_ == Route::kReplace) {
        ok = ok && RenameStep(temporary_, target_);
        if (!ok && !temporary_.empty()) ::unlink(temporary_.c_str());
        if (ok) SyncFolder(folder_);
    }
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

}  // namespace plat
