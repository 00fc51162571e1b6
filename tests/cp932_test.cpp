// Code page 932 lead bytes: the upper ranges 0x98-0x9F and 0xE0-0xFC start
// two-byte characters as the lower ones do, whatever their second byte.
#include <gtest/gtest.h>

#include <string>

#include "platform/text/cp932.h"

namespace {

TEST(Cp932LeadBytes, UpperRangesStartTwoByteCharacters) {
    const struct {
        const char* bytes;
        char32_t cp;
    } cases[] = {{"\x98\x9F", 0x5F0C}, {"\x9F\x40", 0x6A97}, {"\xE0\x40", 0x6F3E},
                 {"\xE9\x5C", 0x9945}, {"\xFA\x40", 0x2170}, {"\xFA\x5C", 0x7E8A}, {"\xFC\x4B", 0x9ED1}};
    for (const auto& c : cases) {
        const std::string text = std::string("a") + c.bytes + "b";
        EXPECT_EQ(plat::DecodeCp932(text.c_str()), (std::u32string{U'a', c.cp, U'b'})) << text;
        EXPECT_TRUE(plat::IsLeadByte(static_cast<unsigned char>(c.bytes[0])));
    }
    // A second byte of 0x5C is no backslash: the UTF-8 form has none.
    EXPECT_EQ(plat::Cp932ToUtf8("\xFA\x5C"), std::string(reinterpret_cast<const char*>(u8"\u7E8A")));
    // Bytes outside the lead ranges stand alone.
    for (unsigned char single : {0x80, 0xA0, 0xA1, 0xDF, 0xFD, 0xFE, 0xFF}) {
        const char text[] = {static_cast<char>(single), 0x40, 0};
        EXPECT_EQ(plat::DecodeCp932(text).size(), 2u) << std::hex << int{single};
        EXPECT_FALSE(plat::IsLeadByte(single));
    }
    EXPECT_TRUE(plat::IsLeadByte(0x81) && plat::IsLeadByte(0x97) && plat::IsLeadByte(0xEF));
}

}  // namespace
