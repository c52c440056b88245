#pragma once
// TLS over a connected socket, from one library a platform: OpenSSL (tls_openssl.cpp),
// Schannel (tls_schannel.cpp). At least TLS 1.2; the server's certificate must chain to
// the system's trust store (or the CA file given) and be for the host.
#include "connection.h"
#include "socket.h"

#include <cstddef>
#include <memory>
#include <string_view>

namespace carrowin::extract::net {

class Tls {
public:
    // The handshake; a certificate that fails a check throws ExtractError (Connection)
    // saying which.
    Tls(Socket& socket, const TlsSettings& settings);
    Tls(const Tls&) = delete;
    Tls& operator=(const Tls&) = delete;
    ~Tls();

    void write(std::string_view bytes);
    // Up to `n` bytes, at least one; 0 when the server has closed the connection.
    std::size_t read(char* buffer, std::size_t n);
    // Whether bytes already received wait to be read.
    bool pending() const;

    struct State; // the library's, in its file

private:
    std::unique_ptr<State> m_state;
};

} // namespace carrowin::extract::net
