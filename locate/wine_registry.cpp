#include "wine_registry.h"

#include "ascii.h"
#include "cp1252.h"
#include "utf16.h"
#include "utf8.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace carrowin::locate {
namespace {

// One character of UTF-8 text at utf8[i] to UTF-16 units; a byte that starts no valid
// sequence is taken as it stands.
void appendUtf16(std::u16string& units, std::string_view utf8, std::size_t& i)
{
    const text::Utf8Character c = text::decodeUtf8(utf8, i);
    if (c.length == 0) {
        units.push_back(static_cast<unsigned char>(utf8[i]));
        i += 1;
        return;
    }
    text::appendUtf16(units, c.codePoint);
    i += c.length;
}

char16_t simpleEscape(char c)
{
    switch (c) {
    case 'a': return 7;
    case 'b': return 8;
    case 'e': return 27;
    case 'f': return 12;
    case 'n': return 10;
    case 'r': return 13;
    case 't': return 9;
    case 'v': return 11;
    default: return static_cast<unsigned char>(c);
    }
}

// The quoted string starting at text[i] == '"'; i ends just past the closing quote.
std::string quotedString(std::string_view text, std::size_t& i)
{
    std::size_t end = ++i;
    while (end < text.size() && text[end] != '"')
        end += (text[end] == '\\') ? 2 : 1;
    const std::string_view inner = text.substr(i, std::min(end, text.size()) - i);
    i = end + 1;
    return unescapeRegistryString(inner);
}

std::vector<unsigned char> hexBytes(std::string_view data)
{
    std::vector<unsigned char> bytes;
    int hi = -1;
    for (char c : data) {
        const int d = text::hexValue(c);
        if (d < 0)
            continue;
        if (hi < 0) {
            hi = d;
        } else {
            bytes.push_back(static_cast<unsigned char>(hi * 16 + d));
            hi = -1;
        }
    }
    return bytes;
}

std::string cp1252Text(const std::vector<unsigned char>& bytes)
{
    return text::utf8FromCp1252(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The value's data (what follows "=") as text.
std::string dataText(std::string_view data)
{
    if (data.starts_with('"')) {
        std::size_t i = 0;
        return quotedString(data, i);
    }
    if (data.starts_with("str(")) {
        const auto q = data.find('"');
        std::size_t i = q;
        return q == std::string_view::npos ? std::string() : quotedString(data, i);
    }
    if (data.starts_with("dword:")) {
        const auto bytes = hexBytes(data.substr(6));
        std::uint32_t v = 0;
        for (unsigned char b : bytes)
            v = (v << 8) | b;
        return cp1252Text({static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                           static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)});
    }
    if (data.starts_with("hex")) {
        const auto colon = data.find(':');
        const std::string_view type = data.substr(0, colon);
        const auto bytes = hexBytes(data.substr(colon == std::string_view::npos ? data.size() : colon + 1));
        if (type == "hex(1)" || type == "hex(2)" || type == "hex(7)") {
            std::u16string units;
            for (std::size_t k = 0; k + 1 < bytes.size(); k += 2)
                units.push_back(static_cast<char16_t>(bytes[k] | (bytes[k + 1] << 8)));
            return text::utf8FromUtf16(units);
        }
        return cp1252Text(bytes);
    }
    return {};
}

// Calls `visit` with every logical line until it returns false: hex data continue onto
// the next line after a trailing backslash. Only continued lines are copied; a file of
// millions of lines costs no memory beyond the one being joined.
template <typename Visit>
void forEachLogicalLine(std::string_view text, Visit&& visit)
{
    std::string joined;
    bool continuing = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto nl = text.find('\n', pos);
        if (nl == std::string_view::npos)
            nl = text.size();
        std::string_view piece = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (piece.ends_with('\r'))
            piece.remove_suffix(1);
        if (continuing)
            piece.remove_prefix(std::min(piece.find_first_not_of(' '), piece.size()));
        const bool more = piece.ends_with('\\') && (continuing || piece.find("=hex") != std::string_view::npos);
        if (more)
            piece.remove_suffix(1);
        if (!continuing && !more) {
            if (!visit(piece))
                return;
            continue;
        }
        joined += piece;
        continuing = more;
        if (!more) {
            if (!visit(std::string_view(joined)))
                return;
            joined.clear();
        }
    }
    if (!joined.empty())
        visit(std::string_view(joined));
}

} // namespace

std::string unescapeRegistryString(std::string_view s)
{
    std::u16string units;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            appendUtf16(units, s, i);
            continue;
        }
        const char c = s[i + 1];
        i += 2;
        if (c == 'x') {
            unsigned v = 0;
            int digits = 0;
            for (; digits < 4 && i < s.size() && text::hexValue(s[i]) >= 0; ++digits, ++i)
                v = v * 16 + static_cast<unsigned>(text::hexValue(s[i]));
            units.push_back(digits ? static_cast<char16_t>(v) : u'x');
        } else if (c >= '0' && c <= '7') {
            unsigned v = static_cast<unsigned>(c - '0');
            for (int digits = 1; digits < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++digits, ++i)
                v = v * 8 + static_cast<unsigned>(s[i] - '0');
            units.push_back(static_cast<char16_t>(v));
        } else {
            units.push_back(simpleEscape(c));
        }
    }
    return text::utf8FromUtf16(units);
}

RegistryValue readRegistryValue(std::string_view fileText, std::string_view key, std::string_view name)
{
    RegistryValue result;
    bool inKey = false;
    forEachLogicalLine(fileText, [&](std::string_view line) {
        if (line.starts_with('[')) {
            const auto close = line.rfind(']');
            inKey = close != std::string_view::npos && text::equalsIgnoringAsciiCase(unescapeRegistryString(line.substr(1, close - 1)), key);
            result.keyFound = result.keyFound || inKey;
            return true;
        }
        if (!inKey || !line.starts_with('"'))
            return true;
        std::size_t i = 0;
        const std::string valueName = quotedString(line, i);
        if (i >= line.size() || line[i] != '=' || !text::equalsIgnoringAsciiCase(valueName, name))
            return true;
        result.valueFound = true;
        result.text = dataText(line.substr(i + 1));
        if (!result.text.empty() && result.text.back() == '\0')
            result.text.pop_back();
        return false;
    });
    return result;
}

} // namespace carrowin::locate
