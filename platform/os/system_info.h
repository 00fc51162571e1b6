// What the system tells of itself: free disk space, free memory and its
// version, each from the system's own calls (system_info_posix.cpp,
// system_info_win32.cpp).
#pragma once
#include <cstdint>
#include <string>

namespace plat {

// Bytes free to this user on the file system that holds `folder` (UTF-8);
// 0 when it cannot be asked.
std::uint64_t FreeDiskBytes(const std::string& folder);
// Bytes of physical memory free now; 0 when unknown.
std::uint64_t FreeMemoryBytes();
// The system's release as major.minor (the kernel's on Linux, Windows' own
// on Windows); false when unknown.
bool SystemRelease(int& major, int& minor);

}  // namespace plat
