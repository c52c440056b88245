#include "ascii.h"
#include "cp1252.h"
#include "number_groups.h"
#include "paths.h"
#include "utf16.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace carrowin::text;

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

// Every reader shares this decoder: what it refuses, a name or a registry string refuses.
TEST(Utf8, RefusesOverlongFormsSurrogatesAndCutSequences)
{
    for (const char* bad : {"\xC0\x80", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xE2\x82", "\x80", "\xF8\x88\x80\x80\x80"}) {
        SCOPED_TRACE(testing::PrintToString(bad));
        EXPECT_EQ(decodeUtf8(bad, 0).length, 0u);
        EXPECT_FALSE(isValidUtf8(bad));
    }
    EXPECT_EQ(decodeUtf8("\xF4\x8F\xBF\xBF", 0).codePoint, U'\U0010FFFF');
    EXPECT_EQ(decodeUtf8("\xE2\x82\xAC", 0).length, 3u);
}

TEST(Utf16, LengthCountsSurrogatePairsTwice)
{
    EXPECT_EQ(utf16Length(""), 0u);
    EXPECT_EQ(utf16Length("a\u00FC\u20AC"), 3u);
    EXPECT_EQ(utf16Length("\U0001F600x"), 3u);
    EXPECT_EQ(utf16Length("\xFC\xFC"), 2u); // invalid bytes become one replacement each
}

TEST(Utf16, PairsBecomeOneCharacterAndLoneSurrogatesAReplacement)
{
    std::u16string units;
    appendUtf16(units, U'\U0001F600');
    appendUtf16(units, U'a');
    EXPECT_EQ(units.size(), 3u);
    EXPECT_EQ(utf8FromUtf16(units), "\U0001F600a");
    EXPECT_EQ(utf8FromUtf16(u"\xD800x\xDC00"), "\uFFFDx\uFFFD");
}

TEST(Ascii, FoldsAsciiLettersOnlyWhateverTheLocale)
{
    // A locale in which the C library folds bytes above 127, where the system has one.
    if (std::setlocale(LC_ALL, "tr_TR.ISO-8859-9") == nullptr)
        std::setlocale(LC_ALL, "de_DE.ISO-8859-1");
    EXPECT_EQ(asciiLowered("INBOX.MBX \xC4\xDD"), "inbox.mbx \xC4\xDD");
    EXPECT_TRUE(equalsIgnoringAsciiCase("Subject", "SUBJECT"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xC4", "\xE4"));
    EXPECT_TRUE(endsWithIgnoringAsciiCase("Inbox.MBX", ".mbx"));
    EXPECT_FALSE(endsWithIgnoringAsciiCase("mbx", ".mbx"));
    EXPECT_TRUE(lessIgnoringAsciiCase("apple", "Banana"));
    EXPECT_FALSE(lessIgnoringAsciiCase("Banana", "apple"));
    EXPECT_TRUE(lessIgnoringAsciiCase("Inbox", "inbox")); // a tie goes by the bytes: the order is total
    EXPECT_FALSE(lessIgnoringAsciiCase("inbox", "Inbox"));
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(hexValue('f'), 15);
    EXPECT_EQ(hexValue('A'), 10);
    EXPECT_EQ(hexValue('g'), -1);
    EXPECT_EQ(trimSpaces("  a\tb  "), "a\tb");
}

TEST(NumberGroups, FindsEachParenthesisedWholeNumber)
{
    struct Case {
        std::string_view name;
        std::vector<std::pair<std::size_t, std::size_t>> groups;
    };
    const std::vector<Case> cases{
        {"Lunch(2).eml", {{5, 7}}},
        {"Backup (old)(1)", {{12, 14}}},
        {"(x(12)", {{2, 5}}},    // the first "(" has text before its ")"
        {"a(1)b(22)", {{1, 3}, {5, 8}}},
        {"a()b", {}},
        {"a(1", {}},              // no ")" after the "(": the end
        {"a(b(1", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<std::size_t, std::size_t>> found;
        for (auto g = nextNumberGroup(c.name); g; g = nextNumberGroup(c.name, g->open + 1))
            found.emplace_back(g->open, g->close);
        EXPECT_EQ(found, c.groups);
    }
}

TEST(Paths, JoinWithOneSeparatorAndTakeAnEmptyFolderAsNone)
{
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(joinPath("out", "a.eml"), "out" + sep + "a.eml");
    EXPECT_EQ(joinPath("out" + sep, "a.eml"), "out" + sep + "a.eml");
    EXPECT_EQ(joinPath("", "a.eml"), "a.eml");
    EXPECT_EQ(utf8FromPath(pathFromUtf8("Gr\u00FC\u00DFe/\U0001F600")), "Gr\u00FC\u00DFe/\U0001F600");
}
