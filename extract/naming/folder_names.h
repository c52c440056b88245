#pragma once
// Naming in one output folder: which names are taken (what the folder held when the run
// came to it, and what the run has given since), the memo that spares k messages of one
// subject k tests each, and, for skipExisting, the index of the files already there.
#include "existing_files.h"
#include "output_naming.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace carrowin::extract {

class OutputFolder;

class FolderNames {
public:
    // `names`: the folder's entries as the run comes to it. With `sizeOf`, the files among
    // them are indexed for candidates().
    explicit FolderNames(const std::vector<std::string>& names, ExistingFiles::SizeOf sizeOf = nullptr);

    // The first free name for `baseName` + `extension`; taken from then on.
    ChosenName choose(std::string_view baseName, std::string_view extension);

    // The files that were there before the run and may hold a message of this name and size.
    std::vector<std::string> candidates(std::string_view baseName, std::string_view extension, std::uint64_t size);

    // The name a message that could not be written would have got, for the words about it:
    // the folder is asked, too, about what it holds now. Nothing is taken by asking.
    std::string nameItWouldGet(std::string_view baseName, std::string_view extension,
                               const OutputFolder& folder) const;

private:
    std::unordered_set<std::string> m_taken; // by fileNameKey
    NumberingMemo m_memo{fileNameKey};
    std::optional<ExistingFiles> m_existing;
};

} // namespace carrowin::extract
