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

class OutputFolder;

// A message file being written. It has no name in the output folder (or a hidden
// temporary one where the file system cannot do without) until it is published, so no
// message is ever visible under its name before all its bytes are in it. Dropped
// unpublished, it takes its bytes with it.
class PendingFile {
public:
    PendingFile(const OutputFolder& folder, NativeHandle handle, std::string temporaryName)
        : m_folder(&folder), m_handle(handle), m_temporaryName(std::move(temporaryName))
    {
    }
    PendingFile(PendingFile&& other) noexcept
        : m_folder(other.m_folder), m_handle(std::exchange(other.m_handle, -1)),
          m_temporaryName(std::move(other.m_temporaryName)), m_published(other.m_published)
    {
    }
    PendingFile& operator=(PendingFile&&) = delete;
    ~PendingFile();

    // Writes everything, or gives the system's error.
    std::error_code writeAll(std::string_view data);

private:
    friend class OutputFolder;
    const OutputFolder* m_folder;
    NativeHandle m_handle;
    std::string m_temporaryName; // empty for a file without any name
    bool m_published = false;
};

class OutputFolder {
public:
    // Opens an existing folder; throws when it is missing or not a folder.
    explicit OutputFolder(const std::string& path);
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    ~OutputFolder();

    const std::string& path() const noexcept { return m_path; }

    // A new file in the folder that nobody sees yet.
    PendingFile createPending() const;

    // Gives the complete file `name`, unless an entry of that name exists (file, folder,
    // link, hidden or not): then false, and nothing changes. It never replaces anything.
    // Throws on any other failure; the file then stays pending.
    bool publish(PendingFile& file, const std::string& name) const;

    // Closes a published file; a late write error removes it again and throws.
    void finish(PendingFile& file, const std::string& name) const;

    // Drops a file that was not published, with its bytes.
    void discard(PendingFile& file) const noexcept;

    // Whether an entry of that name exists; only for words about a failure.
    bool holds(const std::string& name) const noexcept;

private:
    std::string m_path;
    NativeHandle m_fd;
};

} // namespace carrowin::extract
