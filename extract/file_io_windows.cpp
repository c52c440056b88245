#include "file_io.h"

#include "errors.h"
#include "path_rules.h"
#include "windows_text.h"

#include <windows.h>

#include <algorithm>

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

std::error_code lastError()
{
    return {static_cast<int>(GetLastError()), std::system_category()};
}

HANDLE handleOf(NativeHandle h)
{
    return reinterpret_cast<HANDLE>(h);
}

class HandleGuard {
public:
    explicit HandleGuard(HANDLE h) : m_h(h) {}
    ~HandleGuard()
    {
        if (m_h != nullptr && m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    HANDLE get() const { return m_h; }

private:
    HANDLE m_h;
};

} // namespace

MailboxImage MailboxImage::open(const std::string& path)
{
    constexpr auto kind = ErrorKind::Mailbox;
    const std::wstring w = wide(path);
    const DWORD attrs = GetFileAttributesW(w.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        throw ExtractError::fromCode(kind, "Cannot open the mailbox", path, lastError());
    if (attrs & FILE_ATTRIBUTE_DIRECTORY)
        throw ExtractError(kind, path, "Cannot open the mailbox \"" + path + "\": it is a folder, not a file");
    const HandleGuard file(CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        throw ExtractError::fromCode(kind, "Cannot open the mailbox", path, lastError());
    // Device names such as CON or COM1 open, but are no files.
    if (GetFileType(file.get()) != FILE_TYPE_DISK)
        throw ExtractError(kind, path, "Cannot open the mailbox \"" + path + "\": it is not a regular file");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        throw ExtractError::fromCode(kind, "Cannot read the mailbox", path, lastError());
    if (size.QuadPart == 0)
        return MailboxImage(nullptr, 0);
    const HandleGuard mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping.get() == nullptr)
        throw ExtractError::fromCode(kind, "Cannot read the mailbox", path, lastError());
    const void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr)
        throw ExtractError::fromCode(kind, "Cannot read the mailbox", path, lastError());
    return MailboxImage(static_cast<const char*>(view), static_cast<std::size_t>(size.QuadPart));
}

MailboxImage::MailboxImage(MailboxImage&& other) noexcept : m_data(other.m_data), m_size(other.m_size)
{
    other.m_data = nullptr;
    other.m_size = 0;
}

MailboxImage::~MailboxImage()
{
    if (m_data != nullptr)
        UnmapViewOfFile(m_data);
}

OutputFile::~OutputFile()
{
    if (m_fd != -1)
        CloseHandle(handleOf(m_fd));
}

std::error_code OutputFile::writeAll(std::string_view data)
{
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handleOf(m_fd), data.data(), chunk, &written, nullptr))
            return lastError();
        data.remove_prefix(written);
    }
    return {};
}

std::error_code OutputFile::close()
{
    const HANDLE h = handleOf(m_fd);
    m_fd = -1;
    return CloseHandle(h) ? std::error_code{} : lastError();
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

std::optional<OutputFile> OutputFolder::createExclusive(const std::string& name) const
{
    const std::wstring full = wide(joinPath(m_path, name));
    const HANDLE h = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        return OutputFile(reinterpret_cast<NativeHandle>(h));
    const std::error_code err = lastError();
    // Any entry of that name counts as taken: CREATE_NEW refuses a folder with "access denied".
    if (err.value() == ERROR_FILE_EXISTS || err.value() == ERROR_ALREADY_EXISTS
        || GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    throw ExtractError::fromCode(ErrorKind::Output, "Cannot create", joinPath(m_path, name), err);
}

void OutputFolder::remove(const std::string& name) const noexcept
{
    DeleteFileW(wide(joinPath(m_path, name)).c_str());
}

} // namespace carrowin::extract
