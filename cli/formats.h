#pragma once
// The formats carrowin-cli writes, in one table: what each is called and does, how the
// mailboxes of a FOLDER are laid out in it, and how its store is made. The help, the
// checks of the command line, the batches and the runs all read it.
#include "eml_store.h"
#include "imap_session.h"
#include "message_store.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace carrowin::cli {

enum class Format { Eml, Mbox, Maildir, Imap };

// How the mailboxes of a FOLDER (or --store) go into DIR.
enum class Layout {
    FolderEach, // each into a folder of its own named after it, numbered when taken
    FileEach,   // each into one file of DIR named after it (the store numbers it)
    Tree,       // one Maildir++ tree: the Inbox at its top, every other mailbox a subfolder
    Account,    // an IMAP account's folder: the Inbox into it, every other mailbox a folder under it
};

// Where one mailbox's messages go.
struct Destination {
    std::string folder;     // the output folder (a Maildir's own; an account's folder as a URL)
    std::string name{};     // the mailbox's name without ".mbx": names a file of it all
    bool subfolder = false; // a subfolder of a tree, or a folder under the account's
    std::shared_ptr<const extract::imap::ServerAccount> account{}; // an upload's
    std::string accountFolder{}; // its folder, as the URL names it
};

struct FormatInfo {
    Format format;
    std::string_view name;         // as --format takes it
    std::string_view help;         // its lines under "Formats" in --help
    bool namesMessages;            // --prefix, --keep-re and --decode-subjects mean something
    std::string_view notAddedTo;   // why --skip-existing is refused; empty where it adds
    std::string_view notOnWindows; // why it is not there on Windows; empty where it is
    std::string_view written;      // what the summary says became of the messages: "written"
    std::string_view kept;         // what an interruption leaves: "the files written so far are kept"
    Layout layout;
    extract::MakeStore (*store)(const Destination& to, extract::NamingHost& naming);
};

// Every format, in the order --help lists them.
std::span<const FormatInfo> formats();
const FormatInfo& formatInfo(Format format);
// The format of that name, in any case.
std::optional<Format> formatNamed(std::string_view name);

} // namespace carrowin::cli
