#pragma once
// A message's header block (up to its first empty line) and the fields in it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract {

// Gathers the header block of a body that streams by in pieces: the bytes up to its first
// empty line, or the first kMaxHeaderBlock bytes when no empty line comes before them.
class HeaderBlock {
public:
    static constexpr std::size_t kMaxHeaderBlock = std::size_t{64} << 10;

    void add(std::string_view bytes);
    void clear();
    std::string_view text() const { return m_text; }

private:
    std::string m_text;
    bool m_complete = false;
};

// The body of the first field named `name` (any case) in the header block, its folded
// lines joined and the white space that starts it removed; none when there is no such
// field. Lines end in CR LF or LF.
std::optional<std::string> headerField(std::string_view headerBlock, std::string_view name);

} // namespace carrowin::extract
