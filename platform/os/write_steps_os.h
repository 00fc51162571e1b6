// The system calls under the checked file steps (write_steps.cpp), one file
// per system. Each sets errno on failure as its POSIX namesake does.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace plat {

// A new or emptied file for writing in binary; -1 on failure. `seekable`
// tells whether it is a regular file (a pipe or a device is not).
int OsOpenForWriting(const std::string& path, bool& seekable);
// Cuts the file to `size` bytes.
bool OsTruncate(int fd, off_t size);
// Bytes written (0 or more), or -1.
long OsWrite(int fd, const void* data, std::size_t size);
// The same at `offset`, leaving the descriptor's offset alone.
long OsWriteAt(int fd, const void* data, std::size_t size, off_t offset);
bool OsSync(int fd);
bool OsClose(int fd);
// Replaces `to` in one step where it exists.
bool OsRename(const std::string& from, const std::string& to);

}  // namespace plat
