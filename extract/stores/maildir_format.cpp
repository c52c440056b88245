#include "maildir_format.h"

#include "modified_utf7.h"
#include "utf8.h"

namespace carrowin::extract {

std::string maildirFolderName(std::string_view mailboxName, std::string_view number)
{
    constexpr std::size_t kLongestName = 255; // what file systems hold
    const auto folder = [&](std::string_view name) {
        std::string escaped;
        for (const char c : name) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '.')
                escaped += "\\2e";
            else if (c == '\\')
                escaped += "\\5c";
            else if (c == '~' && escaped.empty())
                escaped += "\\7e";
            else if (u < 0x20 || u == 0x7f || c == '/')
                escaped += ' ';
            else
                escaped += c;
        }
        escaped += number;
        return std::string(1, '.').append(text::modifiedUtf7(escaped));
    };
    std::string name = folder(mailboxName);
    while (name.size() > kLongestName && !mailboxName.empty()) {
        mailboxName = mailboxName.substr(0, text::byteLengthWithoutLastCharacter(mailboxName));
        name = folder(mailboxName);
    }
    return name;
}

std::string maildirUniqueName(std::int64_t seconds, std::uint32_t microseconds, std::uint32_t pid, std::uint64_t n,
                              std::string_view host)
{
    std::string name = std::to_string(seconds) + ".M" + std::to_string(microseconds) + "P" + std::to_string(pid) + "Q"
                       + std::to_string(n) + ".";
    for (const char c : host) {
        if (c == '/')
            name += "\\057";
        else if (c == ':')
            name += "\\072";
        else
            name += c;
    }
    return name;
}

} // namespace carrowin::extract
