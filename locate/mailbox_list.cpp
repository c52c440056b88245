#include "mailbox_list.h"

#include "path_rules.h"
#include "platform.h"

#include <algorithm>
#include <filesystem>

namespace carrowin::locate {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upper(x) == upper(y);
           });
}

bool isMailboxName(std::string_view name)
{
    constexpr std::string_view kExt{".mbx"};
    return name.size() > kExt.size() && equalsIgnoringCase(name.substr(name.size() - kExt.size()), kExt);
}

std::filesystem::path pathOf(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace

bool lessIgnoringCase(std::string_view a, std::string_view b)
{
    const auto cmp = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                  [](char x, char y) { return upper(x) < upper(y); });
    if (cmp || !equalsIgnoringCase(a, b))
        return cmp;
    return a < b;
}

std::vector<std::string> listMailboxes(std::string_view folderText)
{
    std::vector<std::string> names;
    if (folderText.empty())
        return names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(pathOf(folderText), ec), end; !ec && it != end; it.increment(ec)) {
        const auto u8 = it->path().filename().u8string();
        const std::string name(u8.begin(), u8.end());
        std::error_code typeEc;
        if (isMailboxName(name) && it->is_regular_file(typeEc) && !isHidden(*it))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

bool entryExists(std::string_view folderText)
{
    if (folderText.empty())
        return false;
    std::string_view test = folderText;
    if (test.size() > 1 && extract::endsWithSeparator(test))
        test.remove_suffix(1);
    std::error_code ec;
    return std::filesystem::exists(pathOf(test), ec);
}

std::optional<std::size_t> inboxIndex(const std::vector<std::string>& names)
{
    for (std::size_t i = 0; i < names.size(); ++i)
        if (equalsIgnoringCase(names[i], "Inbox.mbx"))
            return i;
    return std::nullopt;
}

} // namespace carrowin::locate
