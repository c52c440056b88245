#pragma once
// UTF-16, in which Windows names files and Wine's registry files keep some text.
#include <cstddef>
#include <string>
#include <string_view>

namespace carrowin::text {

// Number of UTF-16 code units the UTF-8 text takes: two for a character beyond U+FFFF,
// one for every other character and for every byte that starts no valid sequence.
std::size_t utf16Length(std::string_view utf8);

void appendUtf16(std::u16string& out, char32_t codePoint);

// UTF-16 units as UTF-8; a lone surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view units);

} // namespace carrowin::text
