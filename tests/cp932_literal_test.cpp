// Japanese literals converted while compiling: the table agrees with the
// run-time conversion character for character, the literal operator gives
// those bytes, and no narrow literal with Japanese text is left in the
// engine's, the game's or the showcase's sources (clang would compile it
// to UTF-8 and the engine would show garbage).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/text/cp932.h"
#include "platform/text/cp932_literal.h"

namespace {

// The bytes of a literal's CP932 code in a string.
std::string Bytes(std::uint16_t code) {
    std::string bytes;
    if (code > 0xFF) bytes += static_cast<char>(code >> 8);
    bytes += static_cast<char>(code & 0xFF);
    return bytes;
}

std::string Utf8Of(char32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

TEST(Cp932Literal, TableMatchesTheRunTimeConversionForEveryCharacter) {
    const auto& table = plat::cp932_literal::kMappings;
    std::size_t next = 0, mapped = 0;
    for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string runTime = plat::Utf8ToCp932(Utf8Of(cp));
        if (runTime == "?") continue;  // no CP932 form
        ++mapped;
        ASSERT_LT(next, std::size(table)) << "U+" << std::hex << static_cast<std::uint32_t>(cp) << " is missing from the table";
        ASSERT_EQ(table[next].unicode, cp) << "the table is out of order or lacks U+" << std::hex << static_cast<std::uint32_t>(cp);
        EXPECT_EQ(Bytes(table[next].cp932), runTime) << "U+" << std::hex << static_cast<std::uint32_t>(cp);
        ++next;
    }
    EXPECT_EQ(mapped, std::size(table));
    for (char32_t cp = 1; cp < 0x80; ++cp) EXPECT_EQ(plat::Utf8ToCp932(Utf8Of(cp)), Utf8Of(cp));
}

TEST(Cp932Literal, GivesTheRunTimeBytesWithTrailBackslashesAndHalfWidthKana) {
    // ソ and 表 end in 0x5C, the code of '\'; ｱ (half-width) is one byte.
    static_assert(u8"ソ"_cp932[0] == '\x83' && u8"ソ"_cp932[1] == '\x5C' && u8"ソ"_cp932[2] == '\0');
    static_assert(u8"ｱ"_cp932[0] == '\xB1' && u8"ｱ"_cp932[1] == '\0');
    const struct {
        const char* literal;
        const char8_t* utf8;
    } cases[] = {{u8"表示ソフト"_cp932, u8"表示ソフト"},
                 {u8"a\\b\n"_cp932, u8"a\\b\n"},
                 {u8"ﾎﾟｺﾀﾝﾊﾞ ポコタンバ！ ①Ⅱ㈱"_cp932, u8"ﾎﾟｺﾀﾝﾊﾞ ポコタンバ！ ①Ⅱ㈱"},
                 {u8""_cp932, u8""}};
    for (const auto& c : cases) {
        const std::string utf8(reinterpret_cast<const char*>(c.utf8));
        EXPECT_EQ(std::string(c.literal), plat::Utf8ToCp932(utf8)) << utf8;
        EXPECT_EQ(plat::Cp932ToUtf8(c.literal), utf8);
    }
    // One literal is one object wherever it is written.
    EXPECT_EQ(static_cast<const void*>(u8"鐘"_cp932), static_cast<const void*>(u8"鐘"_cp932));
}

// Narrow string literals (no prefix) holding bytes above ASCII, as
// "file:line" entries; comments and character literals are skipped.
std::string NarrowJapaneseLiterals(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string s = buffer.str();
    std::string found;
    int line = 1;
    auto skipTo = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < s.size(); ++k) line += s[k] == '\n';
        return to;
    };
    for (std::size_t i = 0; i < s.size();) {
        if (s.compare(i, 2, "//") == 0) {
            i = skipTo(i, s.find('\n', i));
        } else if (s.compare(i, 2, "/*") == 0) {
            const std::size_t end = s.find("*/", i);
            i = skipTo(i, end == std::string::npos ? s.size() : end + 2);
        } else if (s[i] == '"' || s[i] == '\'') {
            const char quote = s[i];
            const bool prefixed = i > 0 && (std::isalnum(static_cast<unsigned char>(s[i - 1])) || s[i - 1] == '_');
            std::size_t j = i + 1;
            bool wide = false;
            while (j < s.size() && s[j] != quote && s[j] != '\n') {
                wide |= static_cast<unsigned char>(s[j]) >= 0x80;
                j += s[j] == '\\' ? 2 : 1;
            }
            if (quote == '"' && wide && !prefixed) found += file.string() + ":" + std::to_string(line) + "\n";
            i = skipTo(i, j + 1);
        } else {
            line += s[i] == '\n';
            ++i;
        }
    }
    return found;
}

TEST(Cp932Literal, EngineGameAndShowcaseSourcesHoldNoNarrowJapaneseLiterals) {
    const std::filesystem::path root = KR_SOURCE_DIR;
    std::string found;
    std::size_t scanned = 0;
    for (const char* folder : {"system", "input", "draw", "sound", "platform", "driver", "game", "showcase", "tools"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
            const auto ext = entry.path().extension();
            if (ext != ".cpp" && ext != ".h" && ext != ".inc") continue;
            found += NarrowJapaneseLiterals(entry.path());
            ++scanned;
        }
    }
    EXPECT_GT(scanned, 50u);
    EXPECT_EQ(found, "") << "write Japanese text as u8\"...\"_cp932 (platform/text/cp932_literal.h)";
}

}  // namespace
