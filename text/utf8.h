#pragma once
// UTF-8, the program's own text: names, paths and messages. One strict decoder serves
// every reader: an overlong form, a surrogate, a code point beyond U+10FFFF or a cut
// sequence starts no character.
#include <cstddef>
#include <string>
#include <string_view>

namespace carrowin::text {

struct Utf8Character {
    char32_t codePoint = 0;
    std::size_t length = 0; // bytes; 0 when no valid sequence starts there
};

// The character that starts at text[i] (i below text.size()).
Utf8Character decodeUtf8(std::string_view text, std::size_t i);

void appendUtf8(std::string& out, char32_t codePoint);

bool isValidUtf8(std::string_view text);

// Number of characters in UTF-8 text; a byte that starts no valid sequence counts as one.
std::size_t countCharacters(std::string_view utf8);

// Byte length of the first `chars` characters (all of the text when it has fewer).
std::size_t byteLengthOfCharacters(std::string_view utf8, std::size_t chars);

// Byte length of the text without its last character (0 for empty text).
std::size_t byteLengthWithoutLastCharacter(std::string_view utf8);

} // namespace carrowin::text
