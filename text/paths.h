#pragma once
// Paths as the program holds them: UTF-8 text with the platform's separators.
#include <filesystem>
#include <string>
#include <string_view>

namespace carrowin::text {

// The separator the platform joins paths with. Windows also accepts "/".
extern const char kPathSeparator;

bool isSeparator(char c);
bool endsWithSeparator(std::string_view folder);

// folder + separator (unless the folder already ends in one) + name; the name alone when
// the folder is empty.
std::string joinPath(std::string_view folder, std::string_view name);

// UTF-8 text as a path, and back: a narrow string would be read in the ANSI code page on
// Windows, which cannot hold every name.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

} // namespace carrowin::text
