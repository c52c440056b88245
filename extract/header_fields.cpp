#include "header_fields.h"

#include "ascii.h"

#include <algorithm>

namespace carrowin::extract {
namespace {

bool isWsp(char c) { return c == ' ' || c == '\t'; }

// Where the empty line that ends the header block starts, if the text holds one: at the
// very start, or after a line feed.
std::size_t emptyLineIn(std::string_view text, std::size_t from)
{
    if (from == 0 && (text.starts_with("\n") || text.starts_with("\r\n")))
        return 0;
    for (std::size_t i = text.find('\n', from ? from - 1 : 0); i != std::string_view::npos; i = text.find('\n', i + 1)) {
        const std::string_view rest = text.substr(i + 1);
        if (rest.starts_with("\n") || rest.starts_with("\r\n"))
            return i + 1;
    }
    return std::string_view::npos;
}

} // namespace

void HeaderBlock::add(std::string_view bytes)
{
    if (m_complete)
        return;
    const std::size_t before = m_text.size();
    m_text.append(bytes.substr(0, kMaxHeaderBlock - before));
    // An empty line may begin up to two bytes before the new ones.
    const std::size_t end = emptyLineIn(m_text, before >= 2 ? before - 2 : 0);
    if (end != std::string_view::npos) {
        m_text.resize(end);
        m_complete = true;
    } else if (m_text.size() == kMaxHeaderBlock) {
        m_complete = true;
    }
}

void HeaderBlock::clear()
{
    m_text.clear();
    m_complete = false;
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
