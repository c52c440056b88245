#include "path_rules.h"

#include "windows_text.h"

#include <windows.h>

#include <cstdio>

namespace carrowin::extract {

const char kPathSeparator = '\\';
const FileNameLimit kFileNameLimit{255, NameUnit::Utf16Units};

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

std::optional<std::string> firstRefusedFileNameCharacter(std::string_view utf8Name)
{
    constexpr std::string_view kRefused{"<>:\"/\\|?*"};
    for (char c : utf8Name) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 32) {
            char buf[48];
            std::snprintf(buf, sizeof buf, "the control character U+%04X", code);
            return std::string(buf);
        }
        if (kRefused.find(c) != std::string_view::npos) {
            std::string quoted = "\"?\"";
            quoted[1] = c;
            return quoted;
        }
    }
    return std::nullopt;
}

std::string fileNameKey(std::string_view utf8Name)
{
    // The system's own upper-casing, which its file systems compare names with.
    std::wstring w = wideFromUtf8(utf8Name);
    if (!w.empty())
        CharUpperBuffW(w.data(), static_cast<DWORD>(w.size()));
    return utf8FromWide(w);
}

} // namespace carrowin::extract
