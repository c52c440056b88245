#pragma once
// UTF-8, which the program works in, to and from the UTF-16 of the Windows API.
#include <string>
#include <string_view>

namespace carrowin::text {

// Invalid UTF-8 becomes U+FFFD.
std::wstring wideFromUtf8(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
std::string utf8FromWide(std::wstring_view wide);

} // namespace carrowin::text
