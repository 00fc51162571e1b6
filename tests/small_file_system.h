// A small tmpfs mounted at a fresh folder for a test's life, so that writes
// meet a really full disk. Mounting needs root: a test that cannot mount one
// skips by name.
#pragma once
#include <sys/mount.h>

#include <filesystem>
#include <string>

#include "temp_folder.h"

namespace kr_test {

class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& size = "size=64k") {
        mounted_ = ::mount("tmpfs", folder_.Path().c_str(), "tmpfs", 0, size.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) ::umount2(folder_.Path().c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool Mounted() const { return mounted_; }
    const std::filesystem::path& Path() const { return folder_.Path(); }

private:
    TempFolder folder_{"kr_small_fs"};  // made before the mount, removed after it
    bool mounted_ = false;
};

}  // namespace kr_test
