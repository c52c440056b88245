#include "batch.h"

#include "archive.h"
#include "ascii.h"
#include "maildir_format.h"
#include "mailbox_list.h"
#include "path_rules.h"
#include "paths.h"

#include <filesystem>
#include <utility>

namespace carrowin::cli {

namespace {

// "(n)" after a folder's name that another mailbox has; nothing for the first.
std::string numberOf(std::uint64_t n)
{
    return n == 0 ? std::string() : std::string(1, '(').append(std::to_string(n)).append(")");
}

bool neverTaken(const std::string&)
{
    return false;
}

bool isInbox(std::string_view name)
{
    return text::equalsIgnoringAsciiCase(name, "Inbox");
}

} // namespace

void Batch::addMailbox(const std::string& mailbox)
{
    const std::string name = mailbox == "-" ? "Mailbox"
                                            : mailboxFolderName(text::utf8FromPath(text::pathFromUtf8(mailbox).filename()), neverTaken);
    m_jobs.push_back({mailbox, destination(m_options.output, name), ""});
    // The top of a tree (or the account's folder) is this mailbox's: a FOLDER's Inbox goes
    // beside it, not into it.
    const Layout layout = formatInfo(m_options.format).layout;
    m_treeTopGiven = m_treeTopGiven || layout == Layout::Tree || layout == Layout::Account;
}

bool Batch::addFolder(const std::string& folder, std::error_code& ec)
{
    const std::vector<std::string> names = locate::listMailboxes(folder, ec);
    for (const std::string& name : names)
        m_jobs.push_back(folderJob(folder, name));
    return !names.empty();
}

Job Batch::folderJob(const std::string& folder, const std::string& fileName)
{
    const std::string base = mailboxFolderName(fileName, neverTaken);
    Job job{text::joinPath(folder, fileName), destination(m_options.output, base), ""};
    switch (formatInfo(m_options.format).layout) {
    case Layout::FolderEach: {
        const std::string sub = ownFolderName(fileName);
        job.to.folder = text::joinPath(m_options.output, sub);
        job.shownAs = sub + "/";
        job.ownFolder = true;
        break;
    }
    case Layout::FileEach:
        break;
    case Layout::Tree: { // the Inbox at the top
        if (isInbox(base) && !std::exchange(m_treeTopGiven, true))
            break;
        const std::string sub = treeFolderName(base);
        job.to.folder = text::joinPath(m_options.output, sub);
        job.shownAs = sub + "/";
        job.to.subfolder = true;
        break;
    }
    case Layout::Account: { // the Inbox into the account's folder
        if (isInbox(base) && !std::exchange(m_treeTopGiven, true))
            break;
        job.to.name = accountFolderName(base);
        job.to.folder = m_options.output + "/" + job.to.name;
        job.to.subfolder = true;
        break;
    }
    }
    return job;
}

Destination Batch::destination(const std::string& folder, const std::string& name) const
{
    return {folder, name, false, m_options.account, m_options.imapUrl ? m_options.imapUrl->folder : std::string()};
}

// A folder under the account's that no other mailbox of the batch has, numbered as a
// tree's subfolders are; a server that keeps names without case sees none twice.
std::string Batch::accountFolderName(const std::string& base)
{
    for (std::uint64_t n = isInbox(base) ? 1 : 0;; ++n) {
        const std::string sub = base + numberOf(n);
        if (m_treeGiven.insert(text::asciiLowered(sub)).second)
            return sub;
    }
}

// A folder of the tree that no other mailbox of the batch has: numbered "(1)", "(2)"...
// where two mailboxes' names give one, and never the Inbox's. The numbers depend only on
// the batch's mailboxes, so that a second run finds each mailbox's folder again.
std::string Batch::treeFolderName(const std::string& base)
{
    for (std::uint64_t n = isInbox(base) ? 1 : 0;; ++n) {
        const std::string sub = extract::maildirFolderName(base, numberOf(n));
        if (m_treeGiven.insert(sub).second)
            return sub;
    }
}

std::string Batch::ownFolderName(const std::string& fileName)
{
    const std::string sub = mailboxFolderName(fileName, [&](const std::string& candidate) { return isTaken(candidate); });
    m_given.insert(extract::fileNameKey(sub));
    return sub;
}

void Batch::claimFolder(Job& job)
{
    namespace fs = std::filesystem;
    if (!job.ownFolder || m_options.run.dryRun || m_options.run.skipExisting)
        return;
    std::error_code ec;
    fs::create_directories(text::pathFromUtf8(m_options.output), ec);
    for (;;) {
        const bool made = fs::create_directory(text::pathFromUtf8(job.to.folder), ec);
        if (made || (ec && ec != std::errc::file_exists))
            return;
        // Taken meanwhile (by a folder, or a file in the way): the next free name, which
        // isTaken now sees on the disk.
        const std::string sub = ownFolderName(text::utf8FromPath(text::pathFromUtf8(job.mailbox).filename()));
        job.to.folder = text::joinPath(m_options.output, sub);
        job.shownAs = sub + "/";
    }
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
