#include "socket.h"

#include "errors.h"
#include "windows_text.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace carrowin::extract::net {
namespace {

SOCKET socketOf(NativeHandle h)
{
    return static_cast<SOCKET>(h);
}

// The words of a Winsock error, as the system has them.
std::string wordsOf(int error)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words = text ? text::utf8FromWide(text) : "error " + std::to_string(error);
    LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.'))
        words.pop_back();
    return words;
}

[[noreturn]] void fail(const std::string& message, int error = 0)
{
    throw ExtractError(ErrorKind::Connection, {}, message,
                       error == 0 ? std::error_code{} : std::error_code(error, std::system_category()));
}

void startWinsock()
{
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        fail("Windows sockets cannot be used");
}

bool ready(SOCKET s, bool write, std::chrono::milliseconds timeout)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval t{static_cast<long>(timeout.count() / 1000), static_cast<long>(timeout.count() % 1000 * 1000)};
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    const int n = select(0, write ? nullptr : &set, write ? &set : nullptr, write ? &failed : nullptr, &t);
    return n > 0 && FD_ISSET(s, &set);
}

SOCKET connectTo(const addrinfo& a, std::chrono::seconds timeout, int& error)
{
    const SOCKET s = socket(a.ai_family, a.ai_socktype, a.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = WSAGetLastError();
        return INVALID_SOCKET;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) != 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
        error = WSAGetLastError();
        closesocket(s);
        return INVALID_SOCKET;
    }
    int soError = 0;
    int length = sizeof soError;
    if (!ready(s, true, timeout)) {
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length);
        error = soError != 0 ? soError : WSAETIMEDOUT;
        closesocket(s);
        return INVALID_SOCKET;
    }
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    const DWORD ms = static_cast<DWORD>(timeout.count() * 1000);
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    const BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return s;
}

} // namespace

Socket::Socket(const std::string& host, std::uint16_t port, std::chrono::seconds timeout) : m_host(host)
{
    startWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); resolved != 0)
        fail("The server \"" + host + "\" is not found: " + wordsOf(resolved), resolved);
    int error = 0;
    SOCKET s = INVALID_SOCKET;
    for (const addrinfo* a = found; a != nullptr && s == INVALID_SOCKET; a = a->ai_next)
        s = connectTo(*a, timeout, error);
    freeaddrinfo(found);
    if (s == INVALID_SOCKET)
        fail("Cannot connect to " + host + " port " + std::to_string(port) + ": " + wordsOf(error), error);
    m_handle = static_cast<NativeHandle>(s);
}

Socket::~Socket()
{
    if (m_handle != kNoHandle)
        closesocket(socketOf(m_handle));
}

void Socket::lost(const std::string& what) const
{
    const int error = WSAGetLastError();
    fail("The connection to " + m_host + " was lost while " + what + ": "
             + (error == WSAETIMEDOUT ? std::string("no answer in time") : wordsOf(error)),
         error);
}

std::size_t Socket::send(std::string_view bytes)
{
    const int n = ::send(socketOf(m_handle), bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 30)), 0);
    if (n <= 0)
        lost("sending");
    return static_cast<std::size_t>(n);
}

std::size_t Socket::receive(char* buffer, std::size_t n)
{
    const int got = recv(socketOf(m_handle), buffer, static_cast<int>(std::min<std::size_t>(n, 1 << 30)), 0);
    if (got < 0)
        lost("receiving");
    return static_cast<std::size_t>(got);
}

bool Socket::readable(std::chrono::milliseconds wait)
{
    return ready(socketOf(m_handle), false, wait);
}

} // namespace carrowin::extract::net
