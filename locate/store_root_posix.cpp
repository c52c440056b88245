#include "store_root.h"

#include "ascii.h"
#include "wine_registry.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace carrowin::locate {
namespace {

constexpr int kErrorFileNotFound = 2;
constexpr int kErrorAccessDenied = 5;
constexpr off_t kMaxRegistryFileSize = off_t{64} << 20; // Wine's own stay far below a megabyte

// "C:\OE\" becomes <drive link resolved>/OE/; a path without a drive stays as it is.
std::string unixPathOf(const std::string& winePrefix, const std::string& windowsPath)
{
    const char drive = text::asciiLower(windowsPath.empty() ? '\0' : windowsPath[0]);
    const bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':' && drive >= 'a' && drive <= 'z';
    if (!hasDrive)
        return windowsPath;
    std::string link = "x:";
    link[0] = drive;
    std::error_code ec;
    const auto linked = std::filesystem::path(winePrefix) / "dosdevices" / link;
    const auto resolved = std::filesystem::canonical(linked, ec);
    std::string path = ec ? linked.string() : resolved.string();
    for (char c : windowsPath.substr(2))
        path += (c == '\\') ? '/' : c;
    return path;
}

// Reads a registry file: a regular file of a sane size only, and without ever waiting (a
// FIFO in its place would block the window before it appears). 0, or the error code.
int readRegistryFile(const std::string& path, std::string& text)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? kErrorFileNotFound : kErrorAccessDenied;
    struct stat st{};
    int error = 0;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxRegistryFileSize)
        error = kErrorAccessDenied;
    text.resize(error == 0 ? static_cast<std::size_t>(st.st_size) : 0);
    std::size_t done = 0;
    while (error == 0 && done < text.size()) {
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR)
            error = kErrorAccessDenied;
        if (n == 0)
            break; // the file shrank meanwhile: read as far as it goes
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    text.resize(done);
    ::close(fd);
    return error;
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
    std::string text;
    if (const int error = readRegistryFile(winePrefix + "/user.reg", text); error != 0)
        return {error, {}};
    const RegistryValue v = readRegistryValue(text, "Software\\Microsoft\\Outlook Express", "Store Root");
    if (!v.keyFound)
        return {kErrorFileNotFound, {}};
    const std::string root = v.text.empty() ? std::string() : unixPathOf(winePrefix, v.text);
    return {0, root + "/mail/"};
}

} // namespace carrowin::locate
