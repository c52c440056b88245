#include "wine_registry.h"

#include "text.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace carrowin::locate {
namespace {

// UTF-16 units to UTF-8; a lone surrogate becomes U+FFFD.
std::string utf8FromUtf16(const std::vector<char16_t>& units)
{
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            extract::appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            extract::appendUtf8(out, 0xFFFD);
        } else {
            extract::appendUtf8(out, u);
        }
    }
    return out;
}

// One character of UTF-8 text at text[i] to UTF-16 units; a byte that starts no valid
// sequence is taken as it stands.
void appendUtf16(std::vector<char16_t>& units, std::string_view text, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    char32_t cp = lead & (0xFF >> (len + 1));
    bool valid = len > 1 && i + len <= text.size();
    for (std::size_t k = 1; valid && k < len; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        valid = (c & 0xC0) == 0x80;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (!valid) {
        cp = lead;
        i += 1;
    } else {
        i += len;
    }
    if (cp >= 0x10000) {
        units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
        units.push_back(static_cast<char16_t>(cp));
    }
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
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

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
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
        const int d = hexDigit(c);
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
    return extract::utf8FromCp1252(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
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
            std::vector<char16_t> units;
            for (std::size_t k = 0; k + 1 < bytes.size(); k += 2)
                units.push_back(static_cast<char16_t>(bytes[k] | (bytes[k + 1] << 8)));
            return utf8FromUtf16(units);
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
    std::vector<char16_t> units;
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
            for (; digits < 4 && i < s.size() && hexDigit(s[i]) >= 0; ++digits, ++i)
                v = v * 16 + static_cast<unsigned>(hexDigit(s[i]));
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
    return utf8FromUtf16(units);
}

RegistryValue readRegistryValue(std::string_view fileText, std::string_view key, std::string_view name)
{
    RegistryValue result;
    bool inKey = false;
    forEachLogicalLine(fileText, [&](std::string_view line) {
        if (line.starts_with('[')) {
            const auto close = line.rfind(']');
            inKey = close != std::string_view::npos && equalsIgnoringCase(unescapeRegistryString(line.substr(1, close - 1)), key);
            result.keyFound = result.keyFound || inKey;
            return true;
        }
        if (!inKey || !line.starts_with('"'))
            return true;
        std::size_t i = 0;
        const std::string valueName = quotedString(line, i);
        if (i >= line.size() || line[i] != '=' || !equalsIgnoringCase(valueName, name))
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
