#include "archive.h"

#include "ascii.h"
#include "cp1252.h"
#include "utf8.h"
#include "output_naming.h"
#include "path_rules.h"

#include <cstdint>

namespace carrowin::cli {
namespace {

bool isRefusedInAFolderName(char32_t cp)
{
    constexpr std::string_view kRefused{"<>:\"/\\|?*"};
    return cp < 32 || cp == 127 || (cp < 128 && kRefused.find(static_cast<char>(cp)) != std::string_view::npos)
           || (cp >= 0x80 && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

// A mailbox's file name as a folder's: what no file name should hold (control characters,
// those Windows refuses, the controls that turn the direction of text) becomes a space,
// a run of them one, bytes that are no UTF-8 are read as Windows-1252, and the name is
// trimmed.
std::string cleanFolderName(std::string_view name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const text::Utf8Character c = text::decodeUtf8(name, i);
        const char32_t cp = c.length == 0 ? text::codePointOfCp1252(static_cast<unsigned char>(name[i])) : c.codePoint;
        if (isRefusedInAFolderName(cp)) {
            if (out.empty() || out.back() != ' ')
                out += ' ';
        } else {
            text::appendUtf8(out, cp);
        }
        i += c.length == 0 ? 1 : c.length;
    }
    return std::string(text::trimSpaces(out));
}

} // namespace

std::string mailboxFolderName(const std::string& mailboxFileName, const std::function<bool(const std::string&)>& taken)
{
    std::string base = mailboxFileName;
    if (base.size() > 4 && text::endsWithIgnoringAsciiCase(base, ".mbx"))
        base.resize(base.size() - 4);
    base = cleanFolderName(base);
    // Windows drops the dots and spaces that end a name: "Inbox." would be "Inbox".
    while (!base.empty() && (base.back() == '.' || base.back() == ' '))
        base.pop_back();
    if (base.empty())
        base = "Mailbox";
    extract::NumberingMemo memo;
    const extract::TakenTest test = [&](const std::string& name) {
        return extract::isReservedDeviceName(name) || taken(name);
    };
    return extract::chooseFreeName(base, "", test, memo, extract::kFileNameLimit).fileName;
}

std::string withThousands(std::uint64_t n)
{
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

} // namespace carrowin::cli
