#pragma once
// What differs between platforms for listing mailboxes.
#include <filesystem>

namespace carrowin::locate {

// Hidden as the platform's own file manager sees it (a leading "." on POSIX; the
// hidden or system attribute on Windows).
bool isHidden(const std::filesystem::directory_entry& entry);

} // namespace carrowin::locate
