#pragma once
// The mailbox files of an input folder, as the window lists them.
#include <string>
#include <system_error>
#include <string_view>
#include <vector>

namespace carrowin::locate {

// Names of the ordinary, non-hidden files in the folder whose extension is ".mbx" in any
// case, sorted alphabetically ignoring case. Empty when the folder text is empty, or
// when the folder cannot be listed: listing never fails loudly.
std::vector<std::string> listMailboxes(std::string_view folderText);
// The same, with the system's reason when the folder cannot be listed.
std::vector<std::string> listMailboxes(std::string_view folderText, std::error_code& ec);

// Whether the folder text names an existing file or folder (a trailing separator is
// ignored). Empty text names nothing.
bool entryExists(std::string_view folderText);

// Whether the name is "Inbox.mbx" in any case: the mailbox proposed first.
bool isInboxName(std::string_view name);

} // namespace carrowin::locate
