#include "imap_response.h"

#include "ascii.h"

#include <charconv>

namespace carrowin::extract::imap {
namespace {

// Reads a response's bytes from the front; every read checks the bounds.
class Parser {
public:
    explicit Parser(std::string_view wire) : m_wire(wire) {}

    bool atEnd() const { return m_at >= m_wire.size(); }
    char peek() const { return atEnd() ? '\0' : m_wire[m_at]; }
    bool lineEnds() const { return peek() == '\r' || peek() == '\n'; }
    // The line end that closes the response; false when something else is there.
    bool endLine()
    {
        if (peek() == '\r')
            ++m_at;
        if (peek() != '\n')
            return false;
        ++m_at;
        return true;
    }
    bool skip(char c)
    {
        if (peek() != c)
            return false;
        ++m_at;
        return true;
    }
    // Up to (not including) a space or the line's end.
    std::string_view word()
    {
        const std::size_t from = m_at;
        while (!atEnd() && peek() != ' ' && !lineEnds())
            ++m_at;
        return m_wire.substr(from, m_at - from);
    }
    std::string_view restOfLine()
    {
        const std::size_t from = m_at;
        while (!atEnd() && !lineEnds())
            ++m_at;
        return m_wire.substr(from, m_at - from);
    }
    std::optional<std::string> code()
    {
        const std::size_t close = m_wire.find(']', m_at);
        const std::size_t eol = m_wire.find_first_of("\r\n", m_at);
        if (close == std::string_view::npos || close > eol)
            return std::nullopt;
        std::string text(m_wire.substr(m_at, close - m_at));
        m_at = close + 1;
        return text;
    }
    std::optional<Value> value(int depth, std::string& error);

private:
    std::optional<Value> list(int depth, std::string& error);
    std::optional<Value> quotedString(std::string& error);
    std::optional<Value> literal(std::string& error);
    Value atom();

    std::string_view m_wire;
    std::size_t m_at = 0;
};

constexpr int kDeepest = 32; // lists in lists; a server's answers nest two or three

std::optional<Value> Parser::value(int depth, std::string& error)
{
    switch (peek()) {
    case '(':
        return list(depth, error);
    case '"':
        return quotedString(error);
    case '{':
        return literal(error);
    case '~': // a binary literal (RFC 3516)
        ++m_at;
        if (peek() == '{')
            return literal(error);
        error = "a \"~\" that begins no literal";
        return std::nullopt;
    default:
        if (atEnd() || lineEnds() || peek() == ' ' || peek() == ')') {
            error = "a value is missing";
            return std::nullopt;
        }
        return atom();
    }
}

std::optional<Value> Parser::list(int depth, std::string& error)
{
    if (depth >= kDeepest) {
        error = "lists nested too deep";
        return std::nullopt;
    }
    ++m_at; // "("
    Value v{Value::Kind::List, {}, {}};
    while (!skip(')')) {
        if (!v.items.empty() && !skip(' ')) {
            error = "a list goes on without a space";
            return std::nullopt;
        }
        std::optional<Value> item = value(depth + 1, error);
        if (!item)
            return std::nullopt;
        v.items.push_back(std::move(*item));
    }
    return v;
}

std::optional<Value> Parser::quotedString(std::string& error)
{
    ++m_at; // the opening quote
    Value v{Value::Kind::String, {}, {}};
    for (;;) {
        if (atEnd() || lineEnds()) {
            error = "a quoted string without its end";
            return std::nullopt;
        }
        char c = m_wire[m_at++];
        if (c == '"')
            return v;
        if (c == '\\') {
            if (atEnd()) {
                error = "a quoted string without its end";
                return std::nullopt;
            }
            c = m_wire[m_at++];
        }
        v.text += c;
    }
}

std::optional<Value> Parser::literal(std::string& error)
{
    ++m_at; // "{"
    const std::size_t close = m_wire.find('}', m_at);
    std::size_t size = 0;
    std::string_view digits = close == std::string_view::npos ? std::string_view() : m_wire.substr(m_at, close - m_at);
    if (!digits.empty() && digits.back() == '+')
        digits.remove_suffix(1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size()) {
        error = "a literal without its size";
        return std::nullopt;
    }
    m_at = close + 1;
    if (!endLine() || m_wire.size() - m_at < size) {
        error = "a literal shorter than it says";
        return std::nullopt;
    }
    Value v{Value::Kind::String, std::string(m_wire.substr(m_at, size)), {}};
    m_at += size;
    return v;
}

// An atom, and with it a section in brackets that may hold spaces ("BODY[HEADER.FIELDS (A)]<0>").
Value Parser::atom()
{
    const std::size_t from = m_at;
    int brackets = 0;
    while (!atEnd() && !lineEnds() && (brackets > 0 || (peek() != ' ' && peek() != '(' && peek() != ')' && peek() != '"'))) {
        brackets += peek() == '[' ? 1 : peek() == ']' ? -1 : 0;
        ++m_at;
    }
    Value v{Value::Kind::Atom, std::string(m_wire.substr(from, m_at - from)), {}};
    if (text::equalsIgnoringAsciiCase(v.text, "NIL"))
        v.kind = Value::Kind::Nil;
    return v;
}

// The size of the literal whose "{123}" (or "{123+}") ends the line, if one does.
std::optional<std::size_t> literalAtEnd(std::string_view line)
{
    const std::size_t open = line.rfind('{');
    if (!line.ends_with('}') || open == std::string_view::npos)
        return std::nullopt;
    std::string_view digits = line.substr(open + 1, line.size() - open - 2);
    if (digits.ends_with('+'))
        digits.remove_suffix(1);
    std::size_t size = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size())
        return std::nullopt;
    return size;
}

bool isStatus(std::string_view word)
{
    for (const char* status : {"OK", "NO", "BAD", "BYE", "PREAUTH"})
        if (text::equalsIgnoringAsciiCase(word, status))
            return true;
    return false;
}

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = text::asciiUpper(c);
    return out;
}

} // namespace

bool Value::isAtom(std::string_view name) const
{
    return kind == Kind::Atom && text::equalsIgnoringAsciiCase(text, name);
}

std::optional<Response> parseResponse(std::string_view wire, std::string& error)
{
    Parser p(wire);
    Response r;
    r.tag = std::string(p.word());
    if (r.tag.empty()) {
        error = "a response without its tag";
        return std::nullopt;
    }
    if (r.tag == "+") {
        p.skip(' ');
        r.text = std::string(p.restOfLine());
    } else {
        p.skip(' ');
        Parser ahead = p;
        if (const std::string_view word = ahead.word(); isStatus(word)) {
            r.status = upper(word);
            p = ahead;
            p.skip(' ');
            if (p.skip('[')) {
                const std::optional<std::string> code = p.code();
                if (!code) {
                    error = "a response code without its end";
                    return std::nullopt;
                }
                r.code = *code;
                p.skip(' ');
            }
            r.text = std::string(p.restOfLine());
        } else {
            while (!p.lineEnds() && !p.atEnd()) {
                if (!r.data.empty() && !p.skip(' ')) {
                    error = "data goes on without a space";
                    return std::nullopt;
                }
                std::optional<Value> v = p.value(0, error);
                if (!v)
                    return std::nullopt;
                r.data.push_back(std::move(*v));
            }
        }
    }
    if (!p.endLine() || !p.atEnd()) {
        error = "a response that does not end where its line does";
        return std::nullopt;
    }
    return r;
}

std::optional<std::size_t> responseLength(std::string_view buffer, std::size_t& literal)
{
    literal = 0;
    for (std::size_t at = 0;;) {
        const std::size_t lf = buffer.find('\n', at);
        if (lf == std::string_view::npos)
            return std::nullopt;
        std::string_view line = buffer.substr(at, lf - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        at = lf + 1;
        const std::optional<std::size_t> size = literalAtEnd(line);
        if (!size)
            return at;
        literal = *size;
        if (buffer.size() - at < *size)
            return std::nullopt;
        at += *size;
    }
}

std::vector<std::string> capabilityWords(std::string_view text)
{
    std::vector<std::string> words;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (end > at)
            words.push_back(upper(text.substr(at, end - at)));
        at = end + 1;
    }
    return words;
}

std::string quoted(std::string_view text)
{
    std::string out(1, '"');
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace carrowin::extract::imap
