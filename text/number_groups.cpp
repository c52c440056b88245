#include "number_groups.h"

#include <algorithm>

namespace carrowin::text {

std::optional<NumberGroup> nextNumberGroup(std::string_view name, std::size_t from)
{
    for (auto open = name.find('(', from); open != std::string_view::npos; open = name.find('(', open + 1)) {
        const auto close = name.find(')', open);
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view digits = name.substr(open + 1, close - open - 1);
        if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return NumberGroup{open, close};
    }
    return std::nullopt;
}

} // namespace carrowin::text
