#pragma once
// Writes mailboxes in the OE4 layout for the tests, the benchmarks and the fuzz corpus:
// an 84-byte header starting "JMF6", then records of marker, message number, record size
// and text size (all u32 little-endian), the text and padding.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace carrowin::testing {

inline void appendU32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string mailboxHeader()
{
    std::string h = "JMF6";
    h.resize(84, '\0');
    return h;
}

// The 16 bytes that open a record of a text of `textSize` bytes and `padding` zeros
// after it; sizes beyond 32 bits are written as the largest that fits.
inline std::string recordHeader(std::uint32_t number, std::uint64_t textSize, std::size_t padding)
{
    std::string r("\x00\x7F\x00\x7F", 4);
    appendU32(r, number);
    appendU32(r, static_cast<std::uint32_t>(std::min<std::uint64_t>(16 + textSize + padding, UINT32_MAX)));
    appendU32(r, static_cast<std::uint32_t>(std::min<std::uint64_t>(textSize, UINT32_MAX)));
    return r;
}

// One record; `padding` bytes of zeros follow the text.
inline std::string record(std::string_view text, std::uint32_t number = 1, std::size_t padding = 0)
{
    std::string r = recordHeader(number, text.size(), padding);
    r += text;
    r.append(padding, '\0');
    return r;
}

// The padding that mailbox() puts after a text: zeros up to a multiple of four bytes.
inline std::size_t paddingFor(std::string_view text)
{
    return (4 - text.size() % 4) % 4;
}

// What a message of mailbox() is written out as: its text and padding.
inline std::string padded(std::string_view text)
{
    return std::string(text) + std::string(paddingFor(text), '\0');
}

inline std::string mailbox(const std::vector<std::string>& messages, std::uint32_t firstNumber = 1)
{
    std::string m = mailboxHeader();
    std::uint32_t n = firstNumber;
    for (const auto& text : messages)
        m += record(text, n++, paddingFor(text));
    return m;
}

// A message with CRLF line ends.
inline std::string mail(std::string_view subject, std::string_view text = "Hello.")
{
    return "From: a@example.com\r\nSubject: " + std::string(subject) + "\r\nTo: b@example.com\r\n\r\n"
           + std::string(text) + "\r\n";
}

} // namespace carrowin::testing
