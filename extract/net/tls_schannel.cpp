// TLS from Schannel, Windows' own (SSPI). The certificate is checked here, after the
// handshake, so that a CA file can stand in for the system's store: the chain is built
// with the file's certificates beside it and must end in one of them, or in a root the
// system trusts; then Windows' SSL policy checks the host name.
#include "tls.h"

#include "errors.h"
#include "paths.h"
#include "windows_text.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace carrowin::extract::net {
namespace {

[[noreturn]] void fail(const std::string& message)
{
    throw ExtractError(ErrorKind::Connection, {}, message);
}

std::string wordsOf(long status)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    std::string words = text ? text::utf8FromWide(text) : std::string("error ") + code;
    LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.'))
        words.pop_back();
    return words;
}

// The certificates of a PEM file, in a store of their own.
HCERTSTORE loadCaFile(const std::string& path)
{
    std::ifstream in(text::pathFromUtf8(path), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string pem = all.str();
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    int certificates = 0;
    for (std::size_t at = 0; (at = pem.find("-----BEGIN CERTIFICATE-----", at)) != std::string::npos;) {
        const std::size_t end = pem.find("-----END CERTIFICATE-----", at);
        if (end == std::string::npos)
            break;
        const std::string block = pem.substr(at, end + 25 - at);
        DWORD size = 0;
        std::vector<BYTE> der(block.size());
        size = static_cast<DWORD>(der.size());
        if (CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                                 &size, nullptr, nullptr)
            && CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_ALWAYS, nullptr))
            ++certificates;
        at = end;
    }
    if (!in || certificates == 0) {
        CertCloseStore(store, 0);
        fail("The CA file \"" + path + "\" cannot be read: it holds no PEM certificate");
    }
    return store;
}

// Whether the store holds this very certificate: byte for byte, not only its issuer's
// name and serial number, which anyone can give a certificate of their own.
bool inStore(HCERTSTORE store, PCCERT_CONTEXT certificate)
{
    for (PCCERT_CONTEXT c = nullptr; (c = CertEnumCertificatesInStore(store, c)) != nullptr;)
        if (c->cbCertEncoded == certificate->cbCertEncoded
            && std::memcmp(c->pbCertEncoded, certificate->pbCertEncoded, c->cbCertEncoded) == 0) {
            CertFreeCertificateContext(c);
            return true;
        }
    return false;
}

// The address that `host` is, in network order, when it is an IP address.
std::optional<std::vector<unsigned char>> ipAddressOf(const std::string& host)
{
    unsigned char address[16] = {};
    if (InetPtonA(AF_INET, host.c_str(), address) == 1)
        return std::vector<unsigned char>(address, address + 4);
    if (InetPtonA(AF_INET6, host.c_str(), address) == 1)
        return std::vector<unsigned char>(address, address + 16);
    return std::nullopt;
}

// Whether the certificate names the IP address among its subject's other names, as a
// certificate for an address must (the SSL policy reads host names only).
bool namesAddress(PCCERT_CONTEXT certificate, const std::vector<unsigned char>& address)
{
    const CERT_INFO* info = certificate->pCertInfo;
    const CERT_EXTENSION* names = CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    CERT_ALT_NAME_INFO* decoded = nullptr;
    DWORD size = 0;
    if (!names
        || !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, names->Value.pbData, names->Value.cbData,
                                CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size))
        return false;
    bool found = false;
    for (DWORD i = 0; i < decoded->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& name = decoded->rgAltEntry[i];
        found = name.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && name.IPAddress.cbData == address.size()
                && std::memcmp(name.IPAddress.pbData, address.data(), address.size()) == 0;
    }
    LocalFree(decoded);
    return found;
}

} // namespace

struct Tls::State {
    State(Socket& s, std::string h) : socket(s), host(std::move(h)) {}

    Socket& socket;
    std::string host;
    CredHandle credentials{};
    CtxtHandle context{};
    bool haveCredentials = false;
    bool haveContext = false;
    SecPkgContext_StreamSizes sizes{};
    std::string incoming; // received, not yet decrypted
    std::string plain;    // decrypted, not yet read
    bool closed = false;

    ~State()
    {
        if (haveContext)
            DeleteSecurityContext(&context);
        if (haveCredentials)
            FreeCredentialsHandle(&credentials);
    }

    void receiveMore()
    {
        char chunk[16384];
        const std::size_t n = socket.receive(chunk, sizeof chunk);
        if (n == 0)
            fail("The connection to " + host + " was lost during TLS");
        incoming.append(chunk, n);
    }
    void sendToken(SecBuffer& token)
    {
        if (token.cbBuffer > 0 && token.pvBuffer) {
            std::string_view bytes(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
            while (!bytes.empty())
                bytes.remove_prefix(socket.send(bytes));
        }
        if (token.pvBuffer)
            FreeContextBuffer(token.pvBuffer);
        token.pvBuffer = nullptr;
    }
    void handshake();
    void checkCertificate(const std::string& caFile);
};

void Tls::State::handshake()
{
    const std::wstring name = text::wideFromUtf8(host);
    constexpr DWORD kFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY
                             | ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM
                             | ISC_REQ_MANUAL_CRED_VALIDATION;
    DWORD got = 0;
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    SECURITY_STATUS status = InitializeSecurityContextW(&credentials, nullptr, const_cast<wchar_t*>(name.c_str()), kFlags,
                                                        0, 0, nullptr, 0, &context, &outDesc, &got, nullptr);
    haveContext = true;
    sendToken(out);
    while (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE) {
        if (incoming.empty() || status == SEC_E_INCOMPLETE_MESSAGE)
            receiveMore();
        SecBuffer in[2] = {{static_cast<unsigned long>(incoming.size()), SECBUFFER_TOKEN, incoming.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        out = {0, SECBUFFER_TOKEN, nullptr};
        status = InitializeSecurityContextW(&credentials, &context, const_cast<wchar_t*>(name.c_str()), kFlags, 0, 0,
                                            &inDesc, 0, nullptr, &outDesc, &got, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE)
            continue;
        sendToken(out);
        if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0)
            incoming.erase(0, incoming.size() - in[1].cbBuffer);
        else
            incoming.clear();
    }
    if (status != SEC_E_OK)
        fail("The TLS connection to " + host + " failed: " + wordsOf(status));
    QueryContextAttributesW(&context, SECPKG_ATTR_STREAM_SIZES, &sizes);
}

void Tls::State::checkCertificate(const std::string& caFile)
{
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK || !certificate)
        fail("The TLS connection to " + host + " failed: the server showed no certificate");
    HCERTSTORE ca = caFile.empty() ? nullptr : loadCaFile(caFile);
    // The chain from what the server sent and, where given, the CA file's certificates.
    HCERTSTORE known = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
    CertAddStoreToCollection(known, certificate->hCertStore, 0, 0);
    if (ca)
        CertAddStoreToCollection(known, ca, 0, 0);
    CERT_CHAIN_PARA chainPara{sizeof chainPara, {}};
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    const BOOL built = CertGetCertificateChain(nullptr, certificate, nullptr, known, &chainPara, 0, nullptr, &chain);
    // The chain ends in a certificate of the CA file: that root is trusted here, and only
    // that is forgiven; a chain with any other fault (a signature that does not hold, a
    // certificate expired or not for a server, one cut short) is not trusted, whatever
    // the policy below makes of it.
    bool ownRoot = false;
    DWORD faults = built ? chain->TrustStatus.dwErrorStatus : 0;
    if (built && ca && chain->cChain > 0 && chain->rgpChain[0]->cElement > 0) {
        const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
        ownRoot = inStore(ca, simple->rgpElement[simple->cElement - 1]->pCertContext);
        if (ownRoot)
            faults &= ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT);
    }
    faults &= ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
    std::wstring name = text::wideFromUtf8(host);
    const std::optional<std::vector<unsigned char>> address = ipAddressOf(host);
    const bool forAddress = address && namesAddress(certificate, *address);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    constexpr DWORD kIgnoreUnknownCa = 0x00000100; // SECURITY_FLAG_IGNORE_UNKNOWN_CA, of wininet.h
    ssl.fdwChecks = ownRoot ? kIgnoreUnknownCa : 0;
    ssl.pwszServerName = address ? nullptr : name.data();
    CERT_CHAIN_POLICY_PARA policy{sizeof policy, 0, &ssl};
    CERT_CHAIN_POLICY_STATUS result{sizeof result, 0, 0, 0, nullptr};
    const BOOL checked = built && CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &result);
    if (chain)
        CertFreeCertificateChain(chain);
    CertCloseStore(known, 0);
    if (ca)
        CertCloseStore(ca, 0);
    CertFreeCertificateContext(certificate);
    if (!checked)
        fail("The TLS connection to " + host + " failed: its certificate cannot be checked");
    if (faults != 0 && result.dwError == 0)
        result.dwError = static_cast<DWORD>(CERT_E_UNTRUSTEDROOT);
    if (result.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH) || (address && !forAddress))
        fail("The TLS connection to " + host + " failed: its certificate is not for " + host);
    if (result.dwError != 0)
        fail("The TLS connection to " + host + " failed: its certificate is not trusted ("
             + wordsOf(static_cast<long>(result.dwError)) + ")");
}

Tls::Tls(Socket& socket, const TlsSettings& settings) : m_state(std::make_unique<State>(socket, settings.host))
{
    State& s = *m_state;
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    cred.dwFlags = SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION;
    if (AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &cred,
                                  nullptr, nullptr, &s.credentials, nullptr)
        != SEC_E_OK)
        fail("TLS cannot be set up: Schannel gives no credentials");
    s.haveCredentials = true;
    s.handshake();
    s.checkCertificate(settings.caFile);
}

Tls::~Tls() = default;

void Tls::write(std::string_view bytes)
{
    State& s = *m_state;
    std::string record;
    while (!bytes.empty()) {
        const std::size_t n = std::min<std::size_t>(bytes.size(), s.sizes.cbMaximumMessage);
        record.assign(s.sizes.cbHeader, '\0');
        record.append(bytes.substr(0, n));
        record.append(s.sizes.cbTrailer, '\0');
        SecBuffer parts[4] = {{s.sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                              {static_cast<unsigned long>(n), SECBUFFER_DATA, record.data() + s.sizes.cbHeader},
                              {s.sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + s.sizes.cbHeader + n},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        if (const SECURITY_STATUS status = EncryptMessage(&s.context, 0, &desc, 0); status != SEC_E_OK)
            fail("The connection to " + s.host + " was lost while sending: " + wordsOf(status));
        std::string_view sealed(record.data(), parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer);
        while (!sealed.empty())
            sealed.remove_prefix(s.socket.send(sealed));
        bytes.remove_prefix(n);
    }
}

std::size_t Tls::read(char* buffer, std::size_t n)
{
    State& s = *m_state;
    while (s.plain.empty() && !s.closed) {
        if (s.incoming.empty()) {
            char chunk[16384];
            const std::size_t got = s.socket.receive(chunk, sizeof chunk);
            if (got == 0)
                return 0;
            s.incoming.append(chunk, got);
        }
        SecBuffer parts[4] = {{static_cast<unsigned long>(s.incoming.size()), SECBUFFER_DATA, s.incoming.data()},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        const SECURITY_STATUS status = DecryptMessage(&s.context, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            char chunk[16384];
            const std::size_t got = s.socket.receive(chunk, sizeof chunk);
            if (got == 0)
                return 0;
            s.incoming.append(chunk, got);
            continue;
        }
        if (status == SEC_I_CONTEXT_EXPIRED) {
            s.closed = true;
            break;
        }
        if (status != SEC_E_OK)
            fail("The connection to " + s.host + " was lost while receiving: " + wordsOf(status));
        std::string extra;
        for (const SecBuffer& part : parts) {
            if (part.BufferType == SECBUFFER_DATA)
                s.plain.append(static_cast<const char*>(part.pvBuffer), part.cbBuffer);
            else if (part.BufferType == SECBUFFER_EXTRA)
                extra.assign(static_cast<const char*>(part.pvBuffer), part.cbBuffer);
        }
        s.incoming = std::move(extra);
    }
    const std::size_t given = std::min(n, s.plain.size());
    s.plain.copy(buffer, given);
    s.plain.erase(0, given);
    return given;
}

bool Tls::pending() const
{
    return !m_state->plain.empty() || !m_state->incoming.empty();
}

} // namespace carrowin::extract::net
