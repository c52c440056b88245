// The sets the system reads, through the code pages Windows knows.
#include "charset.h"

#include "windows_text.h"

#include <windows.h>

namespace carrowin::extract {

std::optional<std::string> utf8FromSystemCharset(std::string_view bytes, const Charset& set)
{
    const UINT page = set.codePage;
    // Invalid bytes fail where the code page can tell (the double-byte sets).
    const DWORD strict = (page == 932 || page == 936 || page == 949 || page == 950 || page == 54936 || page == 20932)
                             ? MB_ERR_INVALID_CHARS
                             : 0;
    const int size = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(page, strict, bytes.data(), size, nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(page, strict, bytes.data(), size, wide.data(), n) != n)
        return std::nullopt;
    return text::utf8FromWide(wide);
}

bool systemHasCharset(const Charset& set)
{
    return IsValidCodePage(set.codePage) != 0;
}

} // namespace carrowin::extract
