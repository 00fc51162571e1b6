// Code page 932 through the Win32 code-page calls. Strict both ways: bytes
// that are no CP932 character and characters without a CP932 form fail, as
// with iconv, instead of Windows' silent best-fit substitutes.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/text/cp932_codec.h"

namespace plat {
namespace {

constexpr UINT kCp932 = 932;

}  // namespace

char32_t DecodeCp932Char(const char* bytes, std::size_t n) {
    wchar_t wide[2];
    const int count = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(n), wide, 2);
    if (count != 1) return 0;
    return static_cast<char32_t>(wide[0]);
}

bool EncodeCp932(const char* utf8, std::size_t n, std::string& out) {
    if (n == 0) return true;
    const int wideCount = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, static_cast<int>(n), nullptr, 0);
    if (wideCount <= 0) return false;
    std::vector<wchar_t> wide(static_cast<std::size_t>(wideCount));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, static_cast<int>(n), wide.data(), wideCount);
    BOOL usedDefault = FALSE;
    const int count = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), wideCount, nullptr, 0, nullptr,
                                          &usedDefault);
    if (count <= 0 || usedDefault) return false;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(count));
    WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), wideCount, out.data() + start, count, nullptr,
                        &usedDefault);
    return !usedDefault;
}

}  // namespace plat
