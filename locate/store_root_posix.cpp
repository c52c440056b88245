#include "store_root.h"

#include "wine_registry.h"

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace carrowin::locate {
namespace {

constexpr int kErrorFileNotFound = 2;
constexpr int kErrorAccessDenied = 5;

// "C:\OE\" becomes <drive link resolved>/OE/; a path without a drive stays as it is.
std::string unixPathOf(const std::string& winePrefix, const std::string& windowsPath)
{
    const bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':'
                          && std::isalpha(static_cast<unsigned char>(windowsPath[0]));
    if (!hasDrive)
        return windowsPath;
    std::string link = "x:";
    link[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
    std::error_code ec;
    auto drive = std::filesystem::path(winePrefix) / "dosdevices" / link;
    const auto resolved = std::filesystem::canonical(drive, ec);
    std::string path = ec ? drive.string() : resolved.string();
    for (char c : windowsPath.substr(2))
        path += (c == '\\') ? '/' : c;
    return path;
}

} // namespace

std::string winePrefixFor(const char* winePrefixVariable, const char* homeVariable)
{
    if (winePrefixVariable != nullptr && *winePrefixVariable != '\0')
        return winePrefixVariable;
    return std::string(homeVariable != nullptr ? homeVariable : "") + "/.wine";
}

StoreRootLookup findStoreRoot(const std::string& winePrefix)
{
    const std::string regFile = winePrefix + "/user.reg";
    std::ifstream in(regFile, std::ios::binary);
    if (!in) {
        std::error_code ec;
        const bool exists = std::filesystem::exists(regFile, ec);
        return {exists ? kErrorAccessDenied : kErrorFileNotFound, {}};
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return {kErrorAccessDenied, {}};

    const RegistryValue v = readRegistryValue(text.str(), "Software\\Microsoft\\Outlook Express", "Store Root");
    if (!v.keyFound)
        return {kErrorFileNotFound, {}};
    const std::string root = v.text.empty() ? std::string() : unixPathOf(winePrefix, v.text);
    return {0, root + "/mail/"};
}

} // namespace carrowin::locate
