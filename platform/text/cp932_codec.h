// The system's own conversions between code page 932 and Unicode, behind
// cp932.cpp: iconv on POSIX systems (cp932_codec_posix.cpp), the Win32 code-page
// calls on Windows (cp932_codec_win32.cpp).
#pragma once
#include <cstddef>
#include <string>

namespace plat {

// The code point of one CP932 character (n is 1 or 2 bytes); 0 when the
// bytes are no character of the code page.
char32_t DecodeCp932Char(const char* bytes, std::size_t n);

// Appends the CP932 form of n bytes of UTF-8 to out. False, with out
// unspecified, when any character has no CP932 form or the bytes are not
// UTF-8.
bool EncodeCp932(const char* utf8, std::size_t n, std::string& out);

}  // namespace plat
