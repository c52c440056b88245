#pragma once
// Where the mail client keeps the current user's mailboxes.
#include <string>

namespace carrowin::locate {

struct StoreRootLookup {
    int errorCode = 0;          // 0 when the store location could be opened
    std::string proposedFolder; // the store root, a separator, "mail", a separator
};

// Reads the "Store Root" value of the current user's key "Software\Microsoft\Outlook
// Express". On Windows from the registry (winePrefix is not used); elsewhere from the
// user registry file of the Wine prefix `winePrefix`, where drive paths become paths
// through the prefix's drive links. A missing file or key gives error code 2, an
// unreadable file 5; a key without the value gives the folder "/mail/".
StoreRootLookup findStoreRoot(const std::string& winePrefix);

// The Wine prefix: $WINEPREFIX when set and not empty, else $HOME/.wine.
std::string winePrefixFor(const char* winePrefixVariable, const char* homeVariable);

} // namespace carrowin::locate
