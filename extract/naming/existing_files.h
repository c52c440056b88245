#pragma once
// The files an output folder held when a run came to it, found by the names numbering
// gives: a message that is already there, byte for byte, need not be written again.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace carrowin::extract {

class ExistingFiles {
public:
    // The size of a regular file of that name in the folder; none for anything else.
    using SizeOf = std::function<std::optional<std::uint64_t>(const std::string& name)>;

    ExistingFiles() = default;
    ExistingFiles(const std::vector<std::string>& names, SizeOf sizeOf);

    // The files named `baseName` + `extension` or a numbered form of it ("Lunch.eml",
    // "Lunch(1).eml", "Lunch(7).eml"), names compared as the file system compares them,
    // that may hold `size` bytes: when there are several, only those of that size (each
    // file's size is asked for once, when its name first comes up among several).
    std::vector<std::string> sameNamed(std::string_view baseName, std::string_view extension, std::uint64_t size);

private:
    static constexpr std::int64_t kUnknown = -2; // size not asked for yet
    static constexpr std::int64_t kNone = -1;    // not a regular file

    SizeOf m_sizeOf;
    std::vector<std::string> m_names;
    std::vector<std::int64_t> m_sizes; // by index in m_names
    std::unordered_map<std::string, std::vector<std::uint32_t>> m_byKey; // names by key
};

} // namespace carrowin::extract
