#include "mbox_format.h"

#include "header_fields.h"
#include "message_date.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace carrowin::extract {
namespace {

constexpr std::string_view kFrom{"From "};
constexpr std::size_t kLongestSender = 254; // the longest address SMTP carries

// Whether an address can stand in a From line: a reader splits the line at white space
// and trusts nothing that holds quotes, escapes or angle brackets.
bool fitsAFromLine(std::string_view address)
{
    if (address.empty() || address.size() > kLongestSender)
        return false;
    for (const char c : address)
        if (const auto u = static_cast<unsigned char>(c);
            u <= ' ' || u >= 0x7f || c == '"' || c == '\\' || c == '<' || c == '>' || c == '(' || c == ')')
            return false;
    return true;
}

// From `at`, just after an opening parenthesis, to just after the one that closes it
// (comments nest; a backslash escapes the next character).
std::size_t afterComment(std::string_view text, std::size_t at)
{
    for (int depth = 1; at < text.size() && depth > 0; ++at) {
        if (text[at] == '\\')
            ++at;
        else if (text[at] == '(')
            ++depth;
        else if (text[at] == ')')
            --depth;
    }
    return std::min(at, text.size());
}

// From `at`, just after an opening quote, to just after the quote that closes it.
std::size_t afterQuoted(std::string_view text, std::size_t at)
{
    for (; at < text.size(); ++at) {
        if (text[at] == '\\')
            ++at;
        else if (text[at] == '"')
            return at + 1;
    }
    return text.size();
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

std::string senderOf(std::string_view headerBlock)
{
    for (const std::string_view name : {"Return-Path", "From"})
        if (const std::optional<std::string> field = headerField(headerBlock, name))
            if (const std::optional<std::string> sender = fromLineSender(*field))
                return *sender;
    return "MAILER-DAEMON";
}

} // namespace

// The first mailbox of the field: the address in its angle brackets, else the bare address
// without comments or white space (which must hold an "@"). A quoted string is kept with
// its quotes, which no From line takes.
std::optional<std::string> fromLineSender(std::string_view field)
{
    std::string bare;
    for (std::size_t i = 0; i < field.size();) {
        const char c = field[i];
        if (c == '(') {
            i = afterComment(field, i + 1);
        } else if (c == '"') {
            const std::size_t end = afterQuoted(field, i + 1);
            bare.append(field.substr(i, end - i));
            i = end;
        } else if (c == '<') {
            const std::size_t close = field.find('>', i + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            std::string address(field.substr(i + 1, close - i - 1));
            return fitsAFromLine(address) ? std::optional(std::move(address)) : std::nullopt;
        } else if (c == ',' || c == ';') {
            break; // the end of the first mailbox
        } else if (c == ':') {
            bare.clear(); // a group's name
            ++i;
        } else {
            if (c != ' ' && c != '\t')
                bare += c;
            ++i;
        }
    }
    if (bare.find('@') == std::string::npos || !fitsAFromLine(bare))
        return std::nullopt;
    return bare;
}

std::optional<std::string> asctimeOf(std::int64_t seconds)
{
    const CivilTime t = civilTimeOf(seconds);
    if (t.year < 1000 || t.year > 9999)
        return std::nullopt; // a From line has four digits for it
    // "Thu Jan  1 00:00:00 1970", written out by hand: one for every message of an mbox.
    std::string text = std::string(kDayNames[t.weekday]) + " " + kMonthNames[t.month - 1] + " dd hh:mm:ss yyyy";
    const auto put = [&](std::size_t at, std::int64_t value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    };
    put(8, t.day, 2);
    if (t.day < 10)
        text[8] = ' ';
    put(11, t.hour, 2);
    put(14, t.minute, 2);
    put(17, t.second, 2);
    put(20, t.year, 4);
    return text;
}

std::string mboxFromLine(std::string_view headerBlock)
{
    std::optional<std::string> date;
    if (const std::optional<std::string> field = headerField(headerBlock, "Date"))
        if (const std::optional<std::int64_t> seconds = parseMessageDate(*field))
            date = asctimeOf(*seconds);
    if (!date)
        date = asctimeOf(0);
    return std::string(kFrom) + senderOf(headerBlock) + " " + *date + "\n";
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

} // namespace carrowin::extract
