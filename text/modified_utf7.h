#pragma once
// IMAP's modified UTF-7 (RFC 3501, 5.1.3), in which IMAP servers and Maildir++ folders
// name mailboxes.
#include <string>
#include <string_view>

namespace carrowin::text {

// The modified UTF-7 of UTF-8 text; bytes that are no UTF-8 are read as Windows-1252.
std::string modifiedUtf7(std::string_view text);

} // namespace carrowin::text
