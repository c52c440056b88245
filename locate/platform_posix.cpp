#include "platform.h"

namespace carrowin::locate {

bool isHidden(const std::filesystem::directory_entry& entry)
{
    const auto name = entry.path().filename().native();
    return !name.empty() && name.front() == '.';
}

} // namespace carrowin::locate
