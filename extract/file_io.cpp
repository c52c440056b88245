#include "file_io.h"

#include "errors.h"

#include <filesystem>

namespace carrowin::extract {

void MailboxFile::changed() const
{
    throw ExtractError(ErrorKind::Mailbox, m_path,
                       "The mailbox \"" + m_path + "\" changed while it was being read: it is shorter than when the "
                       "extraction began. The files written so far are kept.");
}

std::vector<std::string> OutputFolder::names() const
{
    std::vector<std::string> names;
    std::error_code ec;
    const std::filesystem::path folder(std::u8string(m_path.begin(), m_path.end()));
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::u8string name = it->path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    return names;
}

} // namespace carrowin::extract
