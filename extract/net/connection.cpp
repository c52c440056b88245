#include "connection.h"

#include "errors.h"
#include "socket.h"
#include "tls.h"

#include <optional>

namespace carrowin::extract::net {
namespace {

class TcpConnection : public Connection {
public:
    TcpConnection(const Endpoint& endpoint, const TlsSettings* tls, std::chrono::seconds timeout)
        : m_socket(endpoint.host, endpoint.port, timeout)
    {
        if (tls)
            startTls(*tls);
    }

    void write(std::string_view bytes) override
    {
        if (m_tls)
            return m_tls->write(bytes);
        while (!bytes.empty())
            bytes.remove_prefix(m_socket.send(bytes));
    }
    std::size_t read(char* buffer, std::size_t n) override
    {
        return m_tls ? m_tls->read(buffer, n) : m_socket.receive(buffer, n);
    }
    bool readable(std::chrono::milliseconds wait) override
    {
        return (m_tls && m_tls->pending()) || m_socket.readable(wait);
    }
    void startTls(const TlsSettings& tls) override { m_tls.emplace(m_socket, tls); }
    bool secure() const override { return m_tls.has_value(); }

private:
    Socket m_socket;
    std::optional<Tls> m_tls;
};

} // namespace

std::unique_ptr<Connection> connect(const Endpoint& endpoint, const TlsSettings* tls, std::chrono::seconds timeout)
{
    return std::make_unique<TcpConnection>(endpoint, tls, timeout);
}

} // namespace carrowin::extract::net
