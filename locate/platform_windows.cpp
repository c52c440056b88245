#include "platform.h"

#include <windows.h>

namespace carrowin::locate {

bool isHidden(const std::filesystem::directory_entry& entry)
{
    const DWORD attrs = GetFileAttributesW(entry.path().c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

} // namespace carrowin::locate
