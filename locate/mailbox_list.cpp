#include "mailbox_list.h"

#include "ascii.h"
#include "paths.h"
#include "platform.h"

#include <algorithm>
#include <filesystem>

namespace carrowin::locate {
namespace {

bool isMailboxName(std::string_view name)
{
    constexpr std::string_view kExt{".mbx"};
    return name.size() > kExt.size() && text::endsWithIgnoringAsciiCase(name, kExt);
}

} // namespace

std::vector<std::string> listMailboxes(std::string_view folderText)
{
    std::error_code ec;
    return listMailboxes(folderText, ec);
}

std::vector<std::string> listMailboxes(std::string_view folderText, std::error_code& ec)
{
    std::vector<std::string> names;
    ec.clear();
    if (folderText.empty())
        return names;
    for (std::filesystem::directory_iterator it(text::pathFromUtf8(folderText), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = text::utf8FromPath(it->path().filename());
        std::error_code typeEc;
        if (isMailboxName(name) && it->is_regular_file(typeEc) && !isHidden(*it))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), text::lessIgnoringAsciiCase);
    return names;
}

bool entryExists(std::string_view folderText)
{
    if (folderText.empty())
        return false;
    std::string_view test = folderText;
    if (test.size() > 1 && text::endsWithSeparator(test))
        test.remove_suffix(1);
    std::error_code ec;
    return std::filesystem::exists(text::pathFromUtf8(test), ec);
}

bool isInboxName(std::string_view name)
{
    return text::equalsIgnoringAsciiCase(name, "Inbox.mbx");
}

} // namespace carrowin::locate
