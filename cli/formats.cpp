#include "formats.h"

#include "ascii.h"
#include "imap_store.h"
#include "maildir_store.h"
#include "mbox_store.h"

#include <array>

namespace carrowin::cli {
namespace {

constexpr std::string_view kFilesKept = "the files written so far are kept";

constexpr std::array kFormats{
    FormatInfo{
        Format::Eml, "eml", "a file for every message, named after its subject (the default)\n", true, {}, {},
        "written", kFilesKept, Layout::FolderEach,
        [](const Destination&, extract::NamingHost& naming) { return extract::emlStore(naming); }},
    FormatInfo{
        Format::Mbox, "mbox",
        "one mbox file a mailbox: DIR/Inbox.mbox for Inbox.mbx (a taken name\n"
        "is numbered: Inbox(1).mbox; nothing is ever added to a file), each\n"
        "message after a \"From \" line with its sender and date, its lines\n"
        "that begin with \"From \" (after any \">\") quoted with one \">\" more\n"
        "(mboxrd); the file gets its name once it is complete\n",
        false, "an mbox file is never added to (--format maildir adds only the messages that are not there yet)", {},
        "written", kFilesKept, Layout::FileEach,
        [](const Destination& to, extract::NamingHost&) { return extract::mboxStore(to.folder, to.name); }},
    FormatInfo{
        Format::Maildir, "maildir",
        "a Maildir: DIR/cur holds every message as a file of its exact\n"
        "bytes, marked as read; a FOLDER or --store makes DIR one Maildir++\n"
        "tree, the Inbox at its top and each other mailbox a subfolder\n"
        "(DIR/.Sent Items); not on Windows, whose file names cannot hold \":\"\n",
        false, {}, "Maildir file names hold \":\", which Windows does not allow; use --format mbox", "written",
        kFilesKept, Layout::Tree,
        [](const Destination& to, extract::NamingHost&) { return extract::maildirStore(to.folder, to.subfolder); }},
    FormatInfo{
        Format::Imap, "imap",
        "an IMAP account, -o imaps://USER@HOST[:PORT][/FOLDER] (imap:// for a\n"
        "server that starts TLS with STARTTLS): each message appended to\n"
        "FOLDER (INBOX by default) as its exact bytes, marked as read, dated\n"
        "by its Date: header; a FOLDER or --store puts the Inbox into FOLDER\n"
        "and each other mailbox into a folder under it (INBOX/Sent Items),\n"
        "made when missing; a message counts once the server confirms it\n",
        false, {}, {}, "uploaded", "the messages the server confirmed stay there", Layout::Account,
        [](const Destination& to, extract::NamingHost&) {
            return extract::imapStore(to.account, {to.accountFolder, to.subfolder ? to.name : std::string()});
        }},
};

constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);

// Where a format's row is. A format this switch does not name fails the build (there is
// no default), and one it names without a row fails the check below.
constexpr std::size_t rowOf(Format format)
{
    switch (format) {
    case Format::Eml:
        return 0;
    case Format::Mbox:
        return 1;
    case Format::Maildir:
        return 2;
    case Format::Imap:
        return 3;
    }
    return kNoRow;
}

constexpr bool everyFormatHasItsRow()
{
    for (std::size_t i = 0; i < kFormats.size(); ++i)
        if (rowOf(kFormats[i].format) != i)
            return false;
    for (int value = 0; value < 64; ++value)
        if (const std::size_t row = rowOf(static_cast<Format>(value)); row != kNoRow && row >= kFormats.size())
            return false;
    return true;
}
static_assert(everyFormatHasItsRow(), "every format has its row in kFormats, where rowOf says");

} // namespace

std::span<const FormatInfo> formats()
{
    return kFormats;
}

const FormatInfo& formatInfo(Format format)
{
    return kFormats[rowOf(format)];
}

std::optional<Format> formatNamed(std::string_view name)
{
    for (const FormatInfo& f : kFormats)
        if (text::equalsIgnoringAsciiCase(name, f.name))
            return f.format;
    return std::nullopt;
}

} // namespace carrowin::cli
