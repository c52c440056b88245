#include "header_text.h"

#include "ascii.h"
#include "charset.h"
#include "cp1252.h"
#include "utf8.h"

#include <vector>

namespace carrowin::extract {
namespace {

std::optional<std::string> decodeQ(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            out += ' ';
        } else if (text[i] == '=') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int hi = text::hexValue(text[i + 1]);
            const int lo = text::hexValue(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Base64, the padding optional as many mailers wrote it.
std::optional<std::string> decodeB(std::string_view text)
{
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] != '='; ++i) {
        const char c = text[i];
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else
            return std::nullopt;
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>(bits >> 16);
            out += static_cast<char>(bits >> 8);
            out += static_cast<char>(bits);
            bits = 0;
            count = 0;
        }
    }
    for (; i < text.size(); ++i)
        if (text[i] != '=')
            return std::nullopt; // data after the padding
    if (count == 1)
        return std::nullopt;
    if (count == 2)
        out += static_cast<char>(bits >> 4);
    if (count == 3) {
        out += static_cast<char>(bits >> 10);
        out += static_cast<char>(bits >> 2);
    }
    return out;
}

// Raw header bytes: UTF-8 when valid, else Windows-1252.
std::string utf8FromRaw(std::string_view bytes)
{
    return text::isValidUtf8(bytes) ? std::string(bytes) : text::utf8FromCp1252(bytes);
}

struct EncodedWord {
    std::size_t length = 0; // bytes of the whole "=?...?="
    std::string text;       // decoded, as UTF-8
};

// The first place at or after a position where something is found in a field, looked
// for again only when asked for a position past the last answer: the searches of all
// the "=?" of a field cost one pass together, however many never end.
class NextOf {
public:
    using Find = std::size_t (*)(std::string_view text, std::size_t from);
    NextOf(std::string_view text, Find find) : m_text(text), m_find(find) {}
    std::size_t operator()(std::size_t from)
    {
        if (!m_known || from < m_from || from > m_at) {
            m_from = from;
            m_at = m_find(m_text, from);
            m_known = true;
        }
        return m_at;
    }

private:
    std::string_view m_text;
    Find m_find;
    std::size_t m_from = 0;
    std::size_t m_at = 0;
    bool m_known = false;
};

std::size_t findWordEnd(std::string_view text, std::size_t from)
{
    return text.find("?=", from);
}

std::size_t findWhiteSpace(std::string_view text, std::size_t from)
{
    return text.find_first_of(" \t", from);
}

// The encoded word that starts at field[i], when it is one that can be decoded.
std::optional<EncodedWord> encodedWordAt(std::string_view field, std::size_t i, NextOf& wordEnd, NextOf& whiteSpace)
{
    const std::string_view s = field.substr(i);
    if (!s.starts_with("=?"))
        return std::nullopt;
    const std::size_t q1 = s.find('?', 2);
    if (q1 == std::string_view::npos || q1 + 2 >= s.size() || s[q1 + 2] != '?')
        return std::nullopt;
    const std::size_t endAt = wordEnd(i + q1 + 3);
    if (endAt == std::string_view::npos)
        return std::nullopt;
    const std::size_t end = endAt - i;
    std::string_view charset = s.substr(2, q1 - 2);
    charset = charset.substr(0, charset.find('*')); // "utf-8*en": the language goes
    const std::string_view text = s.substr(q1 + 3, end - q1 - 3);
    if (charset.empty() || whiteSpace(i + q1 + 3) < endAt || charset.find_first_of(" \t") != std::string_view::npos)
        return std::nullopt;
    const char encoding = s[q1 + 1];
    std::optional<std::string> bytes;
    if (encoding == 'B' || encoding == 'b')
        bytes = decodeB(text);
    else if (encoding == 'Q' || encoding == 'q')
        bytes = decodeQ(text);
    if (!bytes)
        return std::nullopt;
    std::optional<std::string> utf8 = utf8FromCharset(*bytes, charset);
    if (!utf8)
        return std::nullopt;
    return EncodedWord{end + 2, std::move(*utf8)};
}

} // namespace

std::string decodeHeaderText(std::string_view field)
{
    std::string out;
    std::size_t rawStart = 0;  // bytes not yet copied
    bool afterWord = false;    // the last thing copied was an encoded word
    NextOf wordEnd(field, findWordEnd);
    NextOf whiteSpace(field, findWhiteSpace);
    for (std::size_t i = 0; i < field.size();) {
        const auto word = field[i] == '=' ? encodedWordAt(field, i, wordEnd, whiteSpace) : std::nullopt;
        if (!word) {
            ++i;
            continue;
        }
        const std::string_view between = field.substr(rawStart, i - rawStart);
        // Only white space between two encoded words: it goes.
        if (!(afterWord && between.find_first_not_of(" \t\r\n") == std::string_view::npos))
            out += utf8FromRaw(between);
        out += word->text;
        i += word->length;
        rawStart = i;
        afterWord = true;
    }
    out += utf8FromRaw(field.substr(rawStart));
    return out;
}

} // namespace carrowin::extract
