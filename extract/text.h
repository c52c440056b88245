#pragma once
// Text helpers: mailbox bytes are Windows-1252 characters; names are UTF-8.
#include <cstddef>
#include <string>
#include <string_view>

namespace carrowin::extract {

// The Unicode code point of a Windows-1252 byte. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081... as Windows maps them.
char32_t codePointOfCp1252(unsigned char byte);

// Windows-1252 bytes to UTF-8 text, one character per byte.
std::string utf8FromCp1252(std::string_view bytes);

void appendUtf8(std::string& out, char32_t cp);

// Number of characters in UTF-8 text; a byte that starts no valid sequence counts as one.
std::size_t countCharacters(std::string_view utf8);

// Byte length of the first `chars` characters (all of the text when it has fewer).
std::size_t byteLengthOfCharacters(std::string_view utf8, std::size_t chars);

// Byte length of the text without its last character (0 for empty text).
std::size_t byteLengthWithoutLastCharacter(std::string_view utf8);

bool isValidUtf8(std::string_view text);

// Number of UTF-16 code units the text takes: two for a character beyond U+FFFF, one
// for every other character and for every byte that starts no valid sequence.
std::size_t utf16Length(std::string_view utf8);

// Trims spaces (code 32) only; tabs and other characters stay.
std::string_view trimSpaces(std::string_view text);

} // namespace carrowin::extract
