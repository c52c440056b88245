#include "naming_excerpt.h"

#include "output_naming.h"

#include <algorithm>
#include <cstring>

namespace carrowin::extract {
namespace {

constexpr std::string_view kSubject{"Subject: "};
constexpr std::size_t kHeadSize = 2046 + 12; // "Newsgroups: " starting within 2047 bytes
// After its leading spaces, the two letters of "Re" and the 100 characters that follow
// them are all of the line that can reach the name.
constexpr std::size_t kContentKept = 2 + kNameCapCharacters;

} // namespace

void NamingExcerpt::add(std::string_view bytes)
{
    if (m_head.size() < kHeadSize)
        m_head.append(bytes.substr(0, kHeadSize - m_head.size()));
    while (!m_found && !bytes.empty()) {
        if (m_matched == 0) { // look for the start of "Subject: "
            const void* s = std::memchr(bytes.data(), 'S', bytes.size());
            if (s == nullptr)
                return;
            bytes.remove_prefix(static_cast<std::size_t>(static_cast<const char*>(s) - bytes.data()));
        }
        const std::size_t n = std::min(bytes.size(), kSubject.size() - m_matched);
        if (bytes.substr(0, n) == kSubject.substr(m_matched, n)) {
            m_matched += n;
            bytes.remove_prefix(n);
            m_found = m_matched == kSubject.size();
        } else if (m_matched == 0) {
            bytes.remove_prefix(1);
        } else {
            m_matched = 0; // "Subject: " holds one "S" only: begin again at this byte
        }
    }
    if (m_found)
        addToLine(bytes);
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
    return extensionFor(m_head);
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
    std::string body(kSubject);
    body.append(static_cast<std::size_t>(std::min<std::uint64_t>(spaces, kNameCapCharacters)), ' ');
    body += content;
    if (m_cr != UINT64_MAX)
        body += '\r';
    else if (m_lf != UINT64_MAX)
        body += '\n';
    return body;
}

} // namespace carrowin::extract
