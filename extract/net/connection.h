#pragma once
// A connection to a server: TCP, in TLS from the start or after the server has agreed to
// it (STARTTLS), the server's certificate checked against the system's trust store (or a
// CA file) and the host name. Plain C++ over one small set of system calls a platform
// (socket_*.cpp) and one TLS library a platform (tls_*.cpp: OpenSSL, Schannel).
//
// Failures throw ExtractError (Connection) in words that say what failed: the host not
// found, the connection refused or timed out, which check of the certificate failed, the
// connection lost. Nothing a caller writes is ever put into words.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace carrowin::extract::net {

struct Endpoint {
    std::string host;
    std::uint16_t port = 0;
};

struct TlsSettings {
    std::string host;   // what the certificate must be for (and the name sent, SNI)
    std::string caFile; // PEM certificates to trust instead of the system's; empty: the system's
};

class Connection {
public:
    virtual ~Connection() = default;

    // Writes all of `bytes`.
    virtual void write(std::string_view bytes) = 0;
    // Reads what has come, up to `n` bytes, waiting for at least one; 0 when the server
    // has closed the connection.
    virtual std::size_t read(char* buffer, std::size_t n) = 0;
    // Whether bytes can be read without waiting longer than `wait`.
    virtual bool readable(std::chrono::milliseconds wait) = 0;
    // TLS from here on (STARTTLS), the certificate checked as `tls` says.
    virtual void startTls(const TlsSettings& tls) = 0;
    virtual bool secure() const = 0;
};

// A TCP connection to `endpoint`, in TLS at once when `tls` is given. Waits at most
// `timeout` for the server, for every read and every write.
std::unique_ptr<Connection> connect(const Endpoint& endpoint, const TlsSettings* tls, std::chrono::seconds timeout);

} // namespace carrowin::extract::net
