// Checked file steps over descriptors, and the failing-write seam. The
// system calls themselves are in write_steps_os_<system>.cpp.
#include "platform/os/write_steps.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/os/write_steps_os.h"

namespace plat {
namespace {

std::atomic<int> stepsUntilFailure{0};
std::atomic<bool> failureFired{false};

std::mutex logLock;
bool logging = false;  // under logLock
std::vector<WriteStep> logged;

// A program run by a test learns its failing step from the environment.
void ReadSeamFromEnvironment() {
    static const bool read = [] {
        if (const char* n = std::getenv("KR_FAILING_WRITE")) stepsUntilFailure = std::max(std::atoi(n), 0);
        return true;
    }();
    (void)read;
}

// Logs the step and tells whether it is the one the seam was told to fail.
bool SeamFails(WriteStep step) {
    ReadSeamFromEnvironment();
    {
        std::lock_guard<std::mutex> hold(logLock);
        if (logging) logged.push_back(step);
    }
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

bool WriteLoop(int fd, const char* data, std::size_t size, std::size_t* written) {
    while (size > 0) {
        const long n = OsWrite(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        if (written) *written += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool WriteStepAll(int fd, const void* data, std::size_t size, std::size_t* written) {
    const char* bytes = static_cast<const char*>(data);
    if (SeamFails(WriteStep::kWrite)) {
        WriteLoop(fd, bytes, size / 2, written);
        errno = ENOSPC;
        return false;
    }
    return WriteLoop(fd, bytes, size, written);
}

bool WriteStepAt(int fd, const void* data, std::size_t size, off_t offset) {
    const char* bytes = static_cast<const char*>(data);
    const bool seamFailed = SeamFails(WriteStep::kWrite);
    const std::size_t wanted = seamFailed ? size / 2 : size;
    std::size_t done = 0;
    while (done < wanted) {
        const long n = OsWriteAt(fd, bytes + done, wanted - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (seamFailed) errno = ENOSPC;
    return !seamFailed;
}

bool SyncStep(int fd, bool tolerateUnsyncable) {
    if (SeamFails(WriteStep::kSync)) {
        errno = EIO;
        return false;
    }
    if (OsSync(fd)) return true;
    return tolerateUnsyncable && (errno == EINVAL || errno == EROFS);
}

bool CloseStep(int fd) {
    const bool seamFailed = SeamFails(WriteStep::kClose);
    // The descriptor is released whatever close says: retrying is unsafe.
    const bool closed = OsClose(fd) || errno == EINTR;
    return closed && !seamFailed;
}

bool RenameStep(const std::string& from, const std::string& to) {
    if (SeamFails(WriteStep::kRename)) {
        errno = EIO;
        return false;
    }
    return OsRename(from, to);
}

bool LinkStepAllowed() {
    if (!SeamFails(WriteStep::kLink)) return true;
    errno = EIO;
    return false;
}

void SetFailingWrite(int n) {
    ReadSeamFromEnvironment();  // a later first look must not override this
    stepsUntilFailure = n > 0 ? n : 0;
    failureFired = false;
}

bool FailingWriteFired() { return failureFired; }

void RecordWriteSteps(bool on) {
    std::lock_guard<std::mutex> hold(logLock);
    logging = on;
    if (on) logged.clear();
}

std::vector<WriteStep> RecordedWriteSteps() {
    std::lock_guard<std::mutex> hold(logLock);
    return logged;
}

}  // namespace plat
