#include "mail_formats.h"

#include "cp1252.h"
#include "header_fields.h"
#include "message_date.h"
#include "utf8.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <cstdio>
#include <ctime>
#include <optional>

namespace carrowin::extract {
namespace {

constexpr std::string_view kFrom{"From "};

bool fitsAFromLine(std::string_view address)
{
    if (address.empty())
        return false;
    for (const char c : address)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f')
            return false;
    return true;
}

// The address of an address field: the one in angle brackets, else the first word
// that holds an "@"; none when it has neither.
std::optional<std::string> addressIn(std::string_view field)
{
    if (const std::size_t open = field.find('<'); open != std::string_view::npos) {
        const std::size_t close = field.find('>', open);
        if (close == std::string_view::npos)
            return std::nullopt;
        return std::string(field.substr(open + 1, close - open - 1));
    }
    std::size_t i = 0;
    while (i < field.size()) {
        const std::size_t start = field.find_first_not_of(" \t", i);
        if (start == std::string_view::npos)
            break;
        std::size_t end = field.find_first_of(" \t", start);
        if (end == std::string_view::npos)
            end = field.size();
        const std::string_view word = field.substr(start, end - start);
        if (word.find('@') != std::string_view::npos)
            return std::string(word);
        i = end;
    }
    return std::nullopt;
}

std::string senderOf(std::string_view headerBlock)
{
    for (const std::string_view name : {"Return-Path", "From"})
        if (const std::optional<std::string> field = headerField(headerBlock, name))
            if (const std::optional<std::string> address = addressIn(*field); address && fitsAFromLine(*address))
                return *address;
    return "MAILER-DAEMON";
}

// The first position at `from` or after (and after the first byte) where a line begins
// with "F" or ">": where a From line may be. 16 bytes at a time: a body is mostly lines
// of other letters, and a call for every line would cost more than the writing.
std::size_t nextCandidate(std::string_view bytes, std::size_t from)
{
    std::size_t k = std::max<std::size_t>(from, 1);
    constexpr std::size_t kWidth = 16; // the SSE2 every x86-64 has; wider ones it splits slowly
    using Bytes = unsigned char __attribute__((vector_size(kWidth)));
    for (; k + kWidth <= bytes.size(); k += kWidth) {
        Bytes before;
        Bytes at;
        std::memcpy(&before, bytes.data() + k - 1, kWidth);
        std::memcpy(&at, bytes.data() + k, kWidth);
        const auto hit = (before == '\n') & ((at == 'F') | (at == '>'));
        std::uint64_t words[kWidth / 8];
        std::memcpy(words, &hit, kWidth);
        if ((words[0] | words[1]) != 0)
            break; // among these
    }
    for (; k < bytes.size(); ++k)
        if (bytes[k - 1] == '\n' && (bytes[k] == 'F' || bytes[k] == '>'))
            return k;
    return std::string_view::npos;
}

// Where the ">"s that begin bytes[at...] end.
std::size_t afterQuotes(std::string_view bytes, std::size_t at)
{
    while (at < bytes.size() && bytes[at] == '>')
        ++at;
    return at;
}

void appendUtf16Unit(std::string& bits, std::uint16_t unit)
{
    bits.push_back(static_cast<char>(unit >> 8));
    bits.push_back(static_cast<char>(unit & 0xff));
}

// The bytes of UTF-16BE text in modified base64: "," for "/", no padding.
void appendModifiedBase64(std::string& out, std::string_view bytes)
{
    static constexpr std::string_view kDigits{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,"};
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const auto v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) << 16
                                                  | static_cast<unsigned char>(bytes[i + 1]) << 8
                                                  | static_cast<unsigned char>(bytes[i + 2]));
        for (int shift = 18; shift >= 0; shift -= 6)
            out += kDigits[(v >> shift) & 63];
    }
    if (const std::size_t rest = bytes.size() - i; rest > 0) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) << 16);
        if (rest == 2)
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1]) << 8);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        if (rest == 2)
            out += kDigits[(v >> 6) & 63];
    }
}

} // namespace

std::string asctimeOf(std::int64_t seconds)
{
    static constexpr std::array<const char*, 7> kDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Civil from days (H. Hinnant's algorithm): no time zone, no table of the system.
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const std::int64_t weekday = ((days % 7) + 11) % 7; // 1970-01-01 was a Thursday
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %lld", kDays[weekday], kMonths[month - 1],
                  static_cast<int>(day), static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60), static_cast<long long>(year));
    return text;
}

std::string mboxFromLine(std::string_view headerBlock)
{
    std::int64_t date = 0;
    if (const std::optional<std::string> field = headerField(headerBlock, "Date"))
        date = parseMessageDate(*field).value_or(0);
    return std::string(kFrom) + senderOf(headerBlock) + " " + asctimeOf(date) + "\n";
}

// The search is for lines that begin with "F" or ">" (nextCandidate); one that holds
// only ">"s before "From " is quoted.
void MboxQuoter::add(std::string_view bytes, const Emit& emit)
{
    std::size_t seg = 0;  // the first byte not yet passed on
    std::size_t from = 0; // where the search goes on
    if (m_matched > 0 && !resumeMatch(bytes, emit, from))
        return;
    if (m_lineStart && !quoteFirstLine(bytes, emit, seg, from))
        return;
    for (std::size_t k; (k = nextCandidate(bytes, from)) != std::string_view::npos;) {
        const std::size_t j = afterQuotes(bytes, k);
        if (bytes.substr(j).starts_with(kFrom)) {
            emit(bytes.substr(seg, j - seg));
            emit(">");
            seg = j;
        }
        from = std::max(j, k + 1);
    }
    if (!holdBackLastLine(bytes, emit, seg))
        emit(bytes.substr(seg));
}

// "From " begun at a line's start in the piece before: false while this piece, too, is
// all of it so far.
bool MboxQuoter::resumeMatch(std::string_view bytes, const Emit& emit, std::size_t& from)
{
    const std::size_t need = kFrom.size() - m_matched;
    const std::size_t n = std::min(need, bytes.size());
    if (bytes.substr(0, n) != kFrom.substr(m_matched, n)) {
        emit(kFrom.substr(0, m_matched));
    } else if (n < need) {
        m_matched += n;
        return false;
    } else {
        emit(">");
        emit(kFrom.substr(0, m_matched));
        from = n; // the rest of "From " goes on with the piece
    }
    m_matched = 0;
    m_lineStart = false;
    return true;
}

// The piece begins a line: false when all of it is ">"s and perhaps the start of "From ",
// which the next piece tells about.
bool MboxQuoter::quoteFirstLine(std::string_view bytes, const Emit& emit, std::size_t& seg, std::size_t& from)
{
    const std::size_t j = afterQuotes(bytes, 0);
    const std::string_view rest = bytes.substr(j);
    if (rest.starts_with(kFrom)) {
        emit(bytes.substr(0, j));
        emit(">");
        seg = j;
        from = j + kFrom.size();
    } else if (rest.size() < kFrom.size() && kFrom.starts_with(rest)) {
        emit(bytes.substr(0, j));
        m_matched = rest.size();
        return false;
    } else {
        from = j;
    }
    m_lineStart = false;
    return true;
}

// The last line, when only ">"s and the start of "From " follow its line end: passes on
// what comes before them and holds them back for the next piece to tell.
bool MboxQuoter::holdBackLastLine(std::string_view bytes, const Emit& emit, std::size_t seg)
{
    const std::size_t lf = bytes.rfind('\n');
    if (lf == std::string_view::npos)
        return false;
    const std::size_t j = afterQuotes(bytes, lf + 1);
    const std::string_view rest = bytes.substr(j);
    if (rest.size() >= kFrom.size() || !kFrom.starts_with(rest))
        return false;
    emit(bytes.substr(seg, j - seg));
    m_matched = rest.size();
    m_lineStart = true;
    return true;
}

void MboxQuoter::finish(const Emit& emit)
{
    emit(kFrom.substr(0, m_matched));
    m_matched = 0;
    m_lineStart = true;
}

std::string modifiedUtf7(std::string_view text)
{
    std::string out;
    std::string pending; // UTF-16BE of the characters not printable in ASCII
    const auto flush = [&] {
        if (pending.empty())
            return;
        out += '&';
        appendModifiedBase64(out, pending);
        out += '-';
        pending.clear();
    };
    for (std::size_t i = 0; i < text.size();) {
        const text::Utf8Character c = text::decodeUtf8(text, i);
        const char32_t cp = c.length == 0 ? text::codePointOfCp1252(static_cast<unsigned char>(text[i])) : c.codePoint;
        i += c.length == 0 ? 1 : c.length;
        if (cp >= 0x20 && cp <= 0x7e) {
            flush();
            out += cp == '&' ? std::string("&-") : std::string(1, static_cast<char>(cp));
        } else if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            appendUtf16Unit(pending, static_cast<std::uint16_t>(0xD800 + (v >> 10)));
            appendUtf16Unit(pending, static_cast<std::uint16_t>(0xDC00 + (v & 0x3ff)));
        } else {
            appendUtf16Unit(pending, static_cast<std::uint16_t>(cp));
        }
    }
    flush();
    return out;
}

std::string maildirFolderName(std::string_view mailboxName)
{
    std::string name;
    for (const char c : mailboxName) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '.')
            name += "\\2e";
        else if (c == '\\')
            name += "\\5c";
        else if (u < 0x20 || u == 0x7f || c == '/')
            name += ' ';
        else
            name += c;
    }
    std::string folder(1, '.');
    folder += modifiedUtf7(name);
    return folder;
}

std::string maildirUniqueName(std::int64_t seconds, std::uint32_t microseconds, std::uint32_t pid, std::uint64_t n,
                              std::string_view host)
{
    std::string name = std::to_string(seconds) + ".M" + std::to_string(microseconds) + "P" + std::to_string(pid) + "Q"
                       + std::to_string(n) + ".";
    for (const char c : host) {
        if (c == '/')
            name += "\\057";
        else if (c == ':')
            name += "\\072";
        else
            name += c;
    }
    return name;
}

} // namespace carrowin::extract
