#include "socket.h"

#include "errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace carrowin::extract::net {
namespace {

int fdOf(NativeHandle h)
{
    return static_cast<int>(h);
}

[[noreturn]] void fail(const std::string& message, int error = 0)
{
    throw ExtractError(ErrorKind::Connection, {}, message,
                       error == 0 ? std::error_code{} : std::error_code(error, std::generic_category()));
}

// Waits until `fd` can be written (or read) for at most `timeout`; false when it timed out.
bool ready(int fd, short events, std::chrono::milliseconds timeout)
{
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, static_cast<int>(timeout.count()));
        if (n >= 0)
            return n > 0;
        if (errno != EINTR)
            return false;
    }
}

// A connection to one address; -1 with `error` set when it cannot be made.
int connectTo(const addrinfo& a, std::chrono::seconds timeout, int& error)
{
    const int fd = ::socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a.ai_protocol);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::connect(fd, a.ai_addr, a.ai_addrlen) != 0 && errno != EINPROGRESS) {
        error = errno;
        ::close(fd);
        return -1;
    }
    socklen_t length = sizeof error;
    if (!ready(fd, POLLOUT, timeout))
        error = ETIMEDOUT;
    else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error != 0) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const timeval t{static_cast<time_t>(timeout.count()), 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

} // namespace

Socket::Socket(const std::string& host, std::uint16_t port, std::chrono::seconds timeout) : m_host(host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0)
        fail("The server \"" + host + "\" is not found: " + ::gai_strerror(resolved));
    int error = 0;
    int fd = -1;
    for (const addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next)
        fd = connectTo(*a, timeout, error);
    ::freeaddrinfo(found);
    if (fd < 0)
        fail("Cannot connect to " + host + " port " + std::to_string(port) + ": " + std::strerror(error), error);
    m_handle = fd;
}

Socket::~Socket()
{
    if (m_handle != kNoHandle)
        ::close(fdOf(m_handle));
}

void Socket::lost(const std::string& what) const
{
    const int error = errno;
    fail("The connection to " + m_host + " was lost while " + what + ": "
             + (error == EAGAIN || error == EWOULDBLOCK ? std::string("no answer in time") : std::strerror(error)),
         error);
}

std::size_t Socket::send(std::string_view bytes)
{
    for (;;) {
        const ssize_t n = ::send(fdOf(m_handle), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0)
            return static_cast<std::size_t>(n);
        if (n < 0 && errno == EINTR)
            continue;
        lost("sending");
    }
}

std::size_t Socket::receive(char* buffer, std::size_t n)
{
    for (;;) {
        const ssize_t got = ::recv(fdOf(m_handle), buffer, n, 0);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            lost("receiving");
    }
}

bool Socket::readable(std::chrono::milliseconds wait)
{
    return ready(fdOf(m_handle), POLLIN, wait);
}

} // namespace carrowin::extract::net
