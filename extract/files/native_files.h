#pragma once
// The system calls under output_folder.h, mailbox_file.h and process_setup.h, one small
// set per platform (native_files_posix.cpp, native_files_windows.cpp); everything above
// them is written once. None of them throws: each gives the system's error, and retries
// what an interruption cut off.
#include "native_handle.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace carrowin::extract::native {

enum class FileKind { Regular, Folder, Other };

struct Opened {
    NativeHandle handle = kNoHandle; // only for a file of the kind asked for
    FileKind kind = FileKind::Other;
    std::uint64_t size = 0;
};

// A regular file opened for reading, with its size; a folder or anything but a regular
// file is told by its kind and not opened.
Opened openForReading(const std::string& path, std::error_code& ec);
// A folder, opened where files are made relative to it (POSIX); told by its kind else.
Opened openFolder(const std::string& path, std::error_code& ec);

// Up to `n` bytes at `offset`; 0 at the end of the file.
std::size_t readAt(NativeHandle file, std::uint64_t offset, char* buffer, std::size_t n, std::error_code& ec);
// Up to `n` bytes from where the last read ended; 0 at the end of the file.
std::size_t read(NativeHandle file, char* buffer, std::size_t n, std::error_code& ec);
// Some of the `n` bytes, at least one unless it fails.
std::size_t write(NativeHandle file, const char* data, std::size_t n, std::error_code& ec);
// Cuts the file to `size` bytes; the next write goes on from there.
std::error_code truncate(NativeHandle file, std::uint64_t size);
std::error_code setModified(NativeHandle file, std::int64_t seconds);
// The time of last change, in whole seconds since 1970 (UTC), as the file system keeps it.
std::optional<std::int64_t> modifiedTime(NativeHandle file);
std::error_code close(NativeHandle file);

// What files of a folder are made and named relative to.
struct Folder {
    NativeHandle handle; // kNoHandle where files are named by path
    const std::string& path;
};

// A file without any name in the folder; kNoHandle, with no error, where the file system
// cannot do without a name.
NativeHandle createAnonymous(const Folder& folder, std::error_code& ec);
// What the hidden names of temporary files begin with, this host's name as it goes into
// them, this process's id, and whether a process of this host is still running.
std::string_view temporaryPrefix() noexcept;
std::string hostName();
std::uint32_t processId() noexcept;
bool processRunning(std::uint32_t pid) noexcept;
// A new file under `name`; kNoHandle, with no error, when the name is taken.
NativeHandle createExclusive(const Folder& folder, const std::string& name, std::error_code& ec);

// How many files the process may hold open at once, and as many as it can get.
std::size_t openFilesAllowed() noexcept;
void allowAllOpenFiles() noexcept;
// Keeps freed blocks of up to 64 MiB in the process for reuse (process_setup.h).
void reuseFreedMemory() noexcept;

// Makes the bytes of `files` (all in `folder`) durable: they survive a power cut from
// now on. POSIX: one syncfs of the folder's file system; Windows: each file flushed.
std::error_code makeDurable(const Folder& folder, std::span<const NativeHandle> files);
// Makes the names given in `folder` durable (POSIX: the file system synced again).
std::error_code makeNamesDurable(const Folder& folder);

enum class Naming { Named, Taken, Failed };
// Gives `file` (anonymous, or under `temporaryName` in `folder`) the name `name` in `into`
// (`folder` itself, or another folder of its file system), never replacing an entry of
// that name.
Naming nameFile(const Folder& folder, NativeHandle file, const std::string& temporaryName, const Folder& into,
                const std::string& name, std::error_code& ec);

void removeEntry(const Folder& folder, const std::string& name) noexcept;
bool entryExists(const Folder& folder, const std::string& name) noexcept;
std::optional<std::uint64_t> regularFileSize(const Folder& folder, const std::string& name) noexcept;
// A regular file of the folder opened for reading: never through a link, never waiting
// for a writer (a FIFO); kNoHandle when it cannot be.
NativeHandle openEntryForReading(const Folder& folder, const std::string& name) noexcept;

} // namespace carrowin::extract::native
