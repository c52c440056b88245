#include "naming_excerpt.h"

#include "output_naming.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace carrowin::extract {
namespace {

constexpr std::size_t kNewsWindow = kNewsgroupsWindow - 1 + kNewsgroupsLabel.size();

// Finds `word` (whose first letter it holds once only) in bytes that come piece by piece:
// `matched` says how much of it the last piece ended with. Returns the bytes after it when
// it is complete, else nothing (and `matched` for the next piece).
std::optional<std::string_view> find(std::string_view word, std::string_view bytes, std::size_t& matched)
{
    while (!bytes.empty()) {
        if (matched == 0) { // look for its first letter
            const void* first = std::memchr(bytes.data(), word[0], bytes.size());
            if (first == nullptr)
                return std::nullopt;
            bytes.remove_prefix(static_cast<std::size_t>(static_cast<const char*>(first) - bytes.data()));
        }
        const std::size_t n = std::min(bytes.size(), word.size() - matched);
        if (bytes.substr(0, n) == word.substr(matched, n)) {
            matched += n;
            bytes.remove_prefix(n);
            if (matched == word.size())
                return bytes;
        } else if (matched == 0) {
            bytes.remove_prefix(1);
        } else {
            matched = 0; // begin again at this byte
        }
    }
    return std::nullopt;
}
// After its leading spaces, the two letters of "Re" and the 100 characters that follow
// them are all of the line that can reach the name.
constexpr std::size_t kContentKept = 2 + kNameCapCharacters;

} // namespace

void NamingExcerpt::clear()
{
    m_seen = 0;
    m_newsMatched = 0;
    m_news = false;
    m_content.clear();
    m_matched = 0;
    m_found = false;
    m_lineLength = m_spaces = 0;
    m_lf = m_cr = UINT64_MAX;
}

void NamingExcerpt::add(std::string_view bytes)
{
    if (!m_news && m_seen < kNewsWindow)
        lookForNewsgroups(bytes.substr(0, kNewsWindow - m_seen));
    m_seen += bytes.size();
    if (!m_found) {
        const auto after = find(kSubjectLabel, bytes, m_matched);
        if (!after)
            return;
        m_found = true;
        bytes = *after;
    }
    addToLine(bytes);
}

void NamingExcerpt::lookForNewsgroups(std::string_view bytes)
{
    m_news = find(kNewsgroupsLabel, bytes, m_newsMatched).has_value();
}

void NamingExcerpt::addToLine(std::string_view bytes)
{
    if (m_cr != UINT64_MAX)
        return; // the line has ended
    const auto* cr = static_cast<const char*>(std::memchr(bytes.data(), '\r', bytes.size()));
    if (cr != nullptr)
        bytes = bytes.substr(0, static_cast<std::size_t>(cr - bytes.data()));
    if (m_lf == UINT64_MAX) {
        if (const void* lf = std::memchr(bytes.data(), '\n', bytes.size()))
            m_lf = m_lineLength + static_cast<std::uint64_t>(static_cast<const char*>(lf) - bytes.data());
    }
    std::string_view rest = bytes;
    if (m_content.empty()) { // still among the spaces that begin the line
        const std::size_t spaces = std::min(rest.find_first_not_of(' '), rest.size());
        m_spaces += spaces;
        rest.remove_prefix(spaces);
    }
    m_content.append(rest.substr(0, kContentKept - std::min(kContentKept, m_content.size())));
    m_lineLength += bytes.size();
    if (cr != nullptr)
        m_cr = m_lineLength;
}

std::string_view NamingExcerpt::extension() const
{
    return m_news ? ".nws" : ".eml";
}

std::string NamingExcerpt::subjectBody() const
{
    if (!m_found)
        return {};
    // The line ends at its first carriage return, else at its first line feed, else with
    // the body; then its first characters are all that can count.
    const std::uint64_t end = m_cr != UINT64_MAX ? m_cr : m_lf;
    const std::uint64_t spaces = std::min(m_spaces, end);
    std::string content = m_content.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(
                                                  m_content.size(), end == UINT64_MAX ? UINT64_MAX : end - spaces)));
    std::string body(kSubjectLabel);
    body.append(static_cast<std::size_t>(std::min<std::uint64_t>(spaces, kNameCapCharacters)), ' ');
    body += content;
    if (m_cr != UINT64_MAX)
        body += '\r';
    else if (m_lf != UINT64_MAX)
        body += '\n';
    return body;
}

} // namespace carrowin::extract
