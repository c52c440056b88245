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
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0') {
            // NUL: the padding of a record whose message ends with its header, unended
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
    // RFC 5322's names, and the names that mean one zone only, as mailers of Europe and
    // Japan wrote them. An ambiguous name (IST, BST, ...) is one of the unknown ones.
    static constexpr std::array<Named, 21> kNamed{{
        {"ut", 0},   {"utc", 0},  {"gmt", 0},  {"z", 0},    {"edt", -4},  {"est", -5},  {"cdt", -5},
        {"cst", -6}, {"mdt", -6}, {"mst", -7}, {"pdt", -7}, {"pst", -8},  {"cet", 1},   {"cest", 2},
        {"mez", 1},  {"mesz", 2}, {"eet", 2},  {"eest", 3}, {"wet", 0},   {"west", 1},  {"jst", 9},
    }};
    for (const Named& n : kNamed)
        if (z == n.name)
            return n.hours * 60;
    // Any other name, and the military letters (defined with the wrong signs, they say
    // nothing sure), is an unknown zone: the time is read as UTC (RFC 5322, 4.3).
    if (std::all_of(z.begin(), z.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
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

// The tokens of a date, read from the front.
class Cursor {
public:
    explicit Cursor(std::vector<std::string> tokens) : m_tokens(std::move(tokens)) {}
    const std::string& at(std::size_t k = 0) const
    {
        static const std::string none;
        return m_i + k < m_tokens.size() ? m_tokens[m_i + k] : none;
    }
    void skip(std::size_t n = 1) { m_i += n; }
    bool skipped(std::string_view token)
    {
        if (at() != token)
            return false;
        skip();
        return true;
    }
    bool atEnd() const { return m_i >= m_tokens.size(); }

private:
    std::vector<std::string> m_tokens;
    std::size_t m_i = 0;
};

struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int offset = 0; // of the zone, minutes east of UTC; no zone is read as UTC
};

// [ day-of-week "," ] day month year, the day and month in either order as some mailers
// wrote them.
bool readDate(Cursor& c, DateTime& d)
{
    if (isDayName(c.at().substr(0, 3)) && !allDigits(c.at(), 1, 2)) {
        c.skip();
        c.skipped(",");
    }
    std::optional<int> month;
    if (allDigits(c.at(), 1, 2) && (month = monthOf(c.at(1))))
        d.day = number(c.at());
    else if ((month = monthOf(c.at())) && allDigits(c.at(1), 1, 2))
        d.day = number(c.at(1));
    else
        return false;
    d.month = *month;
    c.skip(2);
    c.skipped(",");
    if (!allDigits(c.at(), 2, 4))
        return false;
    d.year = number(c.at());
    if (c.at().size() == 2)
        d.year += d.year < 50 ? 2000 : 1900;
    else if (c.at().size() == 3)
        d.year += 1900;
    c.skip();
    return true;
}

// hour ":" minute [ ":" second ] [ zone ]
bool readTime(Cursor& c, DateTime& d)
{
    if (!allDigits(c.at(), 1, 2) || c.at(1) != ":" || !allDigits(c.at(2), 1, 2))
        return false;
    d.hour = number(c.at());
    d.minute = number(c.at(2));
    c.skip(3);
    if (c.skipped(":")) {
        if (!allDigits(c.at(), 1, 2))
            return false;
        d.second = number(c.at());
        c.skip();
    }
    if (c.atEnd())
        return true;
    const auto zone = zoneOffset(c.at());
    if (zone)
        d.offset = *zone;
    return zone.has_value();
}

} // namespace

std::optional<std::int64_t> parseMessageDate(std::string_view text)
{
    Cursor c(tokens(text));
    DateTime d;
    if (!readDate(c, d) || !readTime(c, d))
        return std::nullopt;
    if (d.year < 1601 || d.year > 9999 || d.day < 1 || d.day > daysInMonth(d.year, d.month) || d.hour > 23
        || d.minute > 59 || d.second > 60)
        return std::nullopt;
    const std::int64_t days = daysFromCivil(d.year, d.month, d.day);
    return days * 86400 + d.hour * 3600 + d.minute * 60 + std::min(d.second, 59) - d.offset * 60;
}

CivilTime civilTimeOf(std::int64_t seconds)
{
    // Civil from days (H. Hinnant's algorithm): no time zone, no table of the system.
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    CivilTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = yoe + era * 400 + (t.month <= 2 ? 1 : 0);
    t.weekday = static_cast<int>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

} // namespace carrowin::extract
