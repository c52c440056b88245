#include "store_root.h"

#include "windows_text.h"

#include <windows.h>

#include <string>

namespace carrowin::locate {
namespace {

// The value's data as text: the first size/2 characters, less a final NUL.
std::wstring textOf(const std::wstring& buffer, DWORD sizeBytes)
{
    std::size_t n = std::min<std::size_t>(sizeBytes / sizeof(wchar_t), buffer.size());
    if (n > 0 && buffer[n - 1] == L'\0')
        --n;
    return buffer.substr(0, n);
}

std::wstring expanded(const std::wstring& text)
{
    const DWORD n = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (n == 0)
        return text;
    std::wstring out(n, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), out.data(), n);
    if (written == 0 || written > n)
        return text;
    out.resize(written - 1);
    return out;
}

// "Store Root" of the open key: empty when it is missing, has no data or is not text.
std::wstring storeRootValue(HKEY key)
{
    const wchar_t* const name = L"Store Root";
    std::wstring buffer(256, L' ');
    DWORD type = REG_SZ;
    DWORD size = 0; // this first query only learns the size
    LONG result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    // The value can grow between two queries; then the size is asked for again.
    for (int tries = 0; result == ERROR_MORE_DATA && tries < 4; ++tries) {
        buffer.assign(size / sizeof(wchar_t) + 1, L' ');
        type = REG_SZ;
        size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    }
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    const std::wstring text = textOf(buffer, size);
    return type == REG_EXPAND_SZ ? expanded(text) : text;
}

} // namespace

std::string winePrefixFor(const char*, const char*)
{
    return {};
}

StoreRootLookup findStoreRoot(const std::string&)
{
    // Reading needs no more than KEY_READ; more would be refused on locked-down machines.
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Outlook Express", 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS)
        return {static_cast<int>(opened), {}};
    const std::wstring root = storeRootValue(key);
    RegCloseKey(key);
    return {0, text::utf8FromWide(root) + "\\mail\\"};
}

} // namespace carrowin::locate
