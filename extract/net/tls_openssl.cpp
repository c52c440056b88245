// TLS from OpenSSL.
#include "tls.h"

#include "errors.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <exception>
#include <string>
#include <utility>

namespace carrowin::extract::net {
namespace {

[[noreturn]] void fail(const std::string& message)
{
    throw ExtractError(ErrorKind::Connection, {}, message);
}

// The last thing OpenSSL says went wrong, in its words.
std::string opensslWords()
{
    const unsigned long error = ERR_get_error();
    if (error == 0)
        return "the connection closed";
    char text[256];
    ERR_error_string_n(error, text, sizeof text);
    return text;
}

} // namespace

struct Tls::State {
    Socket& socket;
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    std::exception_ptr lost; // what the socket threw under OpenSSL, to go on from there

    ~State()
    {
        if (ssl)
            SSL_free(ssl);
        if (context)
            SSL_CTX_free(context);
    }
    // After OpenSSL failed: the socket's failure where it was one, else OpenSSL's words.
    [[noreturn]] void failed(const std::string& what)
    {
        if (lost)
            std::rethrow_exception(std::exchange(lost, nullptr));
        fail("The connection to " + socket.host() + " was lost while " + what + ": " + opensslWords());
    }
};

namespace {

// OpenSSL reads and writes through the Socket: a connection closed under a write is an
// error in words (never a SIGPIPE), and a timeout is the socket's.
int bioWrite(BIO* bio, const char* data, std::size_t n, std::size_t* written)
{
    auto* s = static_cast<Tls::State*>(BIO_get_data(bio));
    try {
        *written = s->socket.send(std::string_view(data, n));
        return 1;
    } catch (...) {
        s->lost = std::current_exception();
        return 0;
    }
}

int bioRead(BIO* bio, char* data, std::size_t n, std::size_t* got)
{
    auto* s = static_cast<Tls::State*>(BIO_get_data(bio));
    try {
        *got = s->socket.receive(data, n);
        return *got > 0 ? 1 : 0;
    } catch (...) {
        s->lost = std::current_exception();
        return 0;
    }
}

long bioControl(BIO*, int command, long, void*)
{
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* socketMethod()
{
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "carrowin socket");
        if (m) {
            BIO_meth_set_write_ex(m, bioWrite);
            BIO_meth_set_read_ex(m, bioRead);
            BIO_meth_set_ctrl(m, bioControl);
        }
        return m;
    }();
    return method;
}

} // namespace

Tls::Tls(Socket& socket, const TlsSettings& settings) : m_state(std::make_unique<State>(State{socket, nullptr, nullptr, nullptr}))
{
    State& s = *m_state;
    const std::string& host = settings.host;
    s.context = SSL_CTX_new(TLS_client_method());
    if (!s.context)
        fail("TLS cannot be set up: " + opensslWords());
    SSL_CTX_set_min_proto_version(s.context, TLS1_2_VERSION);
    SSL_CTX_set_verify(s.context, SSL_VERIFY_PEER, nullptr);
    const bool trusted = settings.caFile.empty() ? SSL_CTX_set_default_verify_paths(s.context) == 1
                                                 : SSL_CTX_load_verify_locations(s.context, settings.caFile.c_str(), nullptr) == 1;
    if (!trusted)
        fail(settings.caFile.empty() ? "The system's trusted certificates cannot be read: " + opensslWords()
                                     : "The CA file \"" + settings.caFile + "\" cannot be read: " + opensslWords());
    s.ssl = SSL_new(s.context);
    BIO* bio = socketMethod() ? BIO_new(socketMethod()) : nullptr;
    if (!s.ssl || !bio)
        fail("TLS cannot be set up: " + opensslWords());
    BIO_set_data(bio, &s);
    BIO_set_init(bio, 1);
    SSL_set_bio(s.ssl, bio, bio);
    // A certificate is for a name, or for an address given as one (without SNI, which
    // names hosts only).
    if (X509_VERIFY_PARAM* check = SSL_get0_param(s.ssl); X509_VERIFY_PARAM_set1_ip_asc(check, host.c_str()) != 1) {
        SSL_set_tlsext_host_name(s.ssl, host.c_str());
        SSL_set_hostflags(s.ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(s.ssl, host.c_str());
    }
    if (SSL_connect(s.ssl) == 1)
        return;
    if (s.lost)
        s.failed("setting up TLS");
    const long verified = SSL_get_verify_result(s.ssl);
    if (verified == X509_V_ERR_HOSTNAME_MISMATCH || verified == X509_V_ERR_IP_ADDRESS_MISMATCH)
        fail("The TLS connection to " + host + " failed: its certificate is not for " + host);
    if (verified != X509_V_OK)
        fail("The TLS connection to " + host + " failed: its certificate is not trusted ("
             + X509_verify_cert_error_string(verified) + ")");
    fail("The TLS connection to " + host + " failed: " + opensslWords());
}

Tls::~Tls() = default;

void Tls::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const int n = SSL_write(m_state->ssl, bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)));
        if (n <= 0)
            m_state->failed("sending");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::size_t Tls::read(char* buffer, std::size_t n)
{
    const int got = SSL_read(m_state->ssl, buffer, static_cast<int>(std::min<std::size_t>(n, 1 << 20)));
    if (got > 0)
        return static_cast<std::size_t>(got);
    if (SSL_get_error(m_state->ssl, got) == SSL_ERROR_ZERO_RETURN)
        return 0;
    if (!m_state->lost && SSL_get_error(m_state->ssl, got) == SSL_ERROR_SYSCALL)
        return 0; // closed without TLS's goodbye: closed all the same
    m_state->failed("receiving");
}

bool Tls::pending() const
{
    return SSL_pending(m_state->ssl) > 0;
}

} // namespace carrowin::extract::net
