#include "message_date.h"

#include "ascii.h"

#include <array>
#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

namespace carrowin::extract {
namespace {

// The date's words and numbers, without comments and with ":" and "," kept as tokens.
std::vector<std::string> tokens(std::string_view text)
{
    std::vector<std::string> out;
    std::string word;
    int depth = 0; // comments nest
    const auto end = [&] {
        if (!word.empty())
            out.push_back(std::exchange(word, {}));
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && depth > 0) {
            ++i; // a quoted character in a comment
        } else if (c == '(') {
            end();
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        } else if (depth > 0) {
        } else if (c == ':' || c == ',') {
            end();
            out.emplace_back(1, c);
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            end();
        } else if (!word.empty() && (c == '+' || c == '-')) {
            end(); // "12:00:00+0100"
            word += c;
        } else {
            word += c;
        }
    }
    end();
    return out;
}

bool allDigits(const std::string& s, std::size_t min, std::size_t max)
{
    if (s.size() < min || s.size() > max)
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

int number(const std::string& s) { return std::stoi(s); }

std::optional<int> monthOf(const std::string& word)
{
    static constexpr std::array<std::string_view, 12> kMonths{"jan", "feb", "mar", "apr", "may", "jun",
                                                              "jul", "aug", "sep", "oct", "nov", "dec"};
    const std::string w = text::asciiLowered(word);
    for (std::size_t m = 0; m < kMonths.size(); ++m)
        if (w == kMonths[m])
            return static_cast<int>(m) + 1;
    return std::nullopt;
}

bool isDayName(const std::string& word)
{
    static constexpr std::array<std::string_view, 7> kDays{"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
    const std::string w = text::asciiLowered(word);
    for (std::string_view d : kDays)
        if (w == d)
            return true;
    return false;
}

// The zone's offset east of UTC, in minutes.
std::optional<int> zoneOffset(const std::string& zone)
{
    if ((zone[0] == '+' || zone[0] == '-') && allDigits(zone.substr(1), 4, 4)) {
        const int hhmm = number(zone.substr(1));
        if (hhmm % 100 > 59)
            return std::nullopt;
        const int minutes = hhmm / 100 * 60 + hhmm % 100;
        return zone[0] == '-' ? -minutes : minutes;
    }
    const std::string z = text::asciiLowered(zone);
    struct Named {
        std::string_view name;
        int hours;
    };
    static constexpr std::array<Named, 10> kNamed{{{"ut", 0}, {"utc", 0}, {"gmt", 0}, {"z", 0}, {"edt", -4},
                                                   {"est", -5}, {"cdt", -5}, {"cst", -6}, {"mdt", -6}, {"mst", -7}}};
    for (const Named& n : kNamed)
        if (z == n.name)
            return n.hours * 60;
    if (z == "pdt")
        return -7 * 60;
    if (z == "pst")
        return -8 * 60;
    // The military letters were defined with the wrong signs; they say nothing sure.
    if (z.size() == 1 && z[0] >= 'a' && z[0] <= 'z' && z[0] != 'j')
        return 0;
    return std::nullopt;
}

// Days from 1970-01-01 to the date (proleptic Gregorian calendar).
std::int64_t daysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int daysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

} // namespace

std::optional<std::int64_t> parseMessageDate(std::string_view text)
{
    std::vector<std::string> t = tokens(text);
    std::size_t i = 0;
    const auto at = [&](std::size_t k) -> const std::string& {
        static const std::string none;
        return k < t.size() ? t[k] : none;
    };
    // [ day-of-week "," ]
    if (isDayName(at(i).substr(0, 3)) && !allDigits(at(i), 1, 2)) {
        ++i;
        if (at(i) == ",")
            ++i;
    }
    // day month year, the day and month in either order as some mailers wrote them
    int day = 0;
    std::optional<int> month;
    if (allDigits(at(i), 1, 2) && (month = monthOf(at(i + 1)))) {
        day = number(at(i));
    } else if ((month = monthOf(at(i))) && allDigits(at(i + 1), 1, 2)) {
        day = number(at(i + 1));
    } else {
        return std::nullopt;
    }
    i += 2;
    if (at(i) == ",")
        ++i;
    if (!allDigits(at(i), 2, 4))
        return std::nullopt;
    int year = number(at(i));
    if (at(i).size() == 2)
        year += year < 50 ? 2000 : 1900;
    else if (at(i).size() == 3)
        year += 1900;
    ++i;
    // hour ":" minute [ ":" second ]
    if (!allDigits(at(i), 1, 2) || at(i + 1) != ":" || !allDigits(at(i + 2), 1, 2))
        return std::nullopt;
    const int hour = number(at(i));
    const int minute = number(at(i + 2));
    int second = 0;
    i += 3;
    if (at(i) == ":") {
        if (!allDigits(at(i + 1), 1, 2))
            return std::nullopt;
        second = number(at(i + 1));
        i += 2;
    }
    int offset = 0; // no zone: read as UTC
    if (i < t.size()) {
        const auto zone = zoneOffset(at(i));
        if (!zone)
            return std::nullopt;
        offset = *zone;
    }
    if (year < 1601 || year > 9999 || day < 1 || day > daysInMonth(year, *month) || hour > 23 || minute > 59
        || second > 60)
        return std::nullopt;
    const std::int64_t days = daysFromCivil(year, *month, day);
    return days * 86400 + hour * 3600 + minute * 60 + std::min(second, 59) - offset * 60;
}

} // namespace carrowin::extract
