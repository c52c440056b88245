#include "utf8.h"

namespace carrowin::text {
namespace {

// Bytes of the character at text[i], counting a byte that starts none as one.
std::size_t characterLengthAt(std::string_view text, std::size_t i)
{
    const std::size_t len = decodeUtf8(text, i).length;
    return len == 0 ? 1 : len;
}

} // namespace

Utf8Character decodeUtf8(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t len = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        len = 2;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4;
        min = 0x10000;
    } else {
        return {};
    }
    if (i + len > text.size())
        return {};
    char32_t cp = lead & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return {};
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {};
    return {cp, len};
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = decodeUtf8(text, i).length;
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::size_t countCharacters(std::string_view utf8)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size(); i += characterLengthAt(utf8, i))
        ++n;
    return n;
}

std::size_t byteLengthOfCharacters(std::string_view utf8, std::size_t chars)
{
    std::size_t i = 0;
    for (; i < utf8.size() && chars > 0; --chars)
        i += characterLengthAt(utf8, i);
    return i;
}

std::size_t byteLengthWithoutLastCharacter(std::string_view utf8)
{
    std::size_t last = 0;
    for (std::size_t i = 0; i < utf8.size(); i += characterLengthAt(utf8, i))
        last = i;
    return last;
}

} // namespace carrowin::text
