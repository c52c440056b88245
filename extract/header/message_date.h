#pragma once
// The date of a message, from the body of its Date field.
#include <cstdint>
#include <optional>
#include <string_view>

namespace carrowin::extract {

// Seconds since 1970-01-01 00:00 UTC of an RFC 5322 date-time, with the obsolete forms
// that old mail uses: comments, a missing day of the week or seconds, two- and
// three-digit years (two digits below 50 are 20xx), named zones (UT, GMT, the North
// American ones; military letters count as UTC), and no zone at all (read as UTC).
// None when the text is not such a date or names a day that does not exist.
std::optional<std::int64_t> parseMessageDate(std::string_view text);

} // namespace carrowin::extract
