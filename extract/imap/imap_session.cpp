#include "imap_session.h"

#include "ascii.h"
#include "errors.h"
#include "message_date.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace carrowin::extract::imap {
namespace {

// A server's answer of this size is not read: a message's piece is asked for in 1 MiB.
constexpr std::size_t kLongestResponse = std::size_t{64} << 20;
constexpr std::size_t kLiteralMinusLongest = 4096; // what LITERAL- takes without a word

[[noreturn]] void fail(ErrorKind kind, const std::string& message)
{
    throw ExtractError(kind, {}, message);
}

std::string base64(std::string_view bytes)
{
    static constexpr std::string_view kDigits{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"};
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
    }
    return out;
}

// What a quoted string may carry: 7-bit characters but CR, LF and NUL.
bool quotable(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0 && u < 0x80 && c != '\r' && c != '\n';
    });
}

std::optional<std::uint64_t> number(const Value& v)
{
    std::uint64_t n = 0;
    const auto [end, ec] = std::from_chars(v.text.data(), v.text.data() + v.text.size(), n);
    if (v.kind != Value::Kind::Atom || ec != std::errc{} || end != v.text.data() + v.text.size())
        return std::nullopt;
    return n;
}

// The words of a refusal: the response code in brackets, then the server's text.
std::string wordsOf(const Response& r)
{
    return (r.code.empty() ? "" : "[" + r.code + "] ") + r.text;
}

} // namespace

Session::Session(const ServerAccount& account) : m_host(account.endpoint.host)
{
    const net::TlsSettings tls{account.endpoint.host, account.caFile};
    m_connection = net::connect(account.endpoint, account.security == Security::Tls ? &tls : nullptr, account.timeout);
    greet();
    if (account.security == Security::StartTls)
        startTls(account);
    if (m_capabilities.empty())
        requestCapabilities();
    logIn(account);
    requestCapabilities(); // they may grow once logged in (LITERAL+, BINARY...)
}

bool Session::offers(std::string_view capability) const
{
    return std::any_of(m_capabilities.begin(), m_capabilities.end(),
                       [&](const std::string& c) { return text::equalsIgnoringAsciiCase(c, capability); });
}

void Session::greet()
{
    const Response r = next();
    if (r.tag != "*" || (r.status != "OK" && r.status != "PREAUTH"))
        fail(ErrorKind::Connection, "The server at " + m_host + " does not greet as an IMAP server does: " + wordsOf(r));
    if (r.code.size() > 11 && text::equalsIgnoringAsciiCase(std::string_view(r.code).substr(0, 11), "CAPABILITY "))
        m_capabilities = capabilityWords(std::string_view(r.code).substr(11));
}

void Session::requestCapabilities()
{
    const Response r = command("CAPABILITY");
    if (r.status != "OK")
        refused("tell its capabilities", r, ErrorKind::Connection);
}

void Session::startTls(const ServerAccount& account)
{
    if (!offers("STARTTLS"))
        fail(ErrorKind::Connection, "The server at " + m_host
                                        + " offers no STARTTLS, and imap:// sends nothing in the clear: use imaps:// "
                                          "if the server takes TLS from the start");
    const Response r = command("STARTTLS");
    if (r.status != "OK")
        refused("start TLS", r, ErrorKind::Connection);
    if (!m_buffer.empty()) // bytes sent before TLS began would be taken as if sent after it
        fail(ErrorKind::Connection, "The server at " + m_host + " sent more than it should before TLS began");
    m_connection->startTls({account.endpoint.host, account.caFile});
    m_capabilities.clear(); // what it said before TLS does not count
}

void Session::logIn(const ServerAccount& account)
{
    if (!m_connection->secure())
        fail(ErrorKind::Connection, "No login is sent to " + m_host + " without TLS");
    const std::string& user = account.user;
    if (account.oauthToken) {
        const std::string bearer = "auth=Bearer " + account.secret + "\x01\x01";
        if (offers("AUTH=OAUTHBEARER"))
            return authenticate("OAUTHBEARER", user, "n,a=" + user + ",\x01host=" + m_host + "\x01port="
                                                   + std::to_string(account.endpoint.port) + "\x01" + bearer);
        if (offers("AUTH=XOAUTH2"))
            return authenticate("XOAUTH2", user, "user=" + user + "\x01" + bearer);
        fail(ErrorKind::Authentication,
             "The server at " + m_host + " takes no OAuth 2 token (it offers neither OAUTHBEARER nor XOAUTH2)");
    }
    if (offers("AUTH=PLAIN"))
        return authenticate("PLAIN", user, std::string(1, '\0') + user + std::string(1, '\0') + account.secret);
    if (offers("LOGINDISABLED") || !quotable(user) || !quotable(account.secret))
        fail(ErrorKind::Authentication, "The server at " + m_host + " offers no way to log in that this program knows");
    const Response r = command("LOGIN " + quoted(user) + " " + quoted(account.secret));
    if (r.status != "OK")
        fail(ErrorKind::Authentication, "The server at " + m_host + " refused the login of " + user + ": " + wordsOf(r));
}

// SASL: the first message with the command where the server takes it (SASL-IR), else
// after its go-ahead; a challenge after it is an error's details, answered to end it.
void Session::authenticate(const std::string& mechanism, const std::string& user, const std::string& initial)
{
    const std::string tag = newTag();
    if (offers("SASL-IR")) {
        send(tag + " AUTHENTICATE " + mechanism + " " + base64(initial) + "\r\n");
    } else {
        send(tag + " AUTHENTICATE " + mechanism + "\r\n");
        if (const Response r = next(); r.tag == "+")
            send(base64(initial) + "\r\n");
        else if (r.tag == tag)
            fail(ErrorKind::Authentication, "The server at " + m_host + " refused the login of " + user + ": " + wordsOf(r));
    }
    for (;;) {
        const Response r = next();
        if (r.tag == "+") {
            send(mechanism == "PLAIN" ? "*\r\n" : "AQ==\r\n"); // "\x01": no more, tell why
            continue;
        }
        if (r.tag != tag)
            continue;
        if (r.status != "OK")
            fail(ErrorKind::Authentication, "The server at " + m_host + " refused the login of " + user + ": " + wordsOf(r));
        return;
    }
}

std::optional<char> Session::separator()
{
    const Response r = command("LIST \"\" \"\"");
    if (r.status != "OK")
        refused("list its folders", r, ErrorKind::Server);
    for (const Response& u : m_untagged)
        if (u.data.size() >= 3 && u.data[0].isAtom("LIST") && u.data[2].kind == Value::Kind::String
            && u.data[2].text.size() == 1)
            return u.data[2].text[0];
    return std::nullopt;
}

bool Session::exists(const std::string& folder)
{
    const Response r = command("LIST \"\" " + quoted(folder));
    if (r.status != "OK")
        refused("list the folder \"" + folder + "\"", r, ErrorKind::Server);
    // "%" and "*" in a name are wildcards to LIST: only the folder of that very name counts,
    // and only one that can hold messages (not the parent of another that is no folder).
    const auto selectable = [](const Value& flags) {
        return std::none_of(flags.items.begin(), flags.items.end(), [](const Value& flag) {
            return flag.isAtom("\\Noselect") || flag.isAtom("\\NonExistent");
        });
    };
    return std::any_of(m_untagged.begin(), m_untagged.end(), [&](const Response& u) {
        return u.data.size() >= 4 && u.data[0].isAtom("LIST") && u.data[1].kind == Value::Kind::List
               && selectable(u.data[1]) && u.data[3].kind != Value::Kind::List && u.data[3].text == folder;
    });
}

void Session::create(const std::string& folder)
{
    const Response r = command("CREATE " + quoted(folder));
    if (r.status != "OK" && !r.code.starts_with("ALREADYEXISTS"))
        refused("create the folder \"" + folder + "\"", r, ErrorKind::Server);
}

std::uint64_t Session::open(const std::string& folder, bool readOnly)
{
    const Response r = command((readOnly ? "EXAMINE " : "SELECT ") + quoted(folder));
    if (r.status != "OK")
        refused("open the folder \"" + folder + "\"", r, ErrorKind::Server);
    for (const Response& u : m_untagged)
        if (u.data.size() == 2 && u.data[1].isAtom("EXISTS"))
            if (const std::optional<std::uint64_t> n = number(u.data[0]))
                return *n;
    return 0;
}

std::vector<Session::Held> Session::sizes(std::uint64_t count)
{
    std::vector<Held> out;
    if (count == 0)
        return out;
    const Response r = command("FETCH 1:* (UID RFC822.SIZE)");
    if (r.status != "OK")
        refused("tell the sizes of its messages", r, ErrorKind::Server);
    for (const Response& u : m_untagged) {
        if (u.data.size() != 3 || !u.data[1].isAtom("FETCH") || u.data[2].kind != Value::Kind::List)
            continue;
        Held held;
        const std::vector<Value>& items = u.data[2].items;
        for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
            if (items[i].isAtom("UID"))
                held.uid = number(items[i + 1]).value_or(0);
            else if (items[i].isAtom("RFC822.SIZE"))
                held.size = number(items[i + 1]).value_or(0);
        }
        if (held.uid != 0)
            out.push_back(held);
    }
    return out;
}

std::string Session::piece(std::uint64_t uid, std::uint64_t offset, std::size_t length)
{
    const Response r = command("UID FETCH " + std::to_string(uid) + " (BODY.PEEK[]<" + std::to_string(offset) + "."
                               + std::to_string(length) + ">)");
    if (r.status != "OK")
        refused("give a message back", r, ErrorKind::Server);
    for (const Response& u : m_untagged) {
        if (u.data.size() != 3 || !u.data[1].isAtom("FETCH") || u.data[2].kind != Value::Kind::List)
            continue;
        const std::vector<Value>& items = u.data[2].items;
        for (std::size_t i = 0; i + 1 < items.size(); i += 2)
            if (items[i].kind == Value::Kind::Atom && items[i].text.starts_with("BODY[]"))
                return items[i + 1].text; // NIL past the end: empty
    }
    return {};
}

std::optional<std::uint64_t> Session::appendLimit() const
{
    for (const std::string& c : m_capabilities)
        if (c.size() > 12 && c.starts_with("APPENDLIMIT="))
            if (const std::optional<std::uint64_t> n = number(Value{Value::Kind::Atom, c.substr(12), {}}))
                return n;
    return std::nullopt;
}

std::optional<Response> Session::beginAppend(const AppendCommand& c)
{
    const bool noWait = offers("LITERAL+") || (offers("LITERAL-") && c.size <= kLiteralMinusLongest);
    const std::string tag = newTag();
    std::string line = tag + " APPEND " + quoted(c.folder) + " (\\Seen)";
    if (c.date)
        if (const std::optional<std::string> date = internalDate(*c.date))
            line.append(" ").append(quoted(*date));
    line += std::string(c.binary ? " ~{" : " {") + std::to_string(c.size) + (noWait ? "+}\r\n" : "}\r\n");
    send(line);
    if (!noWait) {
        for (;;) {
            Response r = next();
            if (r.tag == "+")
                break;
            if (r.tag == tag)
                return r;
        }
    }
    m_inFlight.push_back(tag);
    return std::nullopt;
}

void Session::sendBytes(std::string_view bytes)
{
    send(bytes);
}

void Session::endAppend()
{
    send("\r\n");
}

std::optional<Response> Session::answered(bool wait)
{
    while (!m_inFlight.empty()) {
        const auto early = std::find_if(m_early.begin(), m_early.end(),
                                        [&](const Response& r) { return r.tag == m_inFlight.front(); });
        if (early != m_early.end()) {
            Response r = std::move(*early);
            m_early.erase(early);
            m_inFlight.pop_front();
            return r;
        }
        std::size_t literal = 0;
        if (!wait && !responseLength(m_buffer, literal) && !m_connection->readable(std::chrono::milliseconds(0)))
            return std::nullopt;
        Response r = receive();
        keptForLater(r);
    }
    return std::nullopt;
}

void Session::logout() noexcept
{
    try {
        if (m_inFlight.empty())
            command("LOGOUT");
    } catch (...) { // it closes anyway
    }
}

Response Session::command(const std::string& line)
{
    const std::string tag = newTag();
    send(tag + " " + line + "\r\n");
    m_untagged.clear();
    for (;;) {
        Response r = next();
        if (r.tag == tag)
            return r;
        if (r.tag == "*")
            m_untagged.push_back(std::move(r));
    }
}

Response Session::next()
{
    for (;;)
        if (Response r = receive(); !keptForLater(r))
            return r;
}

bool Session::keptForLater(Response& r)
{
    if (std::find(m_inFlight.begin(), m_inFlight.end(), r.tag) == m_inFlight.end())
        return false;
    m_early.push_back(std::move(r));
    return true;
}

Response Session::receive()
{
    flush();
    for (;;) {
        std::size_t literal = 0;
        if (const std::optional<std::size_t> length = responseLength(m_buffer, literal)) {
            std::string error;
            std::optional<Response> r = parseResponse(std::string_view(m_buffer).substr(0, *length), error);
            m_buffer.erase(0, *length);
            if (!r)
                fail(ErrorKind::Connection, "The server at " + m_host + " answers what IMAP does not: " + error);
            if (r->tag == "*" && r->status == "BYE")
                fail(ErrorKind::Connection, "The server at " + m_host + " ended the session: " + wordsOf(*r));
            if (r->tag == "*" && !r->data.empty() && r->data[0].isAtom("CAPABILITY")) {
                m_capabilities.clear();
                for (std::size_t i = 1; i < r->data.size(); ++i)
                    for (std::string& word : capabilityWords(r->data[i].text))
                        m_capabilities.push_back(std::move(word));
            }
            return std::move(*r);
        }
        if (literal > kLongestResponse || m_buffer.size() > kLongestResponse)
            fail(ErrorKind::Connection, "The server at " + m_host + " sends an answer too large to take");
        char chunk[16384];
        const std::size_t n = m_connection->read(chunk, sizeof chunk);
        if (n == 0)
            fail(ErrorKind::Connection, "The server at " + m_host + " closed the connection");
        m_buffer.append(chunk, n);
    }
}

// Small writes gather: a message's command, its bytes and its end go as one.
void Session::send(std::string_view bytes)
{
    constexpr std::size_t kGathered = std::size_t{256} << 10;
    if (m_out.size() + bytes.size() <= kGathered) {
        m_out += bytes;
        return;
    }
    flush();
    if (bytes.size() < kGathered)
        m_out += bytes;
    else
        m_connection->write(bytes);
}

void Session::flush()
{
    if (!m_out.empty())
        m_connection->write(std::exchange(m_out, {}));
}

std::string Session::newTag()
{
    return std::string("c").append(std::to_string(++m_tags));
}

void Session::refused(const std::string& what, const Response& r, ErrorKind kind) const
{
    fail(kind, "The server at " + m_host + " would not " + what + ": " + wordsOf(r));
}

std::optional<std::string> internalDate(std::int64_t seconds)
{
    const CivilTime t = civilTimeOf(seconds);
    if (t.year < 1000 || t.year > 9999)
        return std::nullopt;
    const auto two = [](int v) { return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)}; };
    std::string date = two(t.day) + "-" + kMonthNames[t.month - 1] + "-" + std::to_string(t.year) + " " + two(t.hour)
                       + ":" + two(t.minute) + ":" + two(t.second) + " +0000";
    return date;
}

} // namespace carrowin::extract::imap
