#include "paths.h"

namespace carrowin::text {

const char kPathSeparator = '/';

bool isSeparator(char c)
{
    return c == '/';
}

} // namespace carrowin::text
