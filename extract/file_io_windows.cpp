#include "file_io.h"

#include "errors.h"
#include "path_rules.h"
#include "windows_text.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace carrowin::extract {
namespace {

// The path for the wide API. A path whose full form has MAX_PATH characters or more is
// given in its "\\?\" form, which has no such limit: a long subject in a deep folder is
// still written.
std::wstring wide(const std::string& utf8)
{
    std::wstring path = wideFromUtf8(utf8);
    if (path.empty() || path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\"))
        return path;
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n < MAX_PATH - 12)
        return path;
    std::wstring full(n, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), n, full.data(), nullptr));
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The full form of a path, which a rename through a handle needs.
std::wstring fullPath(const std::wstring& path)
{
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring full(n, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), n, full.data(), nullptr));
    return full;
}

std::error_code lastError()
{
    return {static_cast<int>(GetLastError()), std::system_category()};
}

HANDLE handleOf(NativeHandle h)
{
    return reinterpret_cast<HANDLE>(h);
}

} // namespace

MailboxFile MailboxFile::open(const std::string& path)
{
    constexpr auto kind = ErrorKind::Mailbox;
    const std::wstring w = wide(path);
    const DWORD attrs = GetFileAttributesW(w.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        throw ExtractError::fromCode(kind, "Cannot open the mailbox", path, lastError());
    if (attrs & FILE_ATTRIBUTE_DIRECTORY)
        throw ExtractError(kind, path, "Cannot open the mailbox \"" + path + "\": it is a folder, not a file");
    const HANDLE h = CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw ExtractError::fromCode(kind, "Cannot open the mailbox", path, lastError());
    MailboxFile file(reinterpret_cast<NativeHandle>(h), 0, path);
    // Device names such as CON or COM1 open, but are no files.
    if (GetFileType(h) != FILE_TYPE_DISK)
        throw ExtractError(kind, path, "Cannot open the mailbox \"" + path + "\": it is not a regular file");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size))
        throw ExtractError::fromCode(kind, "Cannot read the mailbox", path, lastError());
    file.m_size = static_cast<std::uint64_t>(size.QuadPart);
    return file;
}

MailboxFile::~MailboxFile()
{
    if (m_handle != -1)
        CloseHandle(handleOf(m_handle));
}

std::size_t MailboxFile::readAt(std::uint64_t offset, char* buffer, std::size_t n) const
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(handleOf(m_handle), buffer, static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30)), &got, &at)) {
        const std::error_code err = lastError();
        if (err.value() != ERROR_HANDLE_EOF)
            throw ExtractError::fromCode(ErrorKind::Mailbox, "Cannot read the mailbox", m_path, err);
    }
    if (got == 0)
        changed();
    return got;
}

PendingFile::~PendingFile()
{
    if (m_handle != -1 && !m_published)
        m_folder->discard(*this);
    else if (m_handle != -1)
        CloseHandle(handleOf(m_handle));
}

std::error_code PendingFile::writeAll(std::string_view data)
{
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handleOf(m_handle), data.data(), chunk, &written, nullptr))
            return lastError();
        data.remove_prefix(written);
    }
    return {};
}

std::error_code PendingFile::setModified(std::int64_t seconds)
{
    // FILETIME counts 100 ns from 1601.
    constexpr std::int64_t kFrom1601 = 11644473600;
    const auto ticks = static_cast<std::uint64_t>((seconds + kFrom1601) * 10000000);
    FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    if (!SetFileTime(handleOf(m_handle), nullptr, nullptr, &written))
        return lastError();
    return {};
}

OutputFolder::OutputFolder(const std::string& path) : m_path(path), m_fd(-1)
{
    const DWORD attrs = GetFileAttributesW(wide(path).c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        throw ExtractError::fromCode(ErrorKind::Output, "Cannot open the output folder", path, lastError());
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY))
        throw ExtractError(ErrorKind::Output, path, "Cannot open the output folder \"" + path + "\": it is not a folder");
}

OutputFolder::~OutputFolder() = default;

PendingFile OutputFolder::createPending() const
{
    // A hidden temporary that a killed run may leave behind: never taken for a message.
    static std::atomic<unsigned> counter{0};
    for (;;) {
        std::string name = "~carrowin-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + ".tmp";
        const HANDLE h = CreateFileW(wide(joinPath(m_path, name)).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return PendingFile(*this, reinterpret_cast<NativeHandle>(h), std::move(name));
        const std::error_code err = lastError();
        if (err.value() != ERROR_FILE_EXISTS && err.value() != ERROR_ALREADY_EXISTS)
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot create a file in the output folder", m_path, err);
    }
}

bool OutputFolder::publish(PendingFile& file, const std::string& name) const
{
    // Renamed through its handle, never replacing: the system refuses a taken name.
    const std::wstring target = fullPath(wide(joinPath(m_path, name)));
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), rename->FileName);
    const HANDLE h = handleOf(file.m_handle);
    if (SetFileInformationByHandle(h, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL; // no longer hidden; the times stay
        SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
        file.m_temporaryName.clear();
        return file.m_published = true;
    }
    const std::error_code err = lastError();
    // Any entry of that name counts as taken: a folder refuses with "access denied".
    if (err.value() == ERROR_FILE_EXISTS || err.value() == ERROR_ALREADY_EXISTS || holds(name))
        return false;
    throw ExtractError::fromCode(ErrorKind::Output, "Cannot create", joinPath(m_path, name), err);
}

void OutputFolder::finish(PendingFile& file, const std::string& name) const
{
    const HANDLE h = handleOf(std::exchange(file.m_handle, -1));
    if (CloseHandle(h))
        return;
    const std::error_code err = lastError();
    DeleteFileW(wide(joinPath(m_path, name)).c_str());
    throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", joinPath(m_path, name), err);
}

void OutputFolder::discard(PendingFile& file) const noexcept
{
    if (file.m_handle != -1)
        CloseHandle(handleOf(std::exchange(file.m_handle, -1)));
    if (!file.m_temporaryName.empty())
        DeleteFileW(wide(joinPath(m_path, file.m_temporaryName)).c_str());
}

bool OutputFolder::holds(const std::string& name) const noexcept
{
    return GetFileAttributesW(wide(joinPath(m_path, name)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::uint64_t> OutputFolder::regularFileSize(const std::string& name) const noexcept
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide(joinPath(m_path, name)).c_str(), GetFileExInfoStandard, &data)
        || (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool OutputFolder::holdsBytes(const std::string& name, std::uint64_t size, const BytesAt& ours) const
{
    const HANDLE h = CreateFileW(wide(joinPath(m_path, name)).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::string theirs(static_cast<std::size_t>(std::min<std::uint64_t>(size, kComparePiece)), '\0');
    bool same = true;
    for (std::uint64_t done = 0; same && done < size;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kComparePiece, size - done));
        std::size_t got = 0;
        DWORD r = 0;
        while (got < n && ReadFile(h, theirs.data() + got, static_cast<DWORD>(n - got), &r, nullptr) && r > 0)
            got += r;
        same = got == n && ours(done, n) == std::string_view(theirs.data(), n);
        done += n;
    }
    char extra;
    DWORD r = 0;
    same = same && ReadFile(h, &extra, 1, &r, nullptr) && r == 0; // and no more: it may have grown since
    CloseHandle(h);
    return same;
}

} // namespace carrowin::extract
