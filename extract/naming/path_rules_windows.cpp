#include "path_rules.h"

#include "windows_text.h"

#include <windows.h>

namespace carrowin::extract {

const FileNameLimit kFileNameLimit{255, NameUnit::Utf16Units};

std::optional<std::string> firstRefusedFileNameCharacter(std::string_view utf8Name)
{
    constexpr std::string_view kRefused{"<>:\"/\\|?*"};
    for (char c : utf8Name) {
        if (auto control = describeControlCharacter(c))
            return control;
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
    // File systems compare names upper-cased the same way in every locale.
    const std::wstring w = text::wideFromUtf8(utf8Name);
    if (w.empty())
        return {};
    std::wstring upper(w.size(), L'\0');
    const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, w.data(), static_cast<int>(w.size()),
                                upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
    upper.resize(static_cast<std::size_t>(n));
    return text::utf8FromWide(n > 0 ? upper : w);
}

} // namespace carrowin::extract
