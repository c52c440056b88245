#include "native_files.h"

#include "paths.h"
#include "windows_text.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace carrowin::extract::native {
namespace {

// The path for the wide API. A path whose full form has MAX_PATH characters or more is
// given in its "\\?\" form, which has no such limit: a long subject in a deep folder is
// still written.
std::wstring wide(const std::string& utf8)
{
    std::wstring path = text::wideFromUtf8(utf8);
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

std::wstring wideEntry(const Folder& folder, const std::string& name)
{
    return wide(text::joinPath(folder.path, name));
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

NativeHandle nativeOf(HANDLE h)
{
    return reinterpret_cast<NativeHandle>(h);
}

DWORD chunkOf(std::size_t n)
{
    return static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
}

} // namespace

Opened openForReading(const std::string& path, std::error_code& ec)
{
    const std::wstring w = wide(path);
    const DWORD attrs = GetFileAttributesW(w.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        ec = lastError();
        return {};
    }
    if (attrs & FILE_ATTRIBUTE_DIRECTORY)
        return {kNoHandle, FileKind::Folder, 0};
    const HANDLE h = CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ec = lastError();
        return {};
    }
    // Device names such as CON or COM1 open, but are no files.
    LARGE_INTEGER size{};
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return {kNoHandle, FileKind::Other, 0};
    }
    if (!GetFileSizeEx(h, &size)) {
        ec = lastError();
        CloseHandle(h);
        return {};
    }
    return {nativeOf(h), FileKind::Regular, static_cast<std::uint64_t>(size.QuadPart)};
}

Opened openFolder(const std::string& path, std::error_code& ec)
{
    const DWORD attrs = GetFileAttributesW(wide(path).c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        ec = lastError();
        return {};
    }
    return {kNoHandle, (attrs & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder : FileKind::Other, 0};
}

std::size_t readAt(NativeHandle file, std::uint64_t offset, char* buffer, std::size_t n, std::error_code& ec)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(handleOf(file), buffer, chunkOf(n), &got, &at) && GetLastError() != ERROR_HANDLE_EOF)
        ec = lastError();
    return got;
}

std::size_t read(NativeHandle file, char* buffer, std::size_t n, std::error_code& ec)
{
    DWORD got = 0;
    if (!ReadFile(handleOf(file), buffer, chunkOf(n), &got, nullptr))
        ec = lastError();
    return got;
}

std::size_t write(NativeHandle file, const char* data, std::size_t n, std::error_code& ec)
{
    DWORD written = 0;
    if (!WriteFile(handleOf(file), data, chunkOf(n), &written, nullptr))
        ec = lastError();
    return written;
}

std::error_code truncate(NativeHandle file, std::uint64_t size)
{
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(handleOf(file), at, nullptr, FILE_BEGIN) || !SetEndOfFile(handleOf(file)))
        return lastError();
    return {};
}

// FILETIME counts 100 ns from 1601.
constexpr std::int64_t kFrom1601 = 11644473600;

std::error_code setModified(NativeHandle file, std::int64_t seconds)
{
    if (seconds < -kFrom1601)
        return std::make_error_code(std::errc::value_too_large);
    const auto ticks = static_cast<std::uint64_t>((seconds + kFrom1601) * 10000000);
    FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    return SetFileTime(handleOf(file), nullptr, nullptr, &written) ? std::error_code{} : lastError();
}

std::optional<std::int64_t> modifiedTime(NativeHandle file)
{
    FILETIME written{};
    if (!GetFileTime(handleOf(file), nullptr, nullptr, &written))
        return std::nullopt;
    const std::uint64_t ticks = std::uint64_t{written.dwHighDateTime} << 32 | written.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000) - kFrom1601;
}

std::error_code close(NativeHandle file)
{
    return CloseHandle(handleOf(file)) ? std::error_code{} : lastError();
}

NativeHandle createAnonymous(const Folder&, std::error_code&)
{
    return kNoHandle; // a file has a name on Windows from the start
}

std::string_view temporaryPrefix() noexcept
{
    return "~carrowin-";
}

std::string hostName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &n) ? text::utf8FromWide(std::wstring_view(name, n)) : std::string();
}

std::uint32_t processId() noexcept
{
    return GetCurrentProcessId();
}

bool processRunning(std::uint32_t pid) noexcept
{
    const HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (h == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED; // there, but not ours to ask
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
}

NativeHandle createExclusive(const Folder& folder, const std::string& name, std::error_code& ec)
{
    // Hidden, and open for DELETE: it is renamed through this handle. Readable: a message
    // that could not be left where it came from is compared from it (PendingFile::readAt).
    const HANDLE h = CreateFileW(wideEntry(folder, name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        return nativeOf(h);
    const DWORD err = GetLastError();
    if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS)
        ec = {static_cast<int>(err), std::system_category()};
    return kNoHandle;
}

std::size_t openFilesAllowed() noexcept
{
    return 16384; // handles are limited by memory alone
}

void allowAllOpenFiles() noexcept {}

std::error_code makeDurable(const Folder&, std::span<const NativeHandle> files)
{
    for (const NativeHandle file : files)
        if (!FlushFileBuffers(handleOf(file)))
            return lastError();
    return {};
}

std::error_code makeNamesDurable(const Folder&)
{
    // NTFS writes a rename to its journal; nothing short of flushing the whole volume
    // (which needs an administrator) makes it durable sooner.
    return {};
}

void reuseFreedMemory() noexcept
{
    // Left to the Windows heap: how it serves blocks of this size was not measured.
}

Naming nameFile(const Folder&, NativeHandle file, const std::string&, const Folder& into, const std::string& name,
                std::error_code& ec)
{
    // Renamed through its handle, never replacing: the system refuses a taken name.
    const std::wstring target = fullPath(wideEntry(into, name));
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), rename->FileName);
    const HANDLE h = handleOf(file);
    if (SetFileInformationByHandle(h, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL; // no longer hidden; the times stay
        SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
        return Naming::Named;
    }
    const DWORD err = GetLastError();
    // Any entry of that name counts as taken: a folder refuses with "access denied".
    if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS || entryExists(into, name))
        return Naming::Taken;
    ec = {static_cast<int>(err), std::system_category()};
    return Naming::Failed;
}

void removeEntry(const Folder& folder, const std::string& name) noexcept
{
    DeleteFileW(wideEntry(folder, name).c_str());
}

bool entryExists(const Folder& folder, const std::string& name) noexcept
{
    return GetFileAttributesW(wideEntry(folder, name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::uint64_t> regularFileSize(const Folder& folder, const std::string& name) noexcept
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wideEntry(folder, name).c_str(), GetFileExInfoStandard, &data)
        || (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

NativeHandle openEntryForReading(const Folder& folder, const std::string& name) noexcept
{
    const HANDLE h = CreateFileW(wideEntry(folder, name).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return kNoHandle;
    // Only a regular file holds a message (a device name opens, too).
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return kNoHandle;
    }
    return nativeOf(h);
}

} // namespace carrowin::extract::native
