#include "batch.h"

#include "archive.h"
#include "ascii.h"
#include "mail_formats.h"
#include "mailbox_list.h"
#include "path_rules.h"
#include "paths.h"

#include <filesystem>

namespace carrowin::cli {

namespace {

bool neverTaken(const std::string&)
{
    return false;
}

// A mailbox of a FOLDER, as an mbox file in DIR or a folder of DIR's Maildir++ tree,
// whose top folder is the Inbox.
Job mailFolderJob(const Options& o, const std::string& folder, const std::string& name)
{
    const std::string base = mailboxFolderName(name, neverTaken);
    Job job{text::joinPath(folder, name), o.output, "", name};
    if (o.format == Format::Mbox) {
        job.mboxName = base;
    } else if (!text::equalsIgnoringAsciiCase(base, "Inbox")) {
        const std::string sub = extract::maildirFolderName(base);
        job.folder = text::joinPath(o.output, sub);
        job.shownAs = sub + "/";
        job.maildirSubfolder = true;
    }
    return job;
}

} // namespace

void Batch::addMailbox(const std::string& mailbox)
{
    Job job{mailbox, m_options.output, ""};
    if (m_options.format == Format::Mbox)
        job.mboxName = mailbox == "-" ? "Mailbox"
                                      : mailboxFolderName(text::utf8FromPath(text::pathFromUtf8(mailbox).filename()), neverTaken);
    m_jobs.push_back(std::move(job));
}

bool Batch::addFolder(const std::string& folder, std::error_code& ec)
{
    const std::vector<std::string> names = locate::listMailboxes(folder, ec);
    if (m_options.format != Format::Eml) {
        for (const std::string& name : names)
            m_jobs.push_back(mailFolderJob(m_options, folder, name));
        return !names.empty();
    }
    for (const std::string& name : names) {
        const std::string sub = mailboxFolderName(name, [&](const std::string& candidate) { return isTaken(candidate); });
        m_given.insert(extract::fileNameKey(sub));
        m_jobs.push_back({text::joinPath(folder, name), text::joinPath(m_options.output, sub), sub + "/", name});
    }
    return !names.empty();
}

void Batch::claimFolder(Job& job)
{
    namespace fs = std::filesystem;
    if (job.mailboxName.empty() || m_options.run.dryRun || m_options.run.skipExisting
        || m_options.format != Format::Eml)
        return;
    std::error_code ec;
    fs::create_directories(text::pathFromUtf8(m_options.output), ec);
    for (;;) {
        const bool made = fs::create_directory(text::pathFromUtf8(job.folder), ec);
        if (made || (ec && ec != std::errc::file_exists))
            return;
        // Taken meanwhile (by a folder, or a file in the way): the next free name, which
        // isTaken now sees on the disk.
        const std::string sub = mailboxFolderName(job.mailboxName, [&](const std::string& c) { return isTaken(c); });
        m_given.insert(extract::fileNameKey(sub));
        job.folder = text::joinPath(m_options.output, sub);
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
