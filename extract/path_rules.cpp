#include "path_rules.h"

#include "utf16.h"

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

} // namespace carrowin::extract
