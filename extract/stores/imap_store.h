#pragma once
// The store of an IMAP account: every message of a mailbox appended to one folder on the
// server, as its own bytes.
#include "imap_session.h"
#include "message_store.h"

#include <memory>
#include <optional>
#include <string>

namespace carrowin::extract {

// Where the messages of one mailbox go on a server.
struct ImapFolder {
    std::string top;     // the folder named for them all, its levels parted by "/", UTF-8
    std::string mailbox; // the mailbox's own folder under it, in UTF-8; empty: `top` itself
};

// The folder in words: "INBOX/Sent Items".
std::string shownFolder(const ImapFolder& folder);
// Its name on a server whose hierarchy's separator is `separator` (none: a flat server),
// in modified UTF-7: the levels of `top` joined by the separator, then the mailbox's
// name, in which the separator is replaced ('.' by U+2024 "․", '/' by U+2215 "∕", any
// other by '_') so that the name stays one level.
std::string serverFolderName(const ImapFolder& folder, std::optional<char> separator);

// The mailbox's messages, in order, appended to `folder` (made when missing) of the
// account, each as its own bytes, marked \Seen, its Date field's time as the server's
// date of it (the time of upload where it has none that can be read: the report counts
// it as undated, whether or not `dates` asks). A message counts as written once the
// server has answered OK to it. A message that holds a NUL goes as a binary literal
// where the server takes one (BINARY), and is refused otherwise (RunHost::refused),
// as is one the server says is too large; the run goes on. With skipExisting a message
// whose bytes (their line ends in CR LF, as servers keep them) a message of the folder
// holds already is not sent again. A dry run connects to nothing.
//
// Failures throw ExtractError: Connection (the server cannot be reached, TLS fails, the
// connection is lost: the words say which message was on its way and how many the
// server had confirmed), Authentication, Server (a folder cannot be made, the quota).
MakeStore imapStore(std::shared_ptr<const imap::ServerAccount> account, ImapFolder folder);

} // namespace carrowin::extract
