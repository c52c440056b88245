#include "path_rules.h"

namespace carrowin::extract {

const char kPathSeparator = '/';
const std::size_t kMaxFileNameBytes = 255;

bool endsWithSeparator(std::string_view folder)
{
    return !folder.empty() && folder.back() == kPathSeparator;
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!endsWithSeparator(path))
        path += kPathSeparator;
    path += name;
    return path;
}

std::optional<std::string> firstRefusedFileNameCharacter(std::string_view utf8Name)
{
    for (char c : utf8Name) {
        if (c == '/')
            return std::string("\"/\"");
        if (c == '\0')
            return std::string("the NUL character");
    }
    return std::nullopt;
}

} // namespace carrowin::extract
