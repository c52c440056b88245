#pragma once
// What a record's name depends on, gathered while its body streams by: the first bytes
// (for "Newsgroups: ") and, of the Subject line, no more than can reach a name and where
// the line ends. A few hundred bytes, however large the message.
#include <cstdint>
#include <string>
#include <string_view>

namespace carrowin::extract {

class NamingExcerpt {
public:
    // The body's bytes, in order, in pieces of any size.
    void add(std::string_view bytes);
    // Ready for the next body (keeping what it has allocated).
    void clear();

    // The extension the whole body gets.
    std::string_view extension() const;
    // A short body whose Subject line names exactly as the whole body's does.
    std::string subjectBody() const;

private:
    void lookForNewsgroups(std::string_view bytes);
    void addToLine(std::string_view bytes);

    std::uint64_t m_seen = 0;        // bytes of the body seen
    std::size_t m_newsMatched = 0;   // bytes of "Newsgroups: " matched so far
    bool m_news = false;             // "Newsgroups: " starts early enough: a news article
    std::size_t m_matched = 0;       // bytes of "Subject: " matched so far, before it is found
    bool m_found = false;            // "Subject: " was found; the line follows
    std::uint64_t m_lineLength = 0;  // bytes of the line seen so far
    std::uint64_t m_spaces = 0;      // the spaces that begin the line
    std::string m_content;           // the first bytes after those spaces
    std::uint64_t m_lf = UINT64_MAX; // where the first line feed is, from the line's start
    std::uint64_t m_cr = UINT64_MAX; // the first carriage return: it ends the line
};

} // namespace carrowin::extract
