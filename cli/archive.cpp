#include "archive.h"

#include "ascii.h"
#include "output_naming.h"
#include "path_rules.h"

#include <cstdint>

namespace carrowin::cli {

std::string mailboxFolderName(const std::string& mailboxFileName, const std::function<bool(const std::string&)>& taken)
{
    std::string base = mailboxFileName;
    if (base.size() > 4 && text::endsWithIgnoringAsciiCase(base, ".mbx"))
        base.resize(base.size() - 4);
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
