#include "text.h"

#include <algorithm>
#include <array>

namespace carrowin::extract {
namespace {

constexpr std::array<char16_t, 32> kUpperControlRow = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the valid UTF-8 sequence starting at text[i], or 0 when none starts there.
std::size_t sequenceLength(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t len = 0;
    char32_t min = 0;
    if (lead < 0x80)
        return 1;
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
        return 0;
    }
    if (i + len > text.size())
        return 0;
    char32_t cp = lead & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

std::size_t characterLengthAt(std::string_view text, std::size_t i)
{
    const std::size_t len = sequenceLength(text, i);
    return len == 0 ? 1 : len;
}

} // namespace

char32_t codePointOfCp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kUpperControlRow[byte - 0x80];
    return byte;
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

std::string utf8FromCp1252(std::string_view bytes)
{
    // Every byte's UTF-8 form, worked out once: up to three bytes and their count.
    static const auto kForms = [] {
        std::array<std::array<char, 4>, 256> forms{};
        for (int b = 0; b < 256; ++b) {
            std::string one;
            appendUtf8(one, codePointOfCp1252(static_cast<unsigned char>(b)));
            std::copy(one.begin(), one.end(), forms[b].begin());
            forms[b][3] = static_cast<char>(one.size());
        }
        return forms;
    }();
    std::string out(bytes.size() * 3, '\0');
    std::size_t n = 0;
    for (char c : bytes) {
        const auto& form = kForms[static_cast<unsigned char>(c)];
        for (int k = 0; k < form[3]; ++k)
            out[n++] = form[k];
    }
    out.resize(n);
    return out;
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

bool isValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = sequenceLength(text, i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::size_t utf16Length(std::string_view utf8)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t len = characterLengthAt(utf8, i);
        n += len == 4 ? 2 : 1;
        i += len;
    }
    return n;
}

std::string_view trimSpaces(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

} // namespace carrowin::extract
