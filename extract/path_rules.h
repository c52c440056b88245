#pragma once
// What the platform allows in paths and file names.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract {

extern const char kPathSeparator;
extern const std::size_t kMaxFileNameBytes;

bool endsWithSeparator(std::string_view folder);

// folder + separator (unless the folder already ends in one) + name.
std::string joinPath(std::string_view folder, std::string_view name);

// A printable description of the first character the platform refuses in a file name.
std::optional<std::string> firstRefusedFileNameCharacter(std::string_view utf8Name);

} // namespace carrowin::extract
