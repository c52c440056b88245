// The sets the system reads, through the C library's iconv.
#include "charset.h"

#include <iconv.h>

namespace carrowin::extract {

std::optional<std::string> utf8FromSystemCharset(std::string_view bytes, const Charset& set)
{
    const std::string name(set.iconvName);
    const iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    // No character takes more than four bytes of UTF-8, nor fewer than one byte in any set.
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data()); // iconv's interface; it does not write there
    std::size_t inLeft = bytes.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    constexpr std::size_t kFailed = static_cast<std::size_t>(-1);
    // The second call lets a set with shift states (ISO-2022-JP) end its text.
    const bool converted = iconv(cd, &in, &inLeft, &to, &toLeft) != kFailed
                           && iconv(cd, nullptr, nullptr, &to, &toLeft) != kFailed && inLeft == 0;
    iconv_close(cd);
    out.resize(static_cast<std::size_t>(to - out.data()));
    if (!converted)
        return std::nullopt; // bytes that are not text in that set
    return out;
}

bool systemHasCharset(const Charset& set)
{
    const iconv_t cd = iconv_open("UTF-8", std::string(set.iconvName).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

} // namespace carrowin::extract
