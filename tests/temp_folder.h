// A fresh folder under /tmp for one test, removed with everything in it
// when the test ends.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace kr_test {

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "kr_test") {
        std::string name = "/tmp/" + prefix + "_XXXXXX";
        if (mkdtemp(name.data()) != nullptr) path_ = name;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace kr_test
