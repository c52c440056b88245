#include "folder_names.h"

#include "output_folder.h"
#include "path_rules.h"

namespace carrowin::extract {

FolderNames::FolderNames(const std::vector<std::string>& names, ExistingFiles::SizeOf sizeOf)
{
    for (const std::string& name : names)
        m_taken.insert(fileNameKey(name));
    if (sizeOf)
        m_existing.emplace(names, std::move(sizeOf));
}

ChosenName FolderNames::choose(std::string_view baseName, std::string_view extension)
{
    const TakenTest taken = [&](const std::string& name) {
        return isReservedDeviceName(name) || m_taken.contains(fileNameKey(name));
    };
    ChosenName chosen = chooseFreeName(baseName, extension, taken, m_memo, kFileNameLimit);
    m_taken.insert(fileNameKey(chosen.fileName));
    return chosen;
}

std::vector<std::string> FolderNames::candidates(std::string_view baseName, std::string_view extension,
                                                 std::uint64_t size)
{
    return m_existing ? m_existing->sameNamed(baseName, extension, size) : std::vector<std::string>{};
}

std::string FolderNames::nameItWouldGet(std::string_view baseName, std::string_view extension,
                                        const OutputFolder& folder) const
{
    NumberingMemo scratch{fileNameKey};
    const TakenTest taken = [&](const std::string& name) {
        return m_taken.contains(fileNameKey(name)) || isReservedDeviceName(name) || folder.holds(name);
    };
    return chooseFreeName(baseName, extension, taken, scratch, kFileNameLimit).fileName;
}

} // namespace carrowin::extract
