#pragma once
// The text of a header field as a reader sees it: encoded words (RFC 2047) decoded and
// every byte read in its character set, as UTF-8.
#include <string>
#include <string_view>

namespace carrowin::extract {

// A field body as UTF-8: each encoded word "=?charset?B|Q?text?=" decoded into its
// character set's text, the white space between two adjacent encoded words dropped; a
// word that is broken or in a character set nobody knows is left as it stands. Bytes
// outside encoded words are UTF-8 when they form valid UTF-8, else Windows-1252.
std::string decodeHeaderText(std::string_view fieldBody);

} // namespace carrowin::extract
