#include "paths.h"

namespace carrowin::text {

const char kPathSeparator = '\\';

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

} // namespace carrowin::text
