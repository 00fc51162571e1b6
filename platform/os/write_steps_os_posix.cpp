// The checked file steps' system calls on POSIX systems.
#include <unistd.h>

#include <cstdio>

#include "platform/os/write_steps_os.h"

namespace plat {

long OsWrite(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

long OsWriteAt(int fd, const void* data, std::size_t size, off_t offset) { return ::pwrite(fd, data, size, offset); }

bool OsSync(int fd) { return ::fsync(fd) == 0; }

bool OsClose(int fd) { return ::close(fd) == 0; }

bool OsRename(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

}  // namespace plat
