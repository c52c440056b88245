#pragma once
// The mailboxes one call of carrowin-cli splits, and where each goes.
#include "options.h"

#include <string>
#include <system_error>
#include <unordered_set>
#include <vector>

namespace carrowin::cli {

// One mailbox to split, and where to.
struct Job {
    std::string mailbox; // a path, or "-" for standard input
    Destination to;
    std::string shownAs;     // what the dry run puts before each file name ("Inbox/")
    bool ownFolder = false;  // a FOLDER's mailbox in a folder of its own (Layout::FolderEach)
};

// The jobs of the arguments. A FOLDER gives every mailbox the window would list there,
// laid out in DIR as its format lays them out (formats.h). In a folder of its own, a name
// that is taken is numbered, so nothing is merged into a folder that holds something
// else; with --skip-existing an existing folder of that name is used, since what is
// already in it is then never written twice.
class Batch {
public:
    explicit Batch(const Options& o) : m_options(o) {}

    // False when the folder holds no mailbox, or cannot be listed (then `ec` says why).
    bool addFolder(const std::string& folder, std::error_code& ec);
    void addMailbox(const std::string& mailbox);
    const std::vector<Job>& jobs() const { return m_jobs; }

    // Claims a FOLDER's mailbox's own folder just before its run, by making it with a
    // create that fails when the name exists: should another program have made a folder
    // of that name since the batch was planned (another carrowin-cli into DIR, say), the
    // name is numbered on and never merged into. Not in a dry run, nor with
    // --skip-existing (a folder is then used again). A failure to make it is left to the
    // run, which puts it into words.
    void claimFolder(Job& job);

private:
    Job folderJob(const std::string& folder, const std::string& fileName);
    // A name of a folder of its own for the mailbox, free in DIR.
    std::string ownFolderName(const std::string& fileName);
    std::string treeFolderName(const std::string& base);
    std::string accountFolderName(const std::string& base);
    Destination destination(const std::string& folder, const std::string& name) const;
    bool isTaken(const std::string& name) const;

    const Options& m_options;
    std::vector<Job> m_jobs;
    std::unordered_set<std::string> m_given; // folder names this batch gave, by fileNameKey
    std::unordered_set<std::string> m_treeGiven; // Maildir++ (or an account's) folders this batch gave
    bool m_treeTopGiven = false;
};

} // namespace carrowin::cli
