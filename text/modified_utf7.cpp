#include "modified_utf7.h"

#include "cp1252.h"
#include "utf8.h"

#include <cstdint>

namespace carrowin::text {
namespace {

void appendUtf16Unit(std::string& bits, std::uint16_t unit)
{
    bits.push_back(static_cast<char>(unit >> 8));
    bits.push_back(static_cast<char>(unit & 0xff));
}

// The bytes of UTF-16BE text in modified base64: "," for "/", no padding.
void appendModifiedBase64(std::string& out, std::string_view bytes)
{
    static constexpr std::string_view kDigits{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,"};
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const auto v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) << 16
                                                  | static_cast<unsigned char>(bytes[i + 1]) << 8
                                                  | static_cast<unsigned char>(bytes[i + 2]));
        for (int shift = 18; shift >= 0; shift -= 6)
            out += kDigits[(v >> shift) & 63];
    }
    if (const std::size_t rest = bytes.size() - i; rest > 0) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) << 16);
        if (rest == 2)
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1]) << 8);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        if (rest == 2)
            out += kDigits[(v >> 6) & 63];
    }
}

} // namespace

std::string modifiedUtf7(std::string_view text)
{
    std::string out;
    std::string pending; // UTF-16BE of the characters not printable in ASCII
    const auto flush = [&] {
        if (pending.empty())
            return;
        out += '&';
        appendModifiedBase64(out, pending);
        out += '-';
        pending.clear();
    };
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Character c = decodeUtf8(text, i);
        const char32_t cp = c.length == 0 ? codePointOfCp1252(static_cast<unsigned char>(text[i])) : c.codePoint;
        i += c.length == 0 ? 1 : c.length;
        if (cp >= 0x20 && cp <= 0x7e) {
            flush();
            out += cp == '&' ? std::string("&-") : std::string(1, static_cast<char>(cp));
        } else if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            appendUtf16Unit(pending, static_cast<std::uint16_t>(0xD800 + (v >> 10)));
            appendUtf16Unit(pending, static_cast<std::uint16_t>(0xDC00 + (v & 0x3ff)));
        } else {
            appendUtf16Unit(pending, static_cast<std::uint16_t>(cp));
        }
    }
    flush();
    return out;
}

} // namespace carrowin::text
