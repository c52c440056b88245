#pragma once
// The files an output folder held when a run came to it, found by the names numbering
// gives: a message that is already there, byte for byte, need not be written again.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace carrowin::extract {

class ExistingFiles {
public:
    ExistingFiles() = default;
    explicit ExistingFiles(const std::vector<std::string>& names);

    // The names that are `baseName` + `extension` or a numbered form of it ("Lunch.eml",
    // "Lunch(1).eml", "Lunch(7).eml"), compared as the file system compares names.
    std::vector<std::string> sameNamed(std::string_view baseName, std::string_view extension) const;

private:
    std::unordered_multimap<std::string, std::string> m_byKey;
};

} // namespace carrowin::extract
