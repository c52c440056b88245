#include "path_rules.h"

#include "ascii.h"
#include "utf16.h"

#include <array>
#include <cstdio>

namespace carrowin::extract {

std::size_t nameLength(std::string_view utf8Name, NameUnit unit)
{
    return unit == NameUnit::Utf8Bytes ? utf8Name.size() : text::utf16Length(utf8Name);
}

std::optional<std::string> describeControlCharacter(char c)
{
    const auto code = static_cast<unsigned char>(c);
    if (code >= 32 && code != 127)
        return std::nullopt;
    char buf[40];
    std::snprintf(buf, sizeof buf, "the control character U+%04X", code);
    return std::string(buf);
}

std::string_view deviceNamePart(std::string_view fileName)
{
    std::string_view part = fileName.substr(0, fileName.find('.'));
    while (!part.empty() && part.back() == ' ')
        part.remove_suffix(1);
    return part;
}

bool isReservedDeviceName(std::string_view fileName)
{
    const std::string_view part = deviceNamePart(fileName);
    static constexpr std::array<std::string_view, 7> kNames{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    if (part.size() < 3 || part.size() > 7)
        return false;
    for (std::string_view device : kNames)
        if (text::equalsIgnoringAsciiCase(part, device))
            return true;
    const std::string_view head = part.substr(0, 3);
    if (!text::equalsIgnoringAsciiCase(head, "COM") && !text::equalsIgnoringAsciiCase(head, "LPT"))
        return false;
    // COM1 to COM9 and LPT1 to LPT9, and with a superscript one, two or three (UTF-8).
    const std::string_view number = part.substr(3);
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" || number == "\xC2\xB2"
           || number == "\xC2\xB3";
}

} // namespace carrowin::extract
