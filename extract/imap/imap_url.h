#pragma once
// An IMAP account and folder as a URL names them (RFC 5092): imaps://USER@HOST[:PORT][/FOLDER],
// or imap:// for a server that goes to TLS with STARTTLS.
#include "imap_session.h"

#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract::imap {

struct ImapUrl {
    Security security = Security::Tls;
    std::string host;
    std::uint16_t port = 993;
    std::string user;   // percent-decoded
    std::string folder; // percent-decoded, UTF-8; "INBOX" when the URL names none
};

// Whether the text is meant as an IMAP URL (it begins "imap://" or "imaps://", in any case).
bool looksLikeImapUrl(std::string_view text);

// The URL's parts; none, with `error` saying what is wrong, for a URL without a user or a
// host, with a password in it, with a port that is no port, with a part of RFC 5092 that
// names a message (";UID="), or with a percent sign not followed by two hex digits.
std::optional<ImapUrl> parseImapUrl(std::string_view url, std::string& error);

// The URL again, for words: without anything secret (there is nothing secret in it).
std::string shownUrl(const ImapUrl& url);

} // namespace carrowin::extract::imap
