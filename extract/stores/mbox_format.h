#pragma once
// The pieces of an mbox that touch no disk: the From line that opens a message, and the
// quoting of the lines in it that begin with "From ".
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract {

// The line that introduces a message in an mbox, LF included: "From " + the envelope
// sender + " " + the date in the asctime form, UTC ("Thu Jan  1 00:00:00 1970"). The
// sender is the address of the header's Return-Path field, else of its From field (the
// first mailbox, read as RFC 5322 has it: comments, quoted strings, angle brackets), but
// only an address a reader cannot mistake: up to 254 bytes of printable ASCII without
// quotes, backslashes or brackets; else "MAILER-DAEMON". The date is the Date field's,
// else (or when its year has not four digits) 1970-01-01 00:00:00. `headerBlock` holds
// the message's header fields (a HeaderBlock's text, or as much of the header as is at
// hand).
std::string mboxFromLine(std::string_view headerBlock);

// The envelope sender mboxFromLine takes from an address field's body: its first
// address, when it can stand in a From line.
std::optional<std::string> fromLineSender(std::string_view fieldBody);

// The asctime form of a time in seconds since 1970, UTC: 24 characters; none for a year
// of more or fewer than four digits.
std::optional<std::string> asctimeOf(std::int64_t seconds);

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

} // namespace carrowin::extract
