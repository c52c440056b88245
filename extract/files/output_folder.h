#pragma once
// An output folder in which a message file is written without a name and named only
// when complete, never replacing anything.
//
// Failures: opening, creating and naming throw ExtractError with the path and the
// system's reason. A call made for every piece of a message either throws, or comes in a
// form that gives the system's std::error_code instead, where the caller words it (the
// file has no name yet) or can go on without it. Destructors never throw; what was not
// finished is dropped with them.
#include "native_handle.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace carrowin::extract {

// The hidden name that the process `pid` of this host gives its `n`-th temporary file, on
// a file system without anonymous files: stale ones are known by it.
std::string temporaryName(std::uint32_t pid, unsigned n);

class OutputFolder;

// A message file being written. It has no name in the output folder (or a hidden
// temporary one where the file system cannot do without) until it is named, so no
// message is ever visible under its name before all its bytes are in it. Dropped
// unnamed, it takes its bytes with it.
class PendingFile {
public:
    PendingFile(PendingFile&& other) noexcept
        : m_folder(other.m_folder), m_handle(std::exchange(other.m_handle, kNoHandle)),
          m_temporaryName(std::move(other.m_temporaryName)), m_named(other.m_named)
    {
    }
    PendingFile& operator=(PendingFile&&) = delete;
    ~PendingFile();

    // Writes all of `data`; the system's error otherwise (the caller knows the name the
    // message was to get).
    std::error_code write(std::string_view data) noexcept;
    // Takes back what was written after its first `size` bytes.
    std::error_code truncate(std::uint64_t size) noexcept;
    // Sets the time it was last modified, in seconds since 1970 (UTC), once it is written:
    // whether the file system holds that time now. One that cannot (ext4 holds 1901 to
    // 2446, and brings a date outside to its edge) keeps the time of writing.
    bool setModified(std::int64_t seconds) noexcept;
    // Reads back up to `n` of the bytes written, at `offset`, once they are all written (on
    // Windows a read moves the file's position); 0 past the end.
    std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t n, std::error_code& ec) const noexcept;

private:
    friend class OutputFolder;
    PendingFile(const OutputFolder& folder, NativeHandle handle, std::string temporaryName)
        : m_folder(&folder), m_handle(handle), m_temporaryName(std::move(temporaryName))
    {
    }

    const OutputFolder* m_folder;
    NativeHandle m_handle;
    std::string m_temporaryName; // empty for a file without any name
    bool m_named = false;
};

class OutputFolder {
public:
    // Opens an existing folder; throws when it is missing or not a folder.
    explicit OutputFolder(const std::string& path);
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    ~OutputFolder();

    const std::string& path() const noexcept { return m_path; }

    // A new file in the folder that nobody sees yet, or the system's error, for words
    // that name the message it was for.
    std::optional<PendingFile> createPending(std::error_code& ec) const noexcept;

    // Removes the hidden temporary files among `names` (what the folder holds) that a
    // process of this host left behind and that nobody can use any more: those of a
    // process that is gone and, with `ownToo`, this process's own (when nothing of it is
    // pending in the folder). A file of another host, or one not proven stale, stays.
    void removeStaleTemporaries(const std::vector<std::string>& names, bool ownToo) const noexcept;
    // Whether a temporary name was ever given here (the file system has no anonymous files).
    bool gaveTemporaryNames() const noexcept { return m_gaveTemporaryNames; }

    // Makes the bytes of complete files durable before they are named, so that a name
    // never reaches the disk before the bytes it names. On failure, throws naming
    // `firstName`, the name the first of them was to get; none of them is then named.
    void makeDurable(std::span<PendingFile* const> files, const std::string& firstName) const;
    // Makes the names given so far durable: what a run reports as written survives a
    // power cut after it reported it.
    void makeNamesDurable() const;

    // Gives the complete file `name`, unless an entry of that name exists (file, folder,
    // link, hidden or not): then false, and nothing changes. It never replaces anything.
    // Throws on any other failure; the file then stays pending. The name is given in
    // `into` when set: another folder of the same file system (a Maildir's cur/ for a
    // file written in its tmp/).
    bool name(PendingFile& file, const std::string& name, const OutputFolder* into = nullptr) const;

    // Closes a named file (named in `into`, when set); a late write error removes it
    // again and throws.
    void finish(PendingFile& file, const std::string& name, const OutputFolder* into = nullptr) const;

    // Whether an entry of that name exists; only for words about a failure.
    bool holds(const std::string& name) const noexcept;

    // The size of the regular file `name` (not a link, not a folder); none for anything else.
    std::optional<std::uint64_t> regularFileSize(const std::string& name) const noexcept;

    // Whether the regular file `name` holds exactly the `size` bytes that `ours` gives, piece
    // by piece from an offset (pieces of at most kComparePiece bytes). Any failure to read
    // it answers false. Safe to call from another thread than the one naming files.
    static constexpr std::size_t kComparePiece = std::size_t{1} << 20;
    using BytesAt = std::function<std::string_view(std::uint64_t offset, std::size_t size)>;
    bool holdsBytes(const std::string& name, std::uint64_t size, const BytesAt& ours) const;

    // The names of the entries it holds (all of them: files, folders, links, hidden or
    // not); none when it cannot be listed.
    std::vector<std::string> names() const;

private:
    friend class PendingFile;
    void discard(PendingFile& file) const noexcept;

    std::string m_path;
    // The folder held open where the platform makes and names files relative to an open
    // folder; kNoHandle where it names them by path.
    NativeHandle m_handle = kNoHandle;
    mutable std::atomic<bool> m_gaveTemporaryNames{false};
};

// Makes a missing folder with its parents (RunOptions::makeOutputFolder); throws
// ExtractError (Output), naming what stands in the way, when it cannot.
void makeFolder(std::string path);

} // namespace carrowin::extract
