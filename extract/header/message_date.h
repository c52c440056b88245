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

// A time in seconds since 1970 as the calendar has it, in UTC.
struct CivilTime {
    std::int64_t year = 1970;
    int month = 1;   // 1 to 12
    int day = 1;     // 1 to 31
    int weekday = 4; // 0 for Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
};
CivilTime civilTimeOf(std::int64_t seconds);

// The English names of the days (from Sunday) and months (from January), as mail has them.
inline constexpr const char* kDayNames[7]{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
inline constexpr const char* kMonthNames[12]{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace carrowin::extract
