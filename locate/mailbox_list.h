#pragma once
// The mailbox files of an input folder, as the window lists them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace carrowin::locate {

// Names of the ordinary, non-hidden files in the folder whose extension is ".mbx" in any
// case, sorted alphabetically ignoring case. Empty when the folder text is empty, or
// when the folder cannot be listed: listing never fails loudly.
std::vector<std::string> listMailboxes(std::string_view folderText);

// Whether the folder text names an existing file or folder (a trailing separator is
// ignored). Empty text names nothing.
bool entryExists(std::string_view folderText);

// The index of the first name equal to "Inbox.mbx" ignoring case, if any.
std::optional<std::size_t> inboxIndex(const std::vector<std::string>& names);

// Alphabetical order ignoring the case of ASCII letters; ties broken by the exact bytes.
bool lessIgnoringCase(std::string_view a, std::string_view b);

} // namespace carrowin::locate
