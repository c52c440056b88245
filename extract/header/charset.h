#pragma once
// Character sets by their MIME names. One table, the same on every system, says which
// names are read and as what, so that a mailbox gets the same names on Linux and on
// Windows; the system's converter (iconv on POSIX, charset_posix.cpp; the code pages on
// Windows, charset_windows.cpp) reads the sets this program does not read itself.
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace carrowin::extract {

// Who reads a set: the system, or this program (the Unicode forms, ASCII, Windows-1252,
// the 7-bit forms of the CJK sets, turned into the 8-bit forms the system reads, and the
// ISO 8859 parts Windows has no code page for, by their upper half).
enum class Decoder { System, Utf8, Ascii, Utf16, Utf16Le, Utf16Be, Cp1252, Hz, Iso2022Jp, Iso2022Kr, UpperHalf };

struct Charset {
    std::string_view name;    // the preferred MIME name, lower case
    std::string_view aliases; // the other names mailers write, lower case, space-separated
    Decoder decoder = Decoder::System;
    std::string_view iconvName{}; // what iconv calls it
    unsigned codePage = 0;        // what Windows calls it
    const std::array<char16_t, 96>* upperHalf = nullptr; // UpperHalf: bytes 0xA0 to 0xFF
};

// Every set of the table.
std::span<const Charset> knownCharsets();

// The set that a MIME name or one of its aliases names, in any case; none for a name that
// is not in the table.
const Charset* findCharset(std::string_view name);

// `bytes` in the character set `charset` (a MIME name: "utf-8", "ISO-8859-1", "koi8-r"...)
// as UTF-8; none when the set is not in the table or the bytes are not valid in it.
std::optional<std::string> utf8FromCharset(std::string_view bytes, std::string_view charset);

// `bytes` in a set that the system reads, as UTF-8; none when they are not valid in it
// (or the system lacks the set).
std::optional<std::string> utf8FromSystemCharset(std::string_view bytes, const Charset& set);
// Whether the system has a set that it is to read (Wine 8 lacks GB18030, which Windows has).
bool systemHasCharset(const Charset& set);

} // namespace carrowin::extract
