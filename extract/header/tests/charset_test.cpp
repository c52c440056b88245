// The one table of character sets, read the same on every system: each set's sample, as
// an independent encoder wrote it, read back under its name and every alias.
#include "charset.h"

#include <gtest/gtest.h>

#include <string>

using namespace carrowin::extract;

namespace {

struct Sample {
    std::string_view charset;
    std::string bytes;
    std::string_view utf8;
};

// One sample for every set of the table, with the characters that tell it from others.
const Sample kSamples[] = {
        {"utf-8", std::string("Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC", 11), "Gr\u00FC\u00DFe \u20AC"},
        {"us-ascii", std::string("plain text", 10), "plain text"},
        {"utf-16", std::string("\xFF\xFEG\x00r\x00\xFC\x00\xDF\x00\x65\x00", 12), "Gr\u00FC\u00DFe"},
        {"utf-16le", std::string("G\x00r\x00\xFC\x00\xDF\x00\x65\x00", 10), "Gr\u00FC\u00DFe"},
        {"utf-16be", std::string("\x00G\x00r\x00\xFC\x00\xDF\x00\x65", 10), "Gr\u00FC\u00DFe"},
        {"windows-1252", std::string("Gr\xFC\xDF\x65 \x80\x99", 8), "Gr\u00FC\u00DFe \u20AC\u2122"},
        {"utf-7", std::string("Gr+APwA3w-e +IKw-", 17), "Gr\u00FC\u00DFe \u20AC"},
        {"iso-8859-1", std::string("Gr\xFC\xDF\x65 \xFF", 7), "Gr\u00FC\u00DFe \u00FF"},
        {"iso-8859-2", std::string("\xA3\xF3\x64\xBC \xAElu\xBBou\xE8k\xFD", 14), "\u0141\u00F3d\u017A \u017Dlu\u0165ou\u010Dk\u00FD"},
        {"iso-8859-3", std::string("\xA1\xE6 \xF8\xFD", 5), "\u0126\u0109 \u011D\u016D"},
        {"iso-8859-4", std::string("\xA1\xE8\xEA\xEC \xB3", 6), "\u0104\u010D\u0119\u0117 \u0157"},
        {"iso-8859-5", std::string("\xBF\xE0\xD8\xD2\xD5\xE2", 6), "\u041F\u0440\u0438\u0432\u0435\u0442"},
        {"iso-8859-6", std::string("\xE5\xD1\xCD\xC8\xC7", 5), "\u0645\u0631\u062D\u0628\u0627"},
        {"iso-8859-7", std::string("\xCA\xE1\xEB\xE7\xEC\xDD\xF1\xE1", 8), "\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1"},
        {"iso-8859-8", std::string("\xF9\xEC\xE5\xED", 4), "\u05E9\u05DC\u05D5\u05DD"},
        {"iso-8859-8-i", std::string("\xF9\xEC\xE5\xED", 4), "\u05E9\u05DC\u05D5\u05DD"},
        {"iso-8859-9", std::string("\xD0\xFC\xFE\xDD", 4), "\u011E\u00FC\u015F\u0130"},
        {"iso-8859-13", std::string("\xC0\xE8\xE6\xEB\xE1\xF0\xF8\xFB\xFE", 9), "\u0104\u010D\u0119\u0117\u012F\u0161\u0173\u016B\u017E"},
        {"iso-8859-15", std::string("\xA4 \xBC\xBD \xBE", 6), "\u20AC \u0152\u0153 \u0178"},
        {"iso-8859-10", std::string("\xAF\xBB \xFF \xC0", 6), "\u014A\u0167 \u0138 \u0100"},
        {"iso-8859-14", std::string("\xA1\xAB \xD0\xFE", 5), "\u1E02\u1E0B \u0174\u0177"},
        {"iso-8859-16", std::string("\xAA\xBA \xDE\xFE \xA4", 7), "\u0218\u0219 \u021A\u021B \u20AC"},
        {"windows-1250", std::string("\xA3\xF3\x64\x9F \x80", 6), "\u0141\u00F3d\u017A \u20AC"},
        {"windows-1251", std::string("\xCF\xF0\xE8\xE2\xE5\xF2 \x88", 8), "\u041F\u0440\u0438\u0432\u0435\u0442 \u20AC"},
        {"windows-1253", std::string("\xCA\xE1\xEB\xE7\xEC\xDD\xF1\xE1", 8), "\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1"},
        {"windows-1254", std::string("\xD0\xFC\xFE\xDD", 4), "\u011E\u00FC\u015F\u0130"},
        {"windows-1255", std::string("\xF9\xEC\xE5\xED \xA4", 6), "\u05E9\u05DC\u05D5\u05DD \u20AA"},
        {"windows-1256", std::string("\xE3\xD1\xCD\xC8\xC7", 5), "\u0645\u0631\u062D\u0628\u0627"},
        {"windows-1257", std::string("\xC0\xE8\xE6\xEB", 4), "\u0104\u010D\u0119\u0117"},
        {"windows-1258", std::string("\xD0\xF4ng \xFE", 6), "\u0110\u00F4ng \u20AB"},
        {"windows-874", std::string("\xCA\xC7\xD1\xCA\xB4\xD5", 6), "\u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35"},
        {"koi8-r", std::string("\xF0\xD2\xC9\xD7\xC5\xD4", 6), "\u041F\u0440\u0438\u0432\u0435\u0442"},
        {"koi8-u", std::string("\xF0\xD2\xC9\xD7\xA6\xD4 \xBD", 8), "\u041F\u0440\u0438\u0432\u0456\u0442 \u0490"},
        {"ibm437", std::string("\x80\xC9\xCD\xBB", 4), "\u00C7\u2554\u2550\u2557"},
        {"ibm850", std::string("\x80 \x98 \x9D", 5), "\u00C7 \u00FF \u00D8"},
        {"ibm852", std::string("\x9D\xA2\x64\xAB", 4), "\u0141\u00F3d\u017A"},
        {"ibm866", std::string("\x8F\xE0\xA8\xA2\xA5\xE2", 6), "\u041F\u0440\u0438\u0432\u0435\u0442"},
        {"shift_jis", std::string("\x93\xFA\x96{\x8C\xEA \xB6\xC5", 9), "\u65E5\u672C\u8A9E \uFF76\uFF85"},
        {"euc-jp", std::string("\xC6\xFC\xCB\xDC\xB8\xEC", 6), "\u65E5\u672C\u8A9E"},
        {"iso-2022-jp", std::string("\x1B$BF|K\x5C\x38l\x1B(B", 12), "\u65E5\u672C\u8A9E"},
        {"gbk", std::string("\xD6\xD0\xCE\xC4 \xBA\xBA\xD7\xD6", 9), "\u4E2D\u6587 \u6C49\u5B57"},
        {"gb18030", std::string("\xD6\xD0\xCE\xC4 \x81\x30\x84\x36", 9), "\u4E2D\u6587 \u00A5"},
        {"hz-gb-2312", std::string("~{VPND~} and ~~", 15), "\u4E2D\u6587 and ~"},
        {"big5", std::string("\xA4\xA4\xA4\xE5 \xC1\x63\xC5\xE9", 9), "\u4E2D\u6587 \u7E41\u9AD4"},
        {"euc-kr", std::string("\xC7\xD1\xB1\xB9\xBE\xEE \x8C\x63", 9), "\uD55C\uAD6D\uC5B4 \uB620"},
        {"iso-2022-kr", std::string("\x1B$)C\x0EGQ19>n\x0F", 12), "\uD55C\uAD6D\uC5B4"},
        {"macintosh", std::string("Gr\x9F\xA7\x65 \xC4", 7), "Gr\u00FC\u00DFe \u0192"},
        {"x-mac-cyrillic", std::string("\x8F\xF0\xE8\xE2\xE5\xF2", 6), "\u041F\u0440\u0438\u0432\u0435\u0442"},
};

} // namespace

TEST(Charsets, EverySetOfTheTableReadsItsSampleUnderEveryName)
{
    for (const Charset& set : knownCharsets()) {
        const Sample* sample = nullptr;
        for (const Sample& s : kSamples)
            if (s.charset == set.name)
                sample = &s;
        ASSERT_NE(sample, nullptr) << set.name << " has no sample";
        if (set.decoder == Decoder::System && !systemHasCharset(set)) {
            EXPECT_EQ(set.name, "gb18030") << "the system lacks a set of the table";
            continue; // Wine 8 has no code page 54936; Windows has
        }
        std::vector<std::string> names{std::string(set.name), std::string(set.name)};
        for (char& c : names.back()) // any case
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        for (std::string_view rest = set.aliases; !rest.empty();) {
            const std::size_t space = rest.find(' ');
            names.emplace_back(rest.substr(0, space));
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        }
        for (const std::string& name : names) {
            EXPECT_EQ(findCharset(name), &set) << name;
            EXPECT_EQ(utf8FromCharset(sample->bytes, name), std::string(sample->utf8)) << name;
        }
    }
}

TEST(Charsets, WhatIsNotInTheTableOrNotTextInTheSetIsNone)
{
    const struct {
        const char* charset;
        std::string bytes;
    } cases[] = {
        {"x-unknown", "abc"},
        {"ks c 5601 1987", "abc"}, // a name as a broken mailer wrote it
        {"utf-8", "caf\xC3"},
        {"utf-8", "\xED\xA0\x80"}, // a surrogate
        {"us-ascii", "caf\xE9"},
        {"utf-16le", std::string("a\0b", 3)}, // an odd length
        {"shift_jis", "\x81"},               // a lead byte without its second
        {"hz-gb-2312", "~{VPN"},              // half a pair
        {"hz-gb-2312", "~x"},
        {"iso-2022-jp", "\x1B$BF"},      // half a pair
        {"iso-2022-jp", "\x1B$(Dabcd"},  // a set it does not read
        {"iso-2022-kr", "\x0E\xC7\xD1"}, // 8-bit bytes
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8FromCharset(c.bytes, c.charset), std::nullopt) << c.charset << " " << c.bytes;
    // Nothing, or only shifts, is the empty text on both systems.
    for (const char* charset : {"hz-gb-2312", "iso-2022-jp", "iso-2022-kr", "koi8-r", "utf-16"}) {
        EXPECT_EQ(utf8FromCharset("", charset), "") << charset;
    }
    EXPECT_EQ(utf8FromCharset("\x1B$B\x1B(B", "iso-2022-jp"), "");
    EXPECT_EQ(utf8FromCharset("~{~}", "hz-gb-2312"), "");
    // UTF-16 without a byte order mark is big-endian.
    EXPECT_EQ(utf8FromCharset(std::string("\0G\0r", 4), "utf-16"), "Gr");
    EXPECT_EQ(utf8FromCharset(std::string("\xFE\xFF\0G", 4), "utf-16"), "G");
}
