#include "paths.h"

namespace carrowin::text {

bool endsWithSeparator(std::string_view folder)
{
    return !folder.empty() && isSeparator(folder.back());
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!path.empty() && !endsWithSeparator(path))
        path += kPathSeparator;
    path += name;
    return path;
}

std::filesystem::path pathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string s = path.u8string();
    return {s.begin(), s.end()};
}

} // namespace carrowin::text
