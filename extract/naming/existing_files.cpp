#include "existing_files.h"

#include "number_groups.h"
#include "output_naming.h"
#include "path_rules.h"

#include <algorithm>

namespace carrowin::extract {
namespace {

// Built up in place: GCC 12 warns wrongly (-Wrestrict) about "=" + std::string&&.
std::string wholeKey(std::string_view name)
{
    std::string key(1, '=');
    key += fileNameKey(name);
    return key;
}

std::string familyKey(std::string_view before, std::string_view after)
{
    std::string key(1, '(');
    key += fileNameKey(before);
    key += '\x01';
    key += fileNameKey(after);
    return key;
}

} // namespace

ExistingFiles::ExistingFiles(const std::vector<std::string>& names, SizeOf sizeOf)
    : m_sizeOf(std::move(sizeOf)), m_names(names), m_sizes(names.size(), kUnknown)
{
    m_byKey.reserve(names.size() + names.size() / 2);
    for (std::uint32_t i = 0; i < m_names.size(); ++i) {
        const std::string& name = m_names[i];
        m_byKey[wholeKey(name)].push_back(i);
        // Every "(number)" in the name may be the one its numbering counted in.
        for (auto group = text::nextNumberGroup(name); group; group = text::nextNumberGroup(name, group->open + 1))
            m_byKey[familyKey(name.substr(0, group->open), name.substr(group->close + 1))].push_back(i);
    }
}

std::vector<std::string> ExistingFiles::sameNamed(std::string_view baseName, std::string_view extension,
                                                  std::uint64_t size)
{
    static const std::vector<std::uint32_t> kNoNames;
    const auto namesOf = [&](const std::string& key) -> const std::vector<std::uint32_t>& {
        const auto it = m_byKey.find(key);
        return it == m_byKey.end() ? kNoNames : it->second;
    };
    const NumberingParts parts = numberingPartsOf(baseName, extension);
    const std::vector<std::uint32_t>& numbered = namesOf(familyKey(parts.before, parts.after));
    const std::vector<std::uint32_t>& whole = namesOf(wholeKey(std::string(baseName) + std::string(extension)));
    std::vector<std::uint32_t> found = numbered;
    for (const std::uint32_t i : whole) // a name or two, which may be numbered forms too
        if (std::find(numbered.begin(), numbered.end(), i) == numbered.end())
            found.push_back(i);
    std::vector<std::string> out;
    for (const std::uint32_t i : found) {
        // One file is simply read (reading tells its size); among several, sizes choose.
        if (found.size() > 1) {
            if (m_sizes[i] == kUnknown) {
                const auto known = m_sizeOf(m_names[i]);
                m_sizes[i] = known ? static_cast<std::int64_t>(*known) : kNone;
            }
            if (m_sizes[i] != static_cast<std::int64_t>(size))
                continue;
        }
        out.push_back(m_names[i]);
    }
    return out;
}

} // namespace carrowin::extract
