#pragma once
// The "(number)" groups of a file name, in which numbering counts: Lunch(2).eml.
#include <cstddef>
#include <optional>
#include <string_view>

namespace carrowin::text {

struct NumberGroup {
    std::size_t open = 0;  // where its "(" stands
    std::size_t close = 0; // where its ")" stands
};

// The first group whose "(" stands at or after `from`: a "(" with the first ")" after it
// and only decimal digits (at least one) between them. A "(" that no ")" follows ends the
// search. Look for the next one from `open + 1`.
std::optional<NumberGroup> nextNumberGroup(std::string_view name, std::size_t from = 0);

} // namespace carrowin::text
