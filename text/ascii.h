#pragma once
// ASCII letters in either case, spaces and hex digits, the same in every locale: names,
// header fields and registry keys are compared this way, never by the C library's
// locale-dependent functions.
#include <string>
#include <string_view>

namespace carrowin::text {

constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string asciiLowered(std::string_view text);

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix);

// Alphabetical order ignoring the case of ASCII letters; ties broken by the exact bytes.
bool lessIgnoringAsciiCase(std::string_view a, std::string_view b);

// Trims spaces (code 32) only; tabs and other characters stay.
std::string_view trimSpaces(std::string_view text);

// The value of a hex digit in either case, or -1.
constexpr int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace carrowin::text
