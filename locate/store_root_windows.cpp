#include "store_root.h"

#include <windows.h>

#include <string>
#include <vector>

namespace carrowin::locate {
namespace {

// The registry gives the value in the ANSI code page; the window works in UTF-8.
std::string utf8FromAnsi(const std::string& ansi)
{
    if (ansi.empty())
        return {};
    const int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), w.data(), wide);
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace

std::string winePrefixFor(const char*, const char*)
{
    return {};
}

StoreRootLookup findStoreRoot(const std::string&)
{
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Outlook Express", 0, KEY_ALL_ACCESS, &key);
    if (opened != 0)
        return {static_cast<int>(opened), {}};

    std::string buffer(256, ' ');
    DWORD type = REG_SZ;
    DWORD size = 0;
    const LONG first = RegQueryValueExA(key, "Store Root", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (first == ERROR_MORE_DATA) {
        buffer.assign(size, ' ');
        type = REG_SZ;
        RegQueryValueExA(key, "Store Root", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    }
    std::size_t n = size;
    if (!buffer.empty() && buffer.back() == '\0')
        n = size - 1;
    const std::string root = buffer.substr(0, std::min<std::size_t>(n, buffer.size()));
    RegCloseKey(key);
    return {0, utf8FromAnsi(root) + "\\mail\\"};
}

} // namespace carrowin::locate
