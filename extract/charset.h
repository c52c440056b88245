#pragma once
// Character sets as the system knows them: iconv on POSIX (charset_posix.cpp), the code
// pages on Windows (charset_windows.cpp).
#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract {

// `bytes` in the character set `charset` (a MIME name: "utf-8", "ISO-8859-1", "koi8-r"...)
// as UTF-8; none when the system does not know the set or the bytes are not valid in it.
std::optional<std::string> utf8FromCharset(std::string_view bytes, std::string_view charset);

} // namespace carrowin::extract
