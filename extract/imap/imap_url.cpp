#include "imap_url.h"

#include "ascii.h"
#include "utf8.h"

#include <charconv>

namespace carrowin::extract::imap {
namespace {

// The text with its %XX decoded; none for a "%" without two hex digits after it.
std::optional<std::string> percentDecoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || text::hexValue(text[i + 1]) < 0 || text::hexValue(text[i + 2]) < 0)
            return std::nullopt;
        out += static_cast<char>(text::hexValue(text[i + 1]) * 16 + text::hexValue(text[i + 2]));
        i += 2;
    }
    return out;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && text::equalsIgnoringAsciiCase(text.substr(0, start.size()), start);
}

// HOST or [HOST] and :PORT.
bool readHostAndPort(std::string_view hostPort, ImapUrl& url, std::string& error)
{
    std::size_t colon = hostPort.rfind(':');
    if (hostPort.starts_with('[')) {
        const std::size_t close = hostPort.find(']');
        if (close == std::string_view::npos) {
            error = "its host's \"[\" has no \"]\"";
            return false;
        }
        url.host = std::string(hostPort.substr(1, close - 1));
        colon = close + 1 < hostPort.size() && hostPort[close + 1] == ':' ? close + 1 : std::string_view::npos;
    } else {
        url.host = std::string(hostPort.substr(0, colon));
    }
    if (url.host.empty()) {
        error = "it names no host";
        return false;
    }
    if (colon == std::string_view::npos)
        return true;
    const std::string_view port = hostPort.substr(colon + 1);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc{} || end != port.data() + port.size() || value == 0 || value > 65535) {
        error = std::string(1, '"').append(port).append("\" is no port");
        return false;
    }
    url.port = static_cast<std::uint16_t>(value);
    return true;
}

// The folder of the path: decoded, without a trailing "/", INBOX in capitals.
bool readFolder(std::string_view path, ImapUrl& url, std::string& error)
{
    if (path.find_first_of(";?#") != std::string_view::npos) {
        error = "it names more than a folder (\";\", \"?\" or \"#\" in its path)";
        return false;
    }
    while (path.ends_with('/'))
        path.remove_suffix(1);
    const std::optional<std::string> folder = percentDecoded(path);
    if (!folder || !text::isValidUtf8(*folder) || folder->find('\0') != std::string::npos) {
        error = "its folder is not percent-encoded UTF-8";
        return false;
    }
    url.folder = folder->empty() ? "INBOX" : *folder;
    if (startsWithIgnoringCase(url.folder, "INBOX") && (url.folder.size() == 5 || url.folder[5] == '/'))
        url.folder.replace(0, 5, "INBOX");
    return true;
}

} // namespace

bool looksLikeImapUrl(std::string_view text)
{
    return startsWithIgnoringCase(text, "imap://") || startsWithIgnoringCase(text, "imaps://");
}

std::optional<ImapUrl> parseImapUrl(std::string_view text, std::string& error)
{
    ImapUrl url;
    if (startsWithIgnoringCase(text, "imaps://")) {
        text.remove_prefix(8);
    } else if (startsWithIgnoringCase(text, "imap://")) {
        text.remove_prefix(7);
        url.security = Security::StartTls;
        url.port = 143;
    } else {
        error = "it begins with neither imaps:// nor imap://";
        return std::nullopt;
    }
    const std::size_t slash = text.find('/');
    const std::string_view authority = text.substr(0, slash);
    const std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos || at == 0) {
        error = "it names no user (imaps://USER@HOST)";
        return std::nullopt;
    }
    std::string_view user = authority.substr(0, at);
    if (user.find(':') != std::string_view::npos) {
        error = "a password is never taken from the command line: give it with CARROWIN_IMAP_PASSWORD, "
                "--password-file or at the prompt";
        return std::nullopt;
    }
    if (const std::size_t auth = user.find(';'); auth != std::string_view::npos) // ";AUTH=...": chosen here
        user = user.substr(0, auth);
    const std::optional<std::string> decoded = percentDecoded(user);
    if (!decoded || decoded->empty() || !text::isValidUtf8(*decoded)) {
        error = "its user is not percent-encoded UTF-8";
        return std::nullopt;
    }
    url.user = *decoded;
    if (!readHostAndPort(authority.substr(at + 1), url, error))
        return std::nullopt;
    if (!readFolder(slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1), url, error))
        return std::nullopt;
    return url;
}

std::string shownUrl(const ImapUrl& url)
{
    const bool tls = url.security == Security::Tls;
    std::string user;
    for (const char c : url.user)
        user += c == '@' ? std::string("%40") : std::string(1, c);
    const bool ipv6 = url.host.find(':') != std::string::npos;
    std::string shown = (tls ? "imaps://" : "imap://") + user + "@" + (ipv6 ? "[" + url.host + "]" : url.host);
    if (url.port != (tls ? 993 : 143))
        shown.append(":").append(std::to_string(url.port));
    return shown + "/" + url.folder;
}

} // namespace carrowin::extract::imap
