// Windows-1251 text at the file boundary.
#include "files/cp1251.h"

#include <gtest/gtest.h>

namespace hrv {
namespace {

TEST(Cp1251, RussianTextRoundTripsThroughItsSingleBytes) {
    const std::string text = "Ёлка ёж №5 «Пульс» — АБВабвЯя";
    const std::string bytes = Utf8ToCp1251(text);
    ASSERT_EQ(bytes.size(), 29u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xA8);                // Ё
    EXPECT_EQ(static_cast<unsigned char>(bytes[5]), 0xB8);                // ё
    EXPECT_EQ(static_cast<unsigned char>(bytes[8]), 0xB9);                // №
    EXPECT_EQ(static_cast<unsigned char>(bytes[bytes.size() - 1]), 0xFF); // я
    EXPECT_EQ(Cp1251ToUtf8(bytes), text);
}

TEST(Cp1251, EveryByteDecodesAndEncodesBack) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(Cp1251, CharactersWithoutAByteBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD"
                           "b"),
              "a?b"); // a CJK character
    EXPECT_EQ(Utf8ToCp1251("\xFF"
                           "x"),
              "?x"); // malformed UTF-8
    // Overlong forms of '/' and 'А', a surrogate and a cut sequence are no characters.
    EXPECT_EQ(Utf8ToCp1251("\xC0\xAF"), "??");
    EXPECT_EQ(Utf8ToCp1251("\xE0\x84\x90"), "???");
    EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???");
    EXPECT_EQ(Utf8ToCp1251("\xD0"), "?");
}

} // namespace
} // namespace hrv
