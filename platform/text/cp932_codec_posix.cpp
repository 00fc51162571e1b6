// Code page 932 through iconv (glibc's CP932 table follows the Windows one).
#include <iconv.h>

#include <cstdint>
#include <mutex>

#include "platform/text/cp932_codec.h"

namespace plat {
namespace {

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

}  // namespace

char32_t DecodeCp932Char(const char* bytes, std::size_t n) {
    char out[8];
    std::size_t outLen = 0;
    if (!ToUtf32().Convert(bytes, n, out, sizeof out, outLen) || outLen != 4) return 0;
    const auto* u = reinterpret_cast<const unsigned char*>(out);
    return static_cast<char32_t>(u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<std::uint32_t>(u[3]) << 24));
}

bool EncodeCp932(const char* utf8, std::size_t n, std::string& out) {
    std::string buffer(n * 2 + 4, '\0');
    std::size_t len = 0;
    if (!FromUtf8().Convert(utf8, n, buffer.data(), buffer.size(), len)) return false;
    out.append(buffer.data(), len);
    return true;
}

}  // namespace plat
