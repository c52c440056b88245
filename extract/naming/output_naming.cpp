#include "output_naming.h"

#include "ascii.h"
#include "cp1252.h"
#include "header_fields.h"
#include "header_text.h"
#include "number_groups.h"
#include "path_rules.h"
#include "utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>

namespace carrowin::extract {
namespace {

using text::trimSpaces;

bool isReplacedInSubject(unsigned char c)
{
    if (c < 32 || c == 124)
        return true;
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96);
}

bool isDeceivingControl(char32_t cp)
{
    return (cp >= 0x80 && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

std::optional<std::string_view> subjectLine(std::string_view body)
{
    const auto b = body.find(kSubjectLabel);
    if (b == std::string_view::npos)
        return std::nullopt;
    const auto start = b + kSubjectLabel.size();
    // A carriage return anywhere further down wins over a nearer line feed.
    auto end = body.find('\r', start);
    if (end == std::string_view::npos)
        end = body.find('\n', start);
    if (end == std::string_view::npos)
        return trimSpaces(body.substr(start));
    return body.substr(start, end - start);
}

std::string_view withoutReplyPrefix(std::string_view name)
{
    const std::string_view t = trimSpaces(name);
    if (text::equalsIgnoringAsciiCase(t.substr(0, 3), "RE:"))
        return t.substr(2); // the colon stays and becomes a space in the filter
    return name;
}

std::string collapseSpaces(std::string_view name)
{
    name = trimSpaces(name); // trimming first leaves the same as trimming after
    std::string out(name.size(), '\0');
    std::size_t n = 0;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (name[i] != ' ' || i + 1 == name.size() || name[i + 1] != ' ')
            out[n++] = name[i];
    out.resize(n);
    return out;
}

struct NumberedForm {
    std::string stem; // text before the counted "("
    std::string tail; // text after the counted ")"
    std::uint64_t number = 0;
    bool appended = false; // the group was added, so its first candidate is (1)
};

// The whole decimal number between the parentheses, when it can still be counted on.
std::optional<std::uint64_t> countable(std::string_view digits)
{
    std::uint64_t n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size()
        || n == std::numeric_limits<std::uint64_t>::max())
        return std::nullopt;
    return n;
}

// Where the number of a taken name goes. A name whose device part Windows reserves gets
// its number right after that part, so that no numbered form is reserved again; any other
// name counts on its first parenthesised whole number, or gets "(1)" appended.
NumberedForm numberedFormOf(std::string_view name)
{
    const std::string_view device = deviceNamePart(name);
    if (isReservedDeviceName(device))
        return {std::string(device), std::string(name.substr(device.size())), 0, true};
    for (auto group = text::nextNumberGroup(name); group; group = text::nextNumberGroup(name, group->open + 1)) {
        if (const auto n = countable(name.substr(group->open + 1, group->close - group->open - 1)))
            return {std::string(name.substr(0, group->open)), std::string(name.substr(group->close + 1)), *n, false};
    }
    return {std::string(name), {}, 0, true};
}

// Shortens `stem` by whole characters until stem + rest fits the limit.
std::string fitStem(std::string_view stem, std::string_view rest, const FileNameLimit& limit)
{
    const std::size_t restLength = nameLength(rest, limit.unit);
    const auto fits = [&](std::string_view s) { return nameLength(s, limit.unit) + restLength <= limit.max; };
    if (fits(stem))
        return std::string(stem);
    while (!stem.empty() && !fits(stem))
        stem = stem.substr(0, text::byteLengthWithoutLastCharacter(stem));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    return std::string(stem);
}

std::string numberedCandidate(const NumberedForm& f, std::uint64_t n, std::string_view ext,
                              const FileNameLimit& limit)
{
    // Built up in place: GCC 12 warns wrongly (-Wrestrict) about "(" + std::string&&.
    std::string group(1, '(');
    group += std::to_string(n);
    group += ')';
    std::string tail = f.tail;
    std::string stem = fitStem(f.stem, group + tail + std::string(ext), limit);
    if (nameLength(stem + group + tail + std::string(ext), limit.unit) > limit.max)
        tail = fitStem(tail, group + std::string(ext), limit);
    return stem + group + tail;
}

} // namespace

std::string_view extensionFor(std::string_view body)
{
    const std::string_view head = body.substr(0, kNewsgroupsWindow - 1 + kNewsgroupsLabel.size());
    return head.find(kNewsgroupsLabel) != std::string_view::npos ? ".nws" : ".eml";
}

std::string subjectText(std::string_view body, bool removeRe)
{
    const auto line = subjectLine(body);
    if (!line)
        return std::string(kNoSubject);
    std::string_view name = *line;
    if (removeRe)
        name = withoutReplyPrefix(name);
    // One byte is one character, and the filter keeps the length: no more than the first
    // 100 can reach the name (a line without its end can be the whole message).
    std::string filtered(name.substr(0, kNameCapCharacters));
    for (char& c : filtered)
        if (isReplacedInSubject(static_cast<unsigned char>(c)))
            c = ' ';
    return text::utf8FromCp1252(filtered);
}

std::string decodedSubjectText(std::string_view headerBlock, bool removeRe)
{
    const auto field = headerField(headerBlock, "Subject");
    if (!field)
        return std::string(kNoSubject);
    const std::string decoded = decodeHeaderText(*field);
    std::string_view name = decoded;
    if (removeRe)
        name = withoutReplyPrefix(name);
    name = name.substr(0, text::byteLengthOfCharacters(name, kNameCapCharacters));
    // The characters of one byte are filtered as in a Subject line; of the others, the
    // controls that a name could deceive with (C1, and those that turn the direction of
    // the text: "invoice\u202Efdp.exe" shows as "invoiceexe.pdf") become a space too.
    // Letters of any script stay.
    std::string filtered;
    filtered.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const text::Utf8Character c = text::decodeUtf8(name, i);
        const std::size_t length = c.length == 0 ? 1 : c.length;
        const bool replaced = c.length == 1 ? isReplacedInSubject(static_cast<unsigned char>(name[i]))
                                            : c.length > 1 && isDeceivingControl(c.codePoint);
        if (replaced)
            filtered += ' ';
        else
            filtered.append(name.substr(i, length));
        i += length;
    }
    return filtered;
}

NumberingParts numberingPartsOf(std::string_view baseName, std::string_view extension)
{
    NumberedForm form = numberedFormOf(baseName);
    return {std::move(form.stem), form.tail + std::string(extension)};
}

std::string finishBaseName(std::string_view name)
{
    if (name.size() > kNameCapCharacters) // no more characters than bytes
        name = name.substr(0, text::byteLengthOfCharacters(name, kNameCapCharacters));
    std::string out = collapseSpaces(name);
    if (out.empty())
        out = kNoSubject;
    return out;
}

std::string settingsRefusal(const NamingSettings& settings)
{
    if (settings.outputFolder.empty())
        return "No output folder is given. Type the folder the message files should go to.";
    if (settings.bySubject)
        return {};
    for (char c : settings.workingName) {
        if (c == '/' || c == '\\')
            return "The prefix \"" + settings.workingName + "\" contains \"" + std::string(1, c)
                   + "\". A prefix is part of a file name and cannot name a folder.";
    }
    if (const auto bad = firstRefusedFileNameCharacter(settings.workingName))
        return "The prefix \"" + settings.workingName + "\" contains a character that file names cannot hold ("
               + *bad + ").";
    return {};
}


ChosenName chooseFreeName(std::string_view baseName, std::string_view ext, const TakenTest& taken,
                          NumberingMemo& memo, const FileNameLimit& limit)
{
    const std::string bare = fitStem(baseName, ext, limit);
    if (!taken(bare + std::string(ext)))
        return {bare, bare + std::string(ext)};

    const NumberedForm form = numberedFormOf(baseName);
    std::uint64_t n = form.appended ? 1 : form.number + 1;
    const std::string key = form.stem + '\x01' + form.tail + '\x01' + std::string(ext);
    std::uint64_t& knownTaken = memo.knownTakenThrough(key);
    const bool contiguous = memo.keepsFrontier() || n <= knownTaken + 1;
    if (contiguous)
        n = std::max(n, knownTaken + 1);
    for (;; ++n) {
        std::string name = numberedCandidate(form, n, ext, limit);
        std::string file = name + std::string(ext);
        if (!taken(file)) {
            if (contiguous)
                knownTaken = n;
            return {std::move(name), std::move(file)};
        }
    }
}

std::string baseNameFor(std::string_view body, const NamingSettings& settings)
{
    return settings.bySubject ? finishBaseName(subjectText(body, settings.removeRe))
                              : finishBaseName(settings.workingName);
}

} // namespace carrowin::extract
