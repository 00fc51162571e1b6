// CP932 decoding through iconv, one character at a time so that a bad
// sequence costs one replacement character and never the rest of the text.
#include "platform/text/cp932.h"

#include <iconv.h>

#include <cstring>
#include <mutex>

namespace plat {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    // The first of the names the C library knows (the web's knows code page
    // 932 only by the name of the Shift_JIS it extends).
    Converter(const char* to, const char* from, const char* toOther, const char* fromOther)
        : Converter(to, from) {
        if (handle_ == reinterpret_cast<iconv_t>(-1)) handle_ = iconv_open(toOther, fromOther);
    }
    ~Converter() {
        if (handle_ != reinterpret_cast<iconv_t>(-1)) iconv_close(handle_);
    }
    // Converts a whole buffer; false if any byte cannot be converted.
    bool Convert(const char* in, std::size_t inLen, char* out, std::size_t outCap, std::size_t& outLen) {
        if (handle_ == reinterpret_cast<iconv_t>(-1)) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        char* dst = out;
        std::size_t srcLeft = inLen, dstLeft = outCap;
        std::size_t r = iconv(handle_, &src, &srcLeft, &dst, &dstLeft);
        outLen = outCap - dstLeft;
        return r != static_cast<std::size_t>(-1) && srcLeft == 0;
    }

private:
    iconv_t handle_;
    std::mutex mutex_;
};

Converter& ToUtf32() {
    static Converter c("UTF-32LE", "CP932", "UTF-32LE", "SHIFT_JIS");
    return c;
}

Converter& FromUtf8() {
    static Converter c("CP932", "UTF-8", "SHIFT_JIS", "UTF-8");
    return c;
}

char32_t ConvertOne(const char* bytes, std::size_t n) {
    char out[8];
    std::size_t outLen = 0;
    if (!ToUtf32().Convert(bytes, n, out, sizeof out, outLen) || outLen != 4) return kReplacement;
    const auto* u = reinterpret_cast<const unsigned char*>(out);
    return static_cast<char32_t>(u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<std::uint32_t>(u[3]) << 24));
}

// Looks a one- or two-byte code up once through iconv and remembers the
// answer (text is decoded on the main thread only).
char32_t DecodeOne(const char* bytes, std::size_t n) {
    static char32_t known[65536] = {};  // 0: not looked up yet
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const std::size_t code = n == 2 ? (b0 << 8) | static_cast<unsigned char>(bytes[1]) : b0;
    if (known[code] == 0) known[code] = ConvertOne(bytes, n);
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
    std::string out(utf8.size() * 2 + 4, '\0');
    std::size_t len = 0;
    if (FromUtf8().Convert(utf8.data(), utf8.size(), out.data(), out.size(), len)) {
        out.resize(len);
        return out;
    }
    // Convert character by character, so that only the characters without a
    // CP932 form (and malformed bytes) become '?' and the rest is kept.
    out.clear();
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = Utf8SequenceLength(utf8, i);
        char buffer[4];
        if (FromUtf8().Convert(utf8.data() + i, n, buffer, sizeof buffer, len)) out.append(buffer, len);
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
