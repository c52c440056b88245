#pragma once
// Windows-1252, the code page in which the mailbox's bytes are read as characters.
#include <string>
#include <string_view>

namespace carrowin::text {

// The Unicode code point of a Windows-1252 byte. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081... as Windows maps them.
char32_t codePointOfCp1252(unsigned char byte);

// Windows-1252 bytes to UTF-8 text, one character per byte.
std::string utf8FromCp1252(std::string_view bytes);

} // namespace carrowin::text
