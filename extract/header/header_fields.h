#pragma once
// A message's header block (up to its first empty line) and the fields in it.
#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace carrowin::extract {

// A field that a HeaderBlock keeps: its name, in lower case, and what becomes of it when
// it is longer than HeaderBlock::kMaxField: a Subject, which names a file by its first
// 100 characters, keeps its start; any other field is taken as absent, never read half.
struct KeptField {
    std::string_view name;
    bool startWhenLong = false;
};
inline constexpr KeptField kDateField{"date"};
inline constexpr KeptField kSubjectField{"subject", true};
inline constexpr KeptField kFromField{"from"};
inline constexpr KeptField kReturnPathField{"return-path"};

// Gathers, from a body that streams by in pieces, the fields a run reads from its header
// block (up to the first empty line, however far): the first of each field asked for,
// whole, with its folded lines, as it stood. What else the header holds is passed over,
// not kept.
class HeaderBlock {
public:
    static constexpr std::size_t kMaxField = std::size_t{1} << 20;
    static constexpr std::size_t kMaxKept = 4;

    // At most kMaxKept fields; the Date and the Subject unless told otherwise.
    explicit HeaderBlock(std::initializer_list<KeptField> fields = {kDateField, kSubjectField});

    void add(std::string_view bytes);
    void clear();
    // The fields kept, in the order they came: a header block of their own, for headerField.
    std::string_view text() const { return m_text; }
    // Whether the header block has ended (its empty line has come).
    bool complete() const { return m_state == State::Complete; }

private:
    enum class State { LineStart, CarriageReturnAtStart, Name, Kept, PassedOver, Complete };
    // How far the start of a line names a field: not at all, so far, or with its colon.
    enum class Naming { Mismatch, Prefix, Named };
    struct Wanted {
        KeptField field;
        Naming naming = Naming::Prefix; // how far m_name names it
        bool seen = false;
    };
    static constexpr std::size_t kNone = kMaxKept;

    static Naming naming(Naming before, std::size_t at, char c, std::string_view field);
    bool beginsAFieldKept(char c) const;
    std::size_t name(std::string_view bytes);
    std::size_t keep(std::string_view bytes);

    std::array<Wanted, kMaxKept> m_wanted{};
    std::size_t m_count = 0;
    State m_state = State::LineStart;
    std::size_t m_field = kNone;  // being kept, in m_wanted
    std::string m_name;           // the start of a line, while it may name a field kept
    std::size_t m_fieldStart = 0; // where the field being kept starts in m_text
    std::string m_text;
};

// The body of the first field named `name` (any case) in the header block, its folded
// lines joined and the white space that starts it removed; none when there is no such
// field. Lines end in CR LF or LF.
std::optional<std::string> headerField(std::string_view headerBlock, std::string_view name);

} // namespace carrowin::extract
