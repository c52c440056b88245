#pragma once
// The pieces of the two folder formats that mail programs read, mbox and Maildir, that
// do not touch a disk: an mbox's From lines and its quoting of lines that begin with
// "From ", and a Maildir's file and folder names.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace carrowin::extract {

// The line that introduces a message in an mbox, LF included: "From " + the envelope
// sender + " " + the date in the asctime form, UTC ("Thu Jan  1 00:00:00 1970"). The
// sender is the address of the header's Return-Path field, else of its From field,
// else "MAILER-DAEMON"; the date is the Date field's, else 1970-01-01 00:00:00.
// `headerBlock` is the message's header (or as much of it as is at hand).
std::string mboxFromLine(std::string_view headerBlock);

// The asctime form of a time in seconds since 1970, UTC.
std::string asctimeOf(std::int64_t seconds);

// Quotes a message for an mbox, as mboxrd does: a line that begins with "From ", after
// any number of ">", gets one ">" more in front, so that no line of a message is ever
// read as the start of the next, and a reader can take the quoting off again. The
// message comes in pieces of any size; what a line's start needs to be told is held back
// until the next piece (at most four bytes).
class MboxQuoter {
public:
    // What the quoted bytes go to, in order: pieces of the input and the ">"s put in.
    using Emit = std::function<void(std::string_view)>;

    // Quotes `bytes`; a piece without a From line goes on whole, as one.
    void add(std::string_view bytes, const Emit& emit);
    // Appends `bytes`, quoted, to `out`.
    void add(std::string_view bytes, std::string& out)
    {
        add(bytes, [&](std::string_view piece) { out += piece; });
    }
    // The message ends: what was held back goes on, and the next message starts at the
    // start of a line.
    void finish(const Emit& emit);
    void finish(std::string& out)
    {
        finish([&](std::string_view piece) { out += piece; });
    }

private:
    bool resumeMatch(std::string_view bytes, const Emit& emit, std::size_t& from);
    bool quoteFirstLine(std::string_view bytes, const Emit& emit, std::size_t& seg, std::size_t& from);
    bool holdBackLastLine(std::string_view bytes, const Emit& emit, std::size_t seg);

    bool m_lineStart = true;   // only ">"s, if anything, since the line began
    std::size_t m_matched = 0; // of "From " after them, held back
};

// The name a mailbox gets as a Maildir++ subfolder: "." + its name, in IMAP's modified
// UTF-7 (RFC 3501) as Maildir++ readers expect, with "." (the hierarchy's separator)
// and "\" written as "\2e" and "\5c", the escapes a server's listescape reads back, so
// that "Archive.2003" stays one folder. Control characters and "/" become spaces.
std::string maildirFolderName(std::string_view mailboxName);

// IMAP's modified UTF-7 of UTF-8 text; bytes that are no UTF-8 are read as Windows-1252.
std::string modifiedUtf7(std::string_view text);

// A Maildir file name that no other delivery gives: "<seconds>.M<microseconds>P<pid>Q<n>."
// + the host's name, with "/" and ":" written as "\057" and "\072".
std::string maildirUniqueName(std::int64_t seconds, std::uint32_t microseconds, std::uint32_t pid, std::uint64_t n,
                              std::string_view host);

// The info that a message file in a Maildir's cur/ ends in: seen ("S").
inline constexpr std::string_view kMaildirSeen{":2,S"};

} // namespace carrowin::extract
