#include "existing_files.h"

#include "output_naming.h"
#include "path_rules.h"

#include <algorithm>

namespace carrowin::extract {
namespace {

std::string wholeKey(std::string_view name) { return "=" + fileNameKey(name); }

std::string familyKey(std::string_view before, std::string_view after)
{
    return "(" + fileNameKey(before) + '\x01' + fileNameKey(after);
}

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

ExistingFiles::ExistingFiles(const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        m_byKey.emplace(wholeKey(name), name);
        // Every "(number)" in the name may be the one its numbering counted in.
        for (auto open = name.find('('); open != std::string::npos; open = name.find('(', open + 1)) {
            const auto close = name.find(')', open);
            if (close == std::string::npos)
                break;
            if (allDigits(std::string_view(name).substr(open + 1, close - open - 1)))
                m_byKey.emplace(familyKey(name.substr(0, open), name.substr(close + 1)), name);
        }
    }
}

std::vector<std::string> ExistingFiles::sameNamed(std::string_view baseName, std::string_view extension) const
{
    std::vector<std::string> out;
    const NumberingParts parts = numberingPartsOf(baseName, extension);
    for (const std::string& key : {wholeKey(std::string(baseName) + std::string(extension)),
                                   familyKey(parts.before, parts.after)}) {
        const auto [from, to] = m_byKey.equal_range(key);
        for (auto it = from; it != to; ++it)
            if (std::find(out.begin(), out.end(), it->second) == out.end())
                out.push_back(it->second);
    }
    return out;
}

} // namespace carrowin::extract
