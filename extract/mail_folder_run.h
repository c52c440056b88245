#pragma once
// Runs that write a mailbox into the folders that mail programs read, instead of a file
// for every message: one mbox file, or a Maildir.
#include "extraction_run.h"

#include <string>

namespace carrowin::extract {

// A mailbox to read: the file at `path`, or a stream read once (`path` then only names it
// in messages).
struct MailboxSource {
    std::string path;
    const ReadNext* stream = nullptr;
};

// The mailbox's messages, in order, into one new mbox file `baseName` + ".mbox" in
// `folder` (numbered "(1)", "(2)"... when that name is taken). Every message follows its
// From line and is quoted as mboxrd quotes (mail_formats.h); otherwise its bytes, line
// ends included, are as they were, and one LF follows it, which readers take off again.
// The file is written without a name and named once complete and durable, so it is
// never appended to and never replaces anything. A cancelled run names it with the
// messages completed by then; a failure leaves none. `fileName` gets the name it was
// given (in a dry run: the one it would get now). The Date fields give the From lines'
// dates whether or not `options.dates` asks; skipExisting is refused (Settings): an
// mbox is never added to.
RunSummary runIntoMbox(const MailboxSource& source, const std::string& folder, const std::string& baseName,
                       RunHost& host, const RunOptions& options, std::string& fileName);

// The mailbox's messages into the Maildir `path`, made with its cur/, new/ and tmp/ where
// they are missing (`subfolder`: a Maildir++ subfolder, which is marked by an empty file
// "maildirfolder"). Each message is one file of exactly its bytes: written in tmp/, made
// durable, then linked into cur/ under a name no other delivery gives, with the Seen flag
// (mail_formats.h). With `options.dates` its time of last change, which servers show as
// its arrival, is its Date's. With `options.skipExisting` a message whose bytes a file in
// cur/ or new/ held before the run is not added again.
RunSummary runIntoMaildir(const MailboxSource& source, const std::string& path, bool subfolder, RunHost& host,
                          const RunOptions& options);

} // namespace carrowin::extract
