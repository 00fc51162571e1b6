// A folder of this test process's own beside the program, for screenshots:
// parallel test runs never share it, and it goes away with the object.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/os/window.h"

class ScreenshotFolder {
public:
    ScreenshotFolder() : name_("kr_shots_" + std::to_string(getpid())) {
        std::filesystem::create_directories(Path(""));
    }
    ~ScreenshotFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path(""), ignored);
    }
    // The name the engine is given (relative to the program's folder).
    std::string Name(const std::string& file) const { return name_ + "\\" + file; }
    std::filesystem::path Path(const std::string& file) const {
        return std::filesystem::path(plat::ProgramPath()).parent_path() / name_ / file;
    }

private:
    std::string name_;
};
