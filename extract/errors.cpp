#include "errors.h"

#include <system_error>

namespace carrowin::extract {

ExtractError ExtractError::fromErrno(ErrorKind kind, const std::string& action, const std::string& path, int err)
{
    const std::string reason = std::generic_category().message(err);
    return ExtractError(kind, path, action + " \"" + path + "\": " + reason);
}

} // namespace carrowin::extract
