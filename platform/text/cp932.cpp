// CP932 decoding, one character at a time so that a bad sequence costs one
// replacement character and never the rest of the text. The conversions
// themselves are the system's (cp932_codec.h).
#include "platform/text/cp932.h"

#include <cstring>

#include "platform/text/cp932_codec.h"

namespace plat {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Looks a one- or two-byte code up once through the system's converter and
// remembers the answer (text is decoded on the main thread only).
char32_t DecodeOne(const char* bytes, std::size_t n) {
    static char32_t known[65536] = {};  // 0: not looked up yet
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const std::size_t code = n == 2 ? (b0 << 8) | static_cast<unsigned char>(bytes[1]) : b0;
    if (known[code] == 0) {
        const char32_t cp = DecodeCp932Char(bytes, n);
        known[code] = cp ? cp : kReplacement;
    }
    return known[code];
}

// Bytes of the UTF-8 sequence starting at text[i]: what its lead byte
// announces, cut short at the first byte that cannot continue it, so a
// malformed sequence never swallows the character after it.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t announced = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t n = 1;
    while (n < announced && i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
    return n;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::u32string DecodeCp932(const char* text, std::size_t maxBytes) {
    std::u32string out;
    if (!text) return out;
    for (std::size_t i = 0; i < maxBytes && text[i] != '\0';) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char32_t>(c);
            ++i;
        } else if (IsLeadByte(c)) {
            if (i + 1 >= maxBytes || text[i + 1] == '\0') {
                out += kReplacement;
                ++i;
            } else {
                out += DecodeOne(text + i, 2);
                i += 2;
            }
        } else {
            out += DecodeOne(text + i, 1);  // half-width katakana and the odd single bytes
            ++i;
        }
    }
    return out;
}

std::string Cp932ToUtf8(const char* text) {
    std::string out;
    for (char32_t cp : DecodeCp932(text)) AppendUtf8(out, cp);
    return out;
}

std::string Utf8ToCp932(const std::string& utf8) {
    std::string out;
    if (EncodeCp932(utf8.data(), utf8.size(), out)) return out;
    // Convert character by character, so that only the characters without a
    // CP932 form (and malformed bytes) become '?' and the rest is kept.
    out.clear();
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = Utf8SequenceLength(utf8, i);
        std::string one;
        if (EncodeCp932(utf8.data() + i, n, one)) out += one;
        else out += '?';
        i += n;
    }
    return out;
}

std::string UpperCase(const std::string& text) {
    std::string upper = text;
    for (std::size_t i = 0; i < upper.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(upper[i]);
        if (IsLeadByte(c)) {
            ++i;  // the second byte may look like a letter
        } else if (c >= 'a' && c <= 'z') {
            upper[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

}  // namespace plat
