#include "path_rules.h"

#include "text.h"

#include <cstdio>

namespace carrowin::extract {

std::size_t nameLength(std::string_view utf8Name, NameUnit unit)
{
    return unit == NameUnit::Utf8Bytes ? utf8Name.size() : utf16Length(utf8Name);
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

bool endsWithSeparator(std::string_view folder)
{
    return !folder.empty() && isSeparator(folder.back());
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!endsWithSeparator(path))
        path += kPathSeparator;
    path += name;
    return path;
}

} // namespace carrowin::extract
