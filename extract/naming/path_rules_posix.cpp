#include "path_rules.h"

namespace carrowin::extract {

const FileNameLimit kFileNameLimit{255, NameUnit::Utf8Bytes};

std::optional<std::string> firstRefusedFileNameCharacter(std::string_view utf8Name)
{
    for (char c : utf8Name) {
        if (c == '/')
            return std::string("\"/\"");
        if (auto control = describeControlCharacter(c))
            return control;
    }
    return std::nullopt;
}

std::string fileNameKey(std::string_view utf8Name)
{
    return std::string(utf8Name);
}

} // namespace carrowin::extract
