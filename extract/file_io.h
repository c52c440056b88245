#pragma once
// File access at the edge of the engine: the mailbox mapped read-only, and an output
// folder in which files are created exclusively. Every failure throws ExtractError.
#include <cstdint>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace carrowin::extract {

class MailboxImage {
public:
    // Opens and maps the whole file. A missing path, a folder or an unreadable file
    // throws; nothing is ever created.
    static MailboxImage open(const std::string& path);

    MailboxImage(MailboxImage&& other) noexcept;
    MailboxImage& operator=(MailboxImage&&) = delete;
    ~MailboxImage();

    std::string_view bytes() const noexcept { return {m_data, m_size}; }

private:
    MailboxImage(const char* data, std::size_t size) : m_data(data), m_size(size) {}
    const char* m_data;
    std::size_t m_size;
};

// A file descriptor on POSIX, a HANDLE on Windows; -1 for none.
using NativeHandle = std::intptr_t;

class OutputFile {
public:
    explicit OutputFile(NativeHandle fd) : m_fd(fd) {}
    OutputFile(OutputFile&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    OutputFile& operator=(OutputFile&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~OutputFile();

    // Writes everything, or gives the system's error; close reports late errors too.
    std::error_code writeAll(std::string_view data);
    std::error_code close();

private:
    NativeHandle m_fd;
};

class OutputFolder {
public:
    // Opens an existing folder; throws when it is missing or not a folder.
    explicit OutputFolder(const std::string& path);
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    ~OutputFolder();

    const std::string& path() const noexcept { return m_path; }

    // Creates the file only when no entry of that name exists (file, folder, link, hidden
    // or not); empty when one does.
    std::optional<OutputFile> createExclusive(const std::string& name) const;

    void remove(const std::string& name) const noexcept;

private:
    std::string m_path;
    NativeHandle m_fd;
};

} // namespace carrowin::extract
