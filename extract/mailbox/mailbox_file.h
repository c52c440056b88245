#pragma once
// The mailbox file, read in pieces at offsets.
#include "native_handle.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace carrowin::extract {

// The mailbox, read in pieces. The run works on the length it saw when it opened the
// file: bytes appended later are not read, and a file that has become shorter ends the
// run with a clear message instead of a crash.
class MailboxFile {
public:
    // Opens the file for reading. A missing path, a folder, a device or an unreadable file
    // throws; nothing is ever created.
    static MailboxFile open(const std::string& path);

    MailboxFile(MailboxFile&& other) noexcept
        : m_handle(std::exchange(other.m_handle, kNoHandle)), m_size(other.m_size), m_path(std::move(other.m_path))
    {
    }
    MailboxFile& operator=(MailboxFile&&) = delete;
    ~MailboxFile();

    std::uint64_t size() const noexcept { return m_size; }

    // Reads up to `n` bytes at `offset` (below size()); returns how many, at least one.
    // Throws when the file cannot be read there or ends before size(). Safe to call from
    // two threads at once.
    std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t n) const;

private:
    MailboxFile(NativeHandle handle, std::uint64_t size, std::string path)
        : m_handle(handle), m_size(size), m_path(std::move(path))
    {
    }

    NativeHandle m_handle;
    std::uint64_t m_size;
    std::string m_path;
};

} // namespace carrowin::extract
