#pragma once
// One IMAP session with a server: this client's part of the protocol only. The greeting;
// CAPABILITY; STARTTLS; AUTHENTICATE (PLAIN, OAUTHBEARER, XOAUTH2) or LOGIN, only over
// TLS; LIST; CREATE; SELECT and EXAMINE; FETCH of the messages' sizes and of pieces of
// them; APPEND, several in flight where the server takes literals without a word
// (LITERAL+, or LITERAL- for small ones), else each after the server's go-ahead; LOGOUT.
//
// Failures throw ExtractError: Connection (the server cannot be reached or is lost, TLS
// fails, or the server would take credentials in the clear), Authentication, Server (a
// command refused: the words carry its response code, [OVERQUOTA], [TOOBIG]...). No
// secret is ever put into words.
#include "connection.h"
#include "errors.h"
#include "imap_response.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace carrowin::extract::imap {

enum class Security {
    Tls,      // imaps://: TLS from the start
    StartTls, // imap://: STARTTLS before anything else, refused without it
};

struct ServerAccount {
    net::Endpoint endpoint;
    Security security = Security::Tls;
    std::string caFile; // trusted instead of the system's store; empty: the system's
    std::string user;
    std::string secret;      // a password, or an OAuth 2 access token
    bool oauthToken = false; // the secret is a token (OAUTHBEARER or XOAUTH2)
    std::chrono::seconds timeout{60};
};

// A message to append, as the command gives it.
struct AppendCommand {
    std::string folder;                  // in modified UTF-7
    std::optional<std::int64_t> date;    // INTERNALDATE, seconds since 1970 (UTC)
    std::uint64_t size = 0;              // of the literal
    bool binary = false;                 // a binary literal (BINARY): the message holds NUL
};

class Session {
public:
    // Connects, reads the greeting, goes to TLS, logs in.
    explicit Session(const ServerAccount& account);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool offers(std::string_view capability) const;
    const std::string& host() const { return m_host; }

    // The hierarchy's separator (LIST "" ""); none for a flat server.
    std::optional<char> separator();
    // Whether the folder exists (LIST), and its creation.
    bool exists(const std::string& folder);
    void create(const std::string& folder);
    // Opens a folder, read-only (EXAMINE) or not: how many messages it holds.
    std::uint64_t open(const std::string& folder, bool readOnly);
    // The messages of the folder opened, by their UIDs, with their sizes (RFC822.SIZE).
    struct Held {
        std::uint64_t uid = 0;
        std::uint64_t size = 0;
    };
    std::vector<Held> sizes(std::uint64_t count);
    // `length` bytes of the message of `uid` from `offset` on (BODY.PEEK[]<offset.length>);
    // fewer at its end.
    std::string piece(std::uint64_t uid, std::uint64_t offset, std::size_t length);

    // The largest message the server takes (APPENDLIMIT), where it says.
    std::optional<std::uint64_t> appendLimit() const;
    // An APPEND: its command sent, and, where the server wants to be asked first, its
    // go-ahead waited for. A refusal instead comes back, and nothing of the message is
    // to be sent; else its bytes follow (sendBytes), then endAppend, and the server's
    // answer comes with `answered`, in the order the commands went.
    std::optional<Response> beginAppend(const AppendCommand& command);
    void sendBytes(std::string_view bytes);
    void endAppend();
    // Commands sent and not answered yet.
    std::size_t inFlight() const { return m_inFlight.size(); }
    // The answer to the oldest command in flight: waiting for it, or, without `wait`, only
    // when it has come already.
    std::optional<Response> answered(bool wait);

    void logout() noexcept;

private:
    Response command(const std::string& line);
    // The next response but the answers to commands in flight, which are kept for
    // `answered`; receive() takes any.
    Response next();
    Response receive();
    bool keptForLater(Response& r);
    void send(std::string_view bytes);
    void flush();
    void greet();
    void requestCapabilities();
    void startTls(const ServerAccount& account);
    void logIn(const ServerAccount& account);
    void authenticate(const std::string& mechanism, const std::string& user, const std::string& initial);
    std::string newTag();
    [[noreturn]] void refused(const std::string& what, const Response& r, ErrorKind kind) const;

    std::string m_host;
    std::unique_ptr<net::Connection> m_connection;
    std::vector<std::string> m_capabilities;
    std::string m_buffer; // what has come and is not read yet
    std::string m_out;    // what is to go, sent before the next read
    std::deque<std::string> m_inFlight;
    std::vector<Response> m_early; // answers to commands in flight, come before their turn
    std::vector<Response> m_untagged; // of the command being answered
    std::uint64_t m_tags = 0;
};

// An INTERNALDATE ("03-Feb-2004 09:20:30 +0000") of a time in seconds since 1970, UTC;
// none for a year of other than four digits.
std::optional<std::string> internalDate(std::int64_t seconds);

} // namespace carrowin::extract::imap
