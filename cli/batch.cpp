#include "batch.h"

#include "archive.h"
#include "mailbox_list.h"
#include "path_rules.h"
#include "paths.h"

#include <filesystem>

namespace carrowin::cli {

bool Batch::addFolder(const std::string& folder, std::error_code& ec)
{
    const std::vector<std::string> names = locate::listMailboxes(folder, ec);
    for (const std::string& name : names) {
        const std::string sub = mailboxFolderName(name, [&](const std::string& candidate) { return isTaken(candidate); });
        m_given.insert(extract::fileNameKey(sub));
        m_jobs.push_back({text::joinPath(folder, name), text::joinPath(m_options.output, sub), sub + "/"});
    }
    return !names.empty();
}

bool Batch::isTaken(const std::string& name) const
{
    namespace fs = std::filesystem;
    const bool givenNow = m_given.contains(extract::fileNameKey(name));
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(text::pathFromUtf8(text::joinPath(m_options.output, name)), ec);
    const bool exists = fs::exists(st);
    if (m_options.run.skipExisting) // a folder is used again, by this batch too
        return exists && !fs::is_directory(st);
    return exists || givenNow;
}

} // namespace carrowin::cli
