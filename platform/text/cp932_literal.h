/// @file
/// Japanese text literals in the engine's encoding (code page 932) from
/// UTF-8 source, the same bytes with every compiler:
///
///     krDraw::DrawString(12, 10, u8"矢印キーで歩く"_cp932);
///
/// The u8 prefix keeps the literal UTF-8 whatever the compiler's execution
/// character set, and the conversion runs while compiling, through a table
/// made from the C library's conversion (so the bytes equal those of
/// plat::Utf8ToCp932 at run time). A character without a CP932 form, or a
/// malformed sequence, stops the compilation instead of turning into '?'.
/// The result is a NUL-terminated `const char*` to static storage; text made
/// at run time goes through plat::Utf8ToCp932 ("platform/text/cp932.h").
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat::cp932_literal {

/// A UTF-8 string literal as a template argument.
template <std::size_t N>
struct Utf8Literal {
    char8_t text[N];
    constexpr Utf8Literal(const char8_t (&source)[N]) {
        for (std::size_t i = 0; i < N; ++i) text[i] = source[i];
    }
};

struct Mapping {
    std::uint16_t unicode;
    std::uint16_t cp932;  // one byte when below 0x100
};

inline constexpr Mapping kMappings[] = {
#include "platform/text/cp932_table.inc"
};

// Not constexpr: reaching it while compiling makes the literal ill-formed,
// and the compiler's message names this function.
inline void character_has_no_cp932_form() {}
inline void literal_is_not_valid_utf8() {}

constexpr std::uint16_t Lookup(char32_t codePoint) {
    if (codePoint < 0x80) return static_cast<std::uint16_t>(codePoint);
    std::size_t low = 0, high = sizeof kMappings / sizeof kMappings[0];
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (kMappings[middle].unicode < codePoint) low = middle + 1;
        else high = middle;
    }
    if (low == sizeof kMappings / sizeof kMappings[0] || kMappings[low].unicode != codePoint)
        character_has_no_cp932_form();
    return kMappings[low].cp932;
}

// Decodes the UTF-8 character at text[i] (the text is NUL-terminated) and
// moves i past it.
constexpr char32_t DecodeUtf8(const char8_t* text, std::size_t& i) {
    const unsigned lead = text[i++];
    if (lead < 0x80) return lead;
    const int trail = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
    if (trail < 0) literal_is_not_valid_utf8();
    char32_t codePoint = lead & (0x3F >> trail);
    for (int k = 0; k < trail; ++k) {
        const unsigned next = text[i++];
        if ((next & 0xC0) != 0x80) literal_is_not_valid_utf8();
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if ((trail == 2 && codePoint < 0x800) || (trail == 3 && codePoint < 0x10000)) literal_is_not_valid_utf8();
    return codePoint;
}

/// The converted bytes; CP932 never takes more bytes than UTF-8 for a
/// character, so the literal's own size holds them with their NUL.
template <std::size_t N>
struct Cp932Text {
    char text[N] = {};
};

template <Utf8Literal L>
constexpr auto Convert() {
    constexpr std::size_t size = sizeof L.text;
    Cp932Text<size> out;
    std::size_t o = 0;
    for (std::size_t i = 0; i + 1 < size && L.text[i] != 0;) {
        const std::uint16_t code = Lookup(DecodeUtf8(L.text, i));
        if (code > 0xFF) out.text[o++] = static_cast<char>(code >> 8);
        out.text[o++] = static_cast<char>(code & 0xFF);
    }
    return out;
}

template <Utf8Literal L>
inline constexpr Cp932Text<sizeof L.text> kConverted = Convert<L>();

}  // namespace plat::cp932_literal

/// u8"..."_cp932: the literal's text in code page 932, converted while compiling.
template <plat::cp932_literal::Utf8Literal L>
constexpr const char* operator""_cp932() {
    return plat::cp932_literal::kConverted<L>.text;
}
