#pragma once
// Reading one value from a Wine registry file (user.reg), the form in which old Windows
// programs keep their settings on POSIX systems.
#include <string>
#include <string_view>

namespace carrowin::locate {

struct RegistryValue {
    bool keyFound = false;
    bool valueFound = false;
    std::string text; // UTF-8, one trailing NUL removed, escapes undone, nothing expanded
};

// Finds value `name` under `key` (both without escapes, matched ignoring ASCII case).
// String values ("..." and str(N):"...") are unescaped; hex(1), hex(2) and hex(7) data are
// UTF-16 text; other hex and dword data are taken byte by byte as Windows-1252 text.
RegistryValue readRegistryValue(std::string_view fileText, std::string_view key, std::string_view name);

// Undoes the escapes of a quoted registry string (without its quotes): \\ \" \n \r \t
// \a \b \e \f \v, octal \ooo, and \x with up to four hex digits as one UTF-16 unit.
std::string unescapeRegistryString(std::string_view escaped);

} // namespace carrowin::locate
