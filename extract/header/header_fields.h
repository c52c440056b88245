#pragma once
// A message's header block (up to its first empty line) and the fields in it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract {

// Gathers, from a body that streams by in pieces, the fields a run reads from its header
// block (up to the first empty line, however far): the first Date and the first Subject,
// each whole, with its folded lines, as they stood. What else the header holds is passed
// over, not kept. A field longer than kMaxField is never read half: a Date is then taken
// as absent; a Subject, which names a file by its first 100 characters, keeps its first
// kMaxField bytes.
class HeaderBlock {
public:
    static constexpr std::size_t kMaxField = std::size_t{1} << 20;

    void add(std::string_view bytes);
    void clear();
    // The fields kept, in the order they came: a header block of their own, for headerField.
    std::string_view text() const { return m_text; }

private:
    enum class State { LineStart, CarriageReturnAtStart, Name, Kept, PassedOver, Complete };
    enum class Field { None, Date, Subject };
    // How far the start of a line names a field: not at all, so far, or with its colon.
    enum class Naming { Mismatch, Prefix, Named };

    static Naming naming(Naming before, std::size_t at, char c, std::string_view field);
    std::size_t name(std::string_view bytes);
    std::size_t keep(std::string_view bytes);

    State m_state = State::LineStart;
    Field m_field = Field::None;      // being kept
    std::string m_name;               // the start of a line, while it may name a field kept
    Naming m_date = Naming::Prefix;   // how far m_name names a Date field
    Naming m_subject = Naming::Prefix;
    std::size_t m_fieldStart = 0;     // where the field being kept starts in m_text
    bool m_dateSeen = false;
    bool m_subjectSeen = false;
    std::string m_text;
};

// The body of the first field named `name` (any case) in the header block, its folded
// lines joined and the white space that starts it removed; none when there is no such
// field. Lines end in CR LF or LF.
std::optional<std::string> headerField(std::string_view headerBlock, std::string_view name);

} // namespace carrowin::extract
