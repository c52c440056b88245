#pragma once
// Naming the output file of one record: extension, base name from the Subject line or
// the user's prefix, cleaning, length cap, and numbering past names already taken.
#include "path_rules.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace carrowin::extract {

inline constexpr std::size_t kNameCapCharacters = 100;
inline constexpr std::string_view kNoSubject{"NoSubject"};

// A message is a news article when this starts within its first 2047 bytes.
inline constexpr std::string_view kNewsgroupsLabel{"Newsgroups: "};
inline constexpr std::size_t kNewsgroupsWindow = 2047;
// The Subject line that names a message follows the first occurrence of this.
inline constexpr std::string_view kSubjectLabel{"Subject: "};

// The naming settings as the front end holds them; read again for every record.
struct NamingSettings {
    bool bySubject = true;
    bool removeRe = true;     // only counts in subject mode
    std::string workingName;  // UTF-8; the prefix, then the name the last record used
    std::string outputFolder; // UTF-8, as typed
};

// ".nws" when "Newsgroups: " starts within the first 2047 bytes of the body, else ".eml".
std::string_view extensionFor(std::string_view body);

// The Subject line of the body, reply prefix removed when asked, with every character
// that does not belong in a file name replaced by a space; UTF-8. Only its first 100
// characters: no more can reach a name.
std::string subjectText(std::string_view body, bool removeRe);

// The same for the Subject field of a header block, read as a person reads it: encoded
// words decoded, 8-bit text in its character set (header_text.h). UTF-8.
std::string decodedSubjectText(std::string_view headerBlock, bool removeRe);

// Cap at 100 characters, collapse runs of spaces, trim; "NoSubject" when nothing is left.
std::string finishBaseName(std::string_view name);

// Why the settings cannot be used to write a file, or empty when they can.
std::string settingsRefusal(const NamingSettings& settings);

// Remembers which numbers of a numbered name this run already knows to be taken, so
// that k records with one subject do not each test k candidates. Names are told apart
// by `fold` (fileNameKey where the file system ignores case), by their bytes without it.
//
// A memo that keeps a frontier instead starts every search past the highest number it
// has found taken, whatever lies below: for names that another program takes meanwhile,
// where testing them again from the start would cost without end.
class NumberingMemo {
public:
    using KeyFold = std::string (*)(std::string_view);
    enum class Keeps { TakenThrough, Frontier };
    explicit NumberingMemo(KeyFold fold = nullptr, Keeps keeps = Keeps::TakenThrough) : m_fold(fold), m_keeps(keeps) {}

    std::uint64_t& knownTakenThrough(const std::string& key) { return m_taken[m_fold ? m_fold(key) : key]; }
    bool keepsFrontier() const { return m_keeps == Keeps::Frontier; }

private:
    KeyFold m_fold;
    Keeps m_keeps;
    std::unordered_map<std::string, std::uint64_t> m_taken;
};

using TakenTest = std::function<bool(const std::string& fileName)>;

struct ChosenName {
    std::string baseName; // what the working name becomes
    std::string fileName; // baseName + extension
};

// Finds the first free name for `baseName`: the name itself, else numbered "(1)", "(2)"...
// A name counts on from its first "(" ... ")" that encloses a whole decimal number; any
// other name gets "(1)" appended and that group is counted. A name Windows reserves as a
// device (aux.txt) is numbered right after the device part (aux(1).txt), so the numbering
// always ends. A candidate longer than
// `limit` allows is shortened by whole characters in front of the number.
// Candidates are tested in order and the first one `taken` answers false for is returned.
ChosenName chooseFreeName(std::string_view baseName, std::string_view extension,
                          const TakenTest& taken, NumberingMemo& memo, const FileNameLimit& limit);

// What every numbered form of `baseName` + `extension` shares: the text before and after
// the group that numbering counts in (see chooseFreeName).
struct NumberingParts {
    std::string before;
    std::string after; // with the extension
};
NumberingParts numberingPartsOf(std::string_view baseName, std::string_view extension);

// The base name of a record before numbering: its subject, or the working name, cleaned
// and capped.
std::string baseNameFor(std::string_view body, const NamingSettings& settings);

} // namespace carrowin::extract
