// Code page 932 (Shift-JIS) text: conversion to UTF-8 where text leaves for
// the operating system, and decoding to code points for text rendering.
#pragma once
#include <string>

namespace plat {

// True for a byte that starts a two-byte character.
inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Decodes a NUL-terminated (or length-bounded) CP932 string into code points.
// A lead byte at the end or an unmapped pair becomes U+FFFD; nothing is read
// past the terminator or the given length.
std::u32string DecodeCp932(const char* text, std::size_t maxBytes = std::string::npos);
std::string Cp932ToUtf8(const char* text);
std::string Utf8ToCp932(const std::string& utf8);
// Upper case of CP932 text as the system's upper-casing gives it: ASCII
// letters only, never the second byte of a two-byte character.
std::string UpperCase(const std::string& text);

}  // namespace plat
