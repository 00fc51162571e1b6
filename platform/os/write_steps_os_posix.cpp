// The checked file steps' system calls on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/os/write_steps_os.h"

namespace plat {

int OsOpenForWriting(const std::string& path, bool& seekable) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
    struct stat st {};
    seekable = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    return fd;
}

bool OsTruncate(int fd, off_t size) { return ::ftruncate(fd, size) == 0; }

long OsWrite(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

long OsWriteAt(int fd, const void* data, std::size_t size, off_t offset) { return ::pwrite(fd, data, size, offset); }

bool OsSync(int fd) { return ::fsync(fd) == 0; }

bool OsClose(int fd) { return ::close(fd) == 0; }

bool OsRename(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

}  // namespace plat
