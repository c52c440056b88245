#include "charset.h"

#include "ascii.h"
#include "cp1252.h"
#include "utf16.h"
#include "utf8.h"

#include <array>

namespace carrowin::extract {
namespace {

// ISO-8859-10, bytes 0xA0 to 0xFF.
constexpr std::array<char16_t, 96> kIso8859_10{
    0x00A0, 0x0104, 0x0112, 0x0122, 0x012A, 0x0128, 0x0136, 0x00A7, 0x013B, 0x0110, 0x0160, 0x0166,
    0x017D, 0x00AD, 0x016A, 0x014A, 0x00B0, 0x0105, 0x0113, 0x0123, 0x012B, 0x0129, 0x0137, 0x00B7,
    0x013C, 0x0111, 0x0161, 0x0167, 0x017E, 0x2015, 0x016B, 0x014B, 0x0100, 0x00C1, 0x00C2, 0x00C3,
    0x00C4, 0x00C5, 0x00C6, 0x012E, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x0116, 0x00CD, 0x00CE, 0x00CF,
    0x00D0, 0x0145, 0x014C, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x0168, 0x00D8, 0x0172, 0x00DA, 0x00DB,
    0x00DC, 0x00DD, 0x00DE, 0x00DF, 0x0101, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x012F,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x0117, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x0146, 0x014D, 0x00F3,
    0x00F4, 0x00F5, 0x00F6, 0x0169, 0x00F8, 0x0173, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x0138,
};
// ISO-8859-14, bytes 0xA0 to 0xFF.
constexpr std::array<char16_t, 96> kIso8859_14{
    0x00A0, 0x1E02, 0x1E03, 0x00A3, 0x010A, 0x010B, 0x1E0A, 0x00A7, 0x1E80, 0x00A9, 0x1E82, 0x1E0B,
    0x1EF2, 0x00AD, 0x00AE, 0x0178, 0x1E1E, 0x1E1F, 0x0120, 0x0121, 0x1E40, 0x1E41, 0x00B6, 0x1E56,
    0x1E81, 0x1E57, 0x1E83, 0x1E60, 0x1EF3, 0x1E84, 0x1E85, 0x1E61, 0x00C0, 0x00C1, 0x00C2, 0x00C3,
    0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0174, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x1E6A, 0x00D8, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x00DD, 0x0176, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0175, 0x00F1, 0x00F2, 0x00F3,
    0x00F4, 0x00F5, 0x00F6, 0x1E6B, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x0177, 0x00FF,
};
// ISO-8859-16, bytes 0xA0 to 0xFF.
constexpr std::array<char16_t, 96> kIso8859_16{
    0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7, 0x0161, 0x00A9, 0x0218, 0x00AB,
    0x0179, 0x00AD, 0x017A, 0x017B, 0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
    0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0106, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A, 0x0170, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x0118, 0x021A, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x0144, 0x00F2, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x015B, 0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF,
};

// The IANA registry's names and aliases of the sets mail was written in, and the names
// mailers of the 1990s wrote beside them (x-sjis, ks_c_5601-1987, x-mac-roman...). A set
// is in the table only when both systems read it. Where a mailer's label is narrower than
// what it wrote (gb2312 for GBK, euc-kr and ks_c_5601-1987 for Windows' Korean, big5 and
// shift_jis for Windows' forms of them), the wider set reads it, as Windows does.
constexpr std::array kCharsets{
    Charset{"utf-8", "utf8 unicode-1-1-utf-8 x-unicode20utf8", Decoder::Utf8},
    Charset{"us-ascii", "ascii ansi_x3.4-1968 ansi_x3.4-1986 iso646-us iso_646.irv:1991 us ibm367 cp367 iso-ir-6 csascii",
            Decoder::Ascii},
    Charset{"utf-16", "csutf16", Decoder::Utf16},
    Charset{"utf-16le", "csutf16le unicode", Decoder::Utf16Le},
    Charset{"utf-16be", "csutf16be unicodefffe", Decoder::Utf16Be},
    Charset{"windows-1252", "cp1252 x-cp1252 ms-ansi cswindows1252", Decoder::Cp1252},
    Charset{"utf-7", "unicode-1-1-utf-7 csunicode11utf7 x-unicode20utf7", Decoder::System, "UTF-7", 65000},
    Charset{"iso-8859-1", "iso_8859-1 iso_8859-1:1987 iso8859-1 iso-ir-100 latin1 l1 ibm819 cp819 csisolatin1",
            Decoder::System, "ISO-8859-1", 28591},
    Charset{"iso-8859-2", "iso_8859-2 iso_8859-2:1987 iso8859-2 iso-ir-101 latin2 l2 csisolatin2", Decoder::System,
            "ISO-8859-2", 28592},
    Charset{"iso-8859-3", "iso_8859-3 iso_8859-3:1988 iso8859-3 iso-ir-109 latin3 l3 csisolatin3", Decoder::System,
            "ISO-8859-3", 28593},
    Charset{"iso-8859-4", "iso_8859-4 iso_8859-4:1988 iso8859-4 iso-ir-110 latin4 l4 csisolatin4", Decoder::System,
            "ISO-8859-4", 28594},
    Charset{"iso-8859-5", "iso_8859-5 iso_8859-5:1988 iso8859-5 iso-ir-144 cyrillic csisolatincyrillic", Decoder::System,
            "ISO-8859-5", 28595},
    Charset{"iso-8859-6", "iso_8859-6 iso_8859-6:1987 iso8859-6 iso-ir-127 ecma-114 asmo-708 arabic csisolatinarabic",
            Decoder::System, "ISO-8859-6", 28596},
    Charset{"iso-8859-7", "iso_8859-7 iso_8859-7:1987 iso8859-7 iso-ir-126 elot_928 ecma-118 greek greek8 csisolatingreek",
            Decoder::System, "ISO-8859-7", 28597},
    Charset{"iso-8859-8", "iso_8859-8 iso_8859-8:1988 iso8859-8 iso-ir-138 hebrew csisolatinhebrew iso-8859-8-e "
                          "iso_8859-8-e csiso88598e",
            Decoder::System, "ISO-8859-8", 28598},
    // The same characters in logical order: the order changes how text is shown, not
    // which characters it holds.
    Charset{"iso-8859-8-i", "iso_8859-8-i csiso88598i", Decoder::System, "ISO-8859-8", 28598},
    Charset{"iso-8859-9", "iso_8859-9 iso_8859-9:1989 iso8859-9 iso-ir-148 latin5 l5 csisolatin5", Decoder::System,
            "ISO-8859-9", 28599},
    Charset{"iso-8859-13", "iso_8859-13 iso8859-13 latin7 l7 csiso885913", Decoder::System, "ISO-8859-13", 28603},
    Charset{"iso-8859-15", "iso_8859-15 iso8859-15 latin-9 latin9 l9 csiso885915", Decoder::System, "ISO-8859-15", 28605},
    Charset{"iso-8859-10", "iso_8859-10 iso_8859-10:1992 iso8859-10 iso-ir-157 latin6 l6 csisolatin6",
            Decoder::UpperHalf, {}, 0, &kIso8859_10},
    Charset{"iso-8859-14", "iso_8859-14 iso_8859-14:1998 iso8859-14 iso-ir-199 latin8 l8 iso-celtic csiso885914",
            Decoder::UpperHalf, {}, 0, &kIso8859_14},
    Charset{"iso-8859-16", "iso_8859-16 iso_8859-16:2001 iso8859-16 iso-ir-226 latin10 l10 csiso885916",
            Decoder::UpperHalf, {}, 0, &kIso8859_16},
    Charset{"windows-1250", "cp1250 x-cp1250 cswindows1250", Decoder::System, "CP1250", 1250},
    Charset{"windows-1251", "cp1251 x-cp1251 cswindows1251", Decoder::System, "CP1251", 1251},
    Charset{"windows-1253", "cp1253 x-cp1253 cswindows1253", Decoder::System, "CP1253", 1253},
    Charset{"windows-1254", "cp1254 x-cp1254 cswindows1254", Decoder::System, "CP1254", 1254},
    Charset{"windows-1255", "cp1255 x-cp1255 cswindows1255", Decoder::System, "CP1255", 1255},
    Charset{"windows-1256", "cp1256 x-cp1256 cswindows1256", Decoder::System, "CP1256", 1256},
    Charset{"windows-1257", "cp1257 x-cp1257 cswindows1257", Decoder::System, "CP1257", 1257},
    Charset{"windows-1258", "cp1258 x-cp1258 cswindows1258", Decoder::System, "CP1258", 1258},
    Charset{"windows-874", "cp874 x-cp874 tis-620 tis620 cstis620 iso-8859-11 cswindows874", Decoder::System, "CP874", 874},
    Charset{"koi8-r", "koi8 cskoi8r", Decoder::System, "KOI8-R", 20866},
    Charset{"koi8-u", "koi8-ru cskoi8u", Decoder::System, "KOI8-U", 21866},
    Charset{"ibm437", "cp437 437 cp-437 cspc8codepage437", Decoder::System, "CP437", 437},
    Charset{"ibm850", "cp850 850 cp-850 cspc850multilingual", Decoder::System, "CP850", 850},
    Charset{"ibm852", "cp852 852 cp-852 cspcp852", Decoder::System, "CP852", 852},
    Charset{"ibm866", "cp866 866 cp-866 csibm866", Decoder::System, "CP866", 866},
    Charset{"shift_jis", "shift-jis sjis x-sjis ms_kanji csshiftjis windows-31j cswindows31j cp932 x-ms-cp932",
            Decoder::System, "CP932", 932},
    Charset{"euc-jp", "x-euc-jp x-euc cseucpkdfmtjapanese extended_unix_code_packed_format_for_japanese",
            Decoder::System, "EUC-JP", 20932},
    Charset{"iso-2022-jp", "csiso2022jp", Decoder::Iso2022Jp},
    Charset{"gbk", "x-gbk cp936 ms936 windows-936 csgbk gb2312 csgb2312 gb_2312-80 gb_2312 chinese iso-ir-58 "
                   "csiso58gb231280 euc-cn x-euc-cn",
            Decoder::System, "CP936", 936},
    Charset{"gb18030", "csgb18030", Decoder::System, "GB18030", 54936},
    Charset{"hz-gb-2312", "hz", Decoder::Hz},
    Charset{"big5", "csbig5 x-x-big5 x-big5 big-5 cn-big5 cp950 ms950", Decoder::System, "CP950", 950},
    Charset{"euc-kr", "cseuckr ks_c_5601-1987 ks_c_5601-1989 ks_c_5601 ksc_5601 ksc5601 korean iso-ir-149 "
                      "csksc56011987 x-windows-949 windows-949 cp949 uhc",
            Decoder::System, "CP949", 949},
    Charset{"iso-2022-kr", "csiso2022kr", Decoder::Iso2022Kr},
    Charset{"macintosh", "mac x-mac-roman macroman csmacintosh", Decoder::System, "MACINTOSH", 10000},
    Charset{"x-mac-cyrillic", "maccyrillic", Decoder::System, "MAC-CYRILLIC", 10007},
};

// UTF-16 in the byte order given; with a byte order mark, in the order it says.
std::optional<std::string> utf8FromUtf16(std::string_view bytes, bool littleEndian, bool markMayTell)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    if (markMayTell && bytes.size() >= 2) {
        const auto a = static_cast<unsigned char>(bytes[0]);
        const auto b = static_cast<unsigned char>(bytes[1]);
        if ((a == 0xFE && b == 0xFF) || (a == 0xFF && b == 0xFE)) {
            littleEndian = a == 0xFF;
            bytes.remove_prefix(2);
        }
    }
    std::u16string units;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<char16_t>(littleEndian ? a | b << 8 : b | a << 8);
    }
    return text::utf8FromUtf16(units);
}

// HZ (RFC 1843): ASCII, where "~{" opens and "~}" closes GB 2312 text written as pairs of
// 7-bit bytes; "~~" is a tilde and "~" before a line end joins the lines. Read as the GB
// 2312 bytes it stands for, in the table's GBK.
std::optional<std::string> utf8FromHz(std::string_view bytes)
{
    std::string gb;
    bool inGb = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '~' && i + 1 < bytes.size()) {
            const char next = bytes[++i];
            if (next == '{' && !inGb)
                inGb = true;
            else if (next == '}' && inGb)
                inGb = false;
            else if (next == '~' && !inGb)
                gb += '~';
            else if (next != '\n' || inGb)
                return std::nullopt;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80)
            return std::nullopt;
        if (!inGb) {
            gb += c;
            continue;
        }
        if (i + 1 >= bytes.size() || byte < 0x21 || byte > 0x7E)
            return std::nullopt;
        const auto second = static_cast<unsigned char>(bytes[++i]);
        if (second < 0x21 || second > 0x7E)
            return std::nullopt;
        gb += static_cast<char>(byte | 0x80);
        gb += static_cast<char>(second | 0x80);
    }
    return gb.empty() ? std::string() : utf8FromSystemCharset(gb, *findCharset("gbk"));
}

// ISO-2022-JP (RFC 1468, with the half-width katakana mailers added) and ISO-2022-KR
// (RFC 1557): 7-bit text whose escape sequences or shifts switch between ASCII and a
// double-byte set written as pairs of 7-bit bytes. Read as the EUC bytes they stand for
// (the same sets with the high bit set), in the table's EUC-JP and Korean.
std::optional<std::string> utf8FromIso2022(std::string_view bytes, bool japanese)
{
    enum class Mode { Ascii, DoubleByte, Kana } mode = Mode::Ascii;
    std::string euc;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const std::string_view rest = bytes.substr(i);
        if (byte >= 0x80)
            return std::nullopt;
        if (byte == 0x1B) {
            if (japanese && (rest.starts_with("\x1B(B") || rest.starts_with("\x1B(J")))
                mode = Mode::Ascii;
            else if (japanese && (rest.starts_with("\x1B$B") || rest.starts_with("\x1B$@")))
                mode = Mode::DoubleByte;
            else if (japanese && rest.starts_with("\x1B(I"))
                mode = Mode::Kana;
            else if (!japanese && rest.starts_with("\x1B$)C"))
                ++i; // designates the Korean set for the shifts
            else
                return std::nullopt;
            i += 2;
        } else if (!japanese && (byte == 0x0E || byte == 0x0F)) {
            mode = byte == 0x0E ? Mode::DoubleByte : Mode::Ascii;
        } else if (mode == Mode::Ascii || byte < 0x21 || byte == 0x7F) {
            euc += static_cast<char>(byte);
        } else if (mode == Mode::Kana) {
            euc += '\x8E';
            euc += static_cast<char>(byte | 0x80);
        } else {
            const auto second = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[++i]) : 0;
            if (second < 0x21 || second > 0x7E)
                return std::nullopt;
            euc += static_cast<char>(byte | 0x80);
            euc += static_cast<char>(second | 0x80);
        }
    }
    if (euc.empty()) // the system would not be asked: Windows takes no empty text
        return std::string();
    return utf8FromSystemCharset(euc, *findCharset(japanese ? "euc-jp" : "euc-kr"));
}

bool namesIt(const Charset& set, std::string_view lowered)
{
    if (set.name == lowered)
        return true;
    for (std::string_view rest = set.aliases; !rest.empty();) {
        const std::size_t space = rest.find(' ');
        if (rest.substr(0, space) == lowered)
            return true;
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    }
    return false;
}

} // namespace

std::span<const Charset> knownCharsets()
{
    return kCharsets;
}

const Charset* findCharset(std::string_view name)
{
    const std::string lowered = text::asciiLowered(name);
    for (const Charset& set : kCharsets)
        if (namesIt(set, lowered))
            return &set;
    return nullptr;
}

std::optional<std::string> utf8FromCharset(std::string_view bytes, std::string_view charset)
{
    const Charset* set = findCharset(charset);
    if (!set)
        return std::nullopt;
    switch (set->decoder) {
    case Decoder::Utf8:
        return text::isValidUtf8(bytes) ? std::optional<std::string>(bytes) : std::nullopt;
    case Decoder::Ascii:
        for (char c : bytes)
            if (static_cast<unsigned char>(c) >= 0x80)
                return std::nullopt;
        return std::string(bytes);
    case Decoder::Utf16: // without a mark, big-endian (RFC 2781)
        return utf8FromUtf16(bytes, false, true);
    case Decoder::Utf16Le:
        return utf8FromUtf16(bytes, true, false);
    case Decoder::Utf16Be:
        return utf8FromUtf16(bytes, false, false);
    case Decoder::Cp1252:
        return text::utf8FromCp1252(bytes);
    case Decoder::Hz:
        return utf8FromHz(bytes);
    case Decoder::UpperHalf: {
        std::u16string units;
        for (char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            units += byte < 0xA0 ? static_cast<char16_t>(byte) : (*set->upperHalf)[byte - 0xA0];
        }
        return text::utf8FromUtf16(units);
    }
    case Decoder::Iso2022Jp:
    case Decoder::Iso2022Kr:
        return utf8FromIso2022(bytes, set->decoder == Decoder::Iso2022Jp);
    case Decoder::System:
        break;
    }
    if (bytes.empty())
        return std::string();
    std::optional<std::string> utf8 = utf8FromSystemCharset(bytes, *set);
    if (utf8 && !text::isValidUtf8(*utf8))
        return std::nullopt;
    return utf8;
}

} // namespace carrowin::extract
