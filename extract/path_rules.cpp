#include "path_rules.h"

#include "text.h"

namespace carrowin::extract {

std::size_t nameLength(std::string_view utf8Name, NameUnit unit)
{
    return unit == NameUnit::Utf8Bytes ? utf8Name.size() : utf16Length(utf8Name);
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
