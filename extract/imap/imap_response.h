#pragma once
// The responses of an IMAP server (RFC 9051, RFC 3501) as this client reads them. A
// response is one line, or several joined by the literals in it ("{5}" at a line's end,
// then 5 bytes, then the line goes on). Its parts: the tag ("*" untagged, "+" a
// continuation, or a command's tag); a status (OK, NO, BAD, BYE, PREAUTH) with its
// response code in brackets and its text; or, untagged, data: atoms (numbers among
// them), quoted strings, literals, NIL and parenthesised lists.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace carrowin::extract::imap {

struct Value {
    enum class Kind { Atom, String, List, Nil };
    Kind kind = Kind::Atom;
    std::string text;         // an atom's, or a quoted string's or literal's bytes
    std::vector<Value> items; // a list's

    bool isAtom(std::string_view name) const; // in any case
};

struct Response {
    std::string tag;         // "*", "+", or the tag of the command it answers
    std::string status;      // "OK", "NO", "BAD", "BYE", "PREAUTH", upper case; empty for data
    std::string code;        // what the response code's brackets hold: "OVERQUOTA", "CAPABILITY IMAP4rev1 ..."
    std::string text;        // the words after the status and its code (or after "+")
    std::vector<Value> data; // an untagged response's data: "LIST" (\HasNoChildren) "/" "INBOX"
};

// What a response of at most `limit` bytes is, from its bytes as the server sent them:
// one line, or lines joined by literals, each ending in CR LF. None (with `error` set)
// for what is no response; never throws, reads nothing outside `wire`.
std::optional<Response> parseResponse(std::string_view wire, std::string& error);

// How many bytes of `buffer` the first whole response takes, literals included; none
// while more must come. `literal` is set to the size of a literal the response waits
// for, so that the reader may refuse one that is too large before it comes.
std::optional<std::size_t> responseLength(std::string_view buffer, std::size_t& literal);

// The words of a capability list ("IMAP4rev1 STARTTLS AUTH=PLAIN"), upper case.
std::vector<std::string> capabilityWords(std::string_view text);

// An IMAP quoted string of `text`: in double quotes, a quote or a backslash escaped. Only
// for text of 7-bit characters without CR and LF, which a quoted string can carry.
std::string quoted(std::string_view text);

} // namespace carrowin::extract::imap
