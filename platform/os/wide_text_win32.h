// UTF-8 <-> UTF-16 for the Windows pieces, whose system calls take wide
// strings. Kept free of Windows headers, whose macros clash with the
// platform's own names.
#pragma once
#include <string>

namespace plat {

std::string Utf8FromWide(const std::wstring& wide);
std::wstring WideFromUtf8(const std::string& utf8);
// A Windows path as this platform writes paths: UTF-8 with '/' between the
// folders ("C:/Games/pokotanba/pokotanba.exe").
std::string PortablePath(const std::wstring& wide);

}  // namespace plat
