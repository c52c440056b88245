#include "path_rules.h"

#include <string_view>

namespace carrowin::extract {

const char kPathSeparator = '\\';
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
    constexpr std::string_view kRefused{"<>:\"/\\|?*"};
    for (char c : utf8Name) {
        if (static_cast<unsigned char>(c) < 32)
            return std::string("a control character");
        if (kRefused.find(c) != std::string_view::npos)
            return "\"" + std::string(1, c) + "\"";
    }
    return std::nullopt;
}

} // namespace carrowin::extract
