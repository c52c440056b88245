#include "errors.h"

namespace carrowin::extract {

ExtractError ExtractError::fromCode(ErrorKind kind, const std::string& action, const std::string& path,
                                    std::error_code code)
{
    return ExtractError(kind, path, action + " \"" + path + "\": " + code.message(), code);
}

} // namespace carrowin::extract
