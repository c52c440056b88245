#include "text.h"

#include <gtest/gtest.h>

using namespace carrowin::extract;

TEST(Cp1252, MapsTheUpperControlRowAsWindowsDoes)
{
    EXPECT_EQ(codePointOfCp1252(0x80), U'\u20AC');
    EXPECT_EQ(codePointOfCp1252(0x9F), U'\u0178');
    for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(codePointOfCp1252(undefined), char32_t{undefined});
    EXPECT_EQ(codePointOfCp1252(0xFC), U'\u00FC');
    EXPECT_EQ(utf8FromCp1252("J\xF6rg \x80"), "J\u00F6rg \u20AC");
}

TEST(Utf8, CountsAndCutsWholeCharacters)
{
    const std::string s = "a\u00FC\u20AC\U0001F600";
    EXPECT_EQ(countCharacters(s), 4u);
    EXPECT_EQ(byteLengthOfCharacters(s, 2), 3u);
    EXPECT_EQ(byteLengthOfCharacters(s, 9), s.size());
    EXPECT_EQ(byteLengthWithoutLastCharacter(s), s.size() - 4);
    EXPECT_TRUE(isValidUtf8(s));
    EXPECT_FALSE(isValidUtf8("\xFC"));
    EXPECT_EQ(countCharacters("\xFC\xFC"), 2u);
}

TEST(Utf16, LengthCountsSurrogatePairsTwice)
{
    EXPECT_EQ(utf16Length(""), 0u);
    EXPECT_EQ(utf16Length("a\u00FC\u20AC"), 3u);
    EXPECT_EQ(utf16Length("\U0001F600x"), 3u);
    EXPECT_EQ(utf16Length("\xFC\xFC"), 2u); // invalid bytes become one replacement each
}
