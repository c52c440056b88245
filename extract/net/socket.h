#pragma once
// The system calls under connection.h, one small set a platform (socket_posix.cpp,
// socket_windows.cpp). Failures throw ExtractError (Connection) naming the host.
#include "native_handle.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace carrowin::extract::net {

class Socket {
public:
    // Connected to `host` at `port` (the first of its addresses that answers), with
    // `timeout` for the connecting, every read and every write.
    Socket(const std::string& host, std::uint16_t port, std::chrono::seconds timeout);
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket();

    // Some of `bytes`, at least one.
    std::size_t send(std::string_view bytes);
    // Up to `n` bytes, at least one; 0 when the server has closed the connection.
    std::size_t receive(char* buffer, std::size_t n);
    bool readable(std::chrono::milliseconds wait);

    NativeHandle handle() const { return m_handle; }
    const std::string& host() const { return m_host; }

private:
    [[noreturn]] void lost(const std::string& what) const;

    std::string m_host;
    NativeHandle m_handle = kNoHandle;
};

} // namespace carrowin::extract::net
