#include "record_text.h"

#include <algorithm>
#include <utility>

namespace carrowin::extract {

RecordText::Passed RecordText::add(std::string_view bytes)
{
    if (m_whole)
        return {0, bytes};
    const std::size_t text = static_cast<std::size_t>(std::min<std::uint64_t>(m_textLeft, bytes.size()));
    m_textLeft -= text;
    const std::string_view after = bytes.substr(text);
    if (after.find_first_not_of('\0') == std::string_view::npos) {
        m_zeros += after.size();
        return {0, bytes.substr(0, text)};
    }
    m_whole = true; // a byte that is no padding: the header's size does not count
    return {std::exchange(m_zeros, 0), bytes};
}

} // namespace carrowin::extract
