#include "header_fields.h"

#include "ascii.h"

#include <algorithm>

namespace carrowin::extract {
namespace {

bool isWsp(char c) { return c == ' ' || c == '\t'; }

} // namespace

HeaderBlock::HeaderBlock(std::initializer_list<KeptField> fields)
{
    for (const KeptField& f : fields)
        if (m_count < kMaxKept)
            m_wanted[m_count++].field = f;
}

// Whether a line that starts as `before` said, then `c` at `at`, names `field` so far:
// Prefix while it may, Named once it holds the name, any white space (an obsolete form
// allows it before the colon) and the colon.
HeaderBlock::Naming HeaderBlock::naming(Naming before, std::size_t at, char c, std::string_view field)
{
    if (before != Naming::Prefix)
        return Naming::Mismatch;
    if (at < field.size())
        return text::asciiLower(c) == field[at] ? Naming::Prefix : Naming::Mismatch;
    if (c == ':')
        return Naming::Named;
    return isWsp(c) ? Naming::Prefix : Naming::Mismatch;
}

void HeaderBlock::add(std::string_view bytes)
{
    while (!bytes.empty()) {
        std::size_t used = 0;
        switch (m_state) {
        case State::Complete:
            return;
        case State::LineStart:
            if (bytes[0] == '\n') {
                m_state = State::Complete; // the empty line
                return;
            }
            if (bytes[0] == '\r') {
                m_state = State::CarriageReturnAtStart;
                used = 1;
            } else if (isWsp(bytes[0])) { // a folded line goes with the field before it
                m_state = m_field != kNone ? State::Kept : State::PassedOver;
            } else {
                m_field = kNone;
                m_name.clear();
                m_state = State::Name;
            }
            break;
        case State::CarriageReturnAtStart:
            m_field = kNone; // "\r" and anything but "\n" starts no field kept
            m_state = bytes[0] == '\n' ? State::Complete : State::PassedOver;
            break;
        case State::Name:
            used = name(bytes);
            break;
        case State::Kept:
            used = keep(bytes);
            break;
        case State::PassedOver: {
            const std::size_t eol = bytes.find('\n');
            used = eol == std::string_view::npos ? bytes.size() : eol + 1;
            if (eol != std::string_view::npos)
                m_state = State::LineStart;
            break;
        }
        }
        bytes.remove_prefix(used);
    }
}

bool HeaderBlock::beginsAFieldKept(char c) const
{
    const char lower = text::asciiLower(c);
    for (std::size_t i = 0; i < m_count; ++i)
        if (!m_wanted[i].seen && m_wanted[i].field.name[0] == lower)
            return true;
    return false;
}

// The start of a line, a byte at a time until it is known whether it names a field kept.
std::size_t HeaderBlock::name(std::string_view bytes)
{
    std::size_t used = 0;
    while (used < bytes.size()) {
        const char c = bytes[used++];
        if (c == '\n') {
            m_state = State::LineStart; // a line that names no field
            return used;
        }
        // Most lines begin with a letter that no field kept begins with: passed over at once.
        if (m_name.empty() && !beginsAFieldKept(c)) {
            m_state = State::PassedOver;
            return used;
        }
        bool maybe = false;
        for (std::size_t i = 0; i < m_count; ++i) {
            Wanted& w = m_wanted[i];
            if (m_name.empty())
                w.naming = w.seen ? Naming::Mismatch : Naming::Prefix;
            w.naming = naming(w.naming, m_name.size(), c, w.field.name);
            maybe = maybe || w.naming != Naming::Mismatch;
            if (w.naming == Naming::Named && m_field == kNone)
                m_field = i;
        }
        m_name += c;
        if (m_field != kNone) {
            m_wanted[m_field].seen = true;
            m_fieldStart = m_text.size();
            m_text += m_name;
            m_state = State::Kept;
            return used;
        }
        if (!maybe || m_name.size() >= kMaxField) {
            m_state = State::PassedOver;
            return used;
        }
    }
    return used;
}

// A line of the field kept, up to its end; a field that grows beyond kMaxField ends there.
std::size_t HeaderBlock::keep(std::string_view bytes)
{
    const std::size_t eol = bytes.find('\n');
    const std::size_t line = eol == std::string_view::npos ? bytes.size() : eol + 1;
    const std::size_t room = m_fieldStart + kMaxField - m_text.size();
    if (line > room) {
        if (!m_wanted[m_field].field.startWhenLong) {
            m_text.resize(m_fieldStart);
        } else {
            m_text.append(bytes.substr(0, room));
            m_text += '\n';
        }
        m_field = kNone;
        m_state = State::PassedOver;
        return 0;
    }
    m_text.append(bytes.substr(0, line));
    if (eol != std::string_view::npos)
        m_state = State::LineStart;
    return line;
}

void HeaderBlock::clear()
{
    // The strings keep their room for the next message.
    m_text.clear();
    m_name.clear();
    m_state = State::LineStart;
    m_field = kNone;
    m_fieldStart = 0;
    for (Wanted& w : m_wanted)
        w = {w.field};
}

std::optional<std::string> headerField(std::string_view block, std::string_view name)
{
    for (std::size_t line = 0; line < block.size();) {
        std::size_t eol = block.find('\n', line);
        if (eol == std::string_view::npos)
            eol = block.size();
        const std::string_view text = block.substr(line, eol - line);
        std::size_t colon = name.size();
        while (colon < text.size() && isWsp(text[colon]))
            ++colon; // an obsolete form allows space before the colon
        const bool match = text.size() > name.size() && colon < text.size() && text[colon] == ':'
                           && text::equalsIgnoringAsciiCase(text.substr(0, name.size()), name);
        if (!match) {
            line = eol + 1;
            continue;
        }
        // The field, with every line that starts with white space after it.
        std::string body(text.substr(colon + 1));
        for (line = eol + 1; line < block.size() && isWsp(block[line]); line = eol + 1) {
            eol = std::min(block.find('\n', line), block.size());
            if (!body.empty() && body.back() == '\r')
                body.pop_back();
            body.append(block.substr(line, eol - line));
        }
        if (!body.empty() && body.back() == '\r')
            body.pop_back();
        const std::size_t start = std::min(body.find_first_not_of(" \t"), body.size());
        return body.substr(start);
    }
    return std::nullopt;
}

} // namespace carrowin::extract
