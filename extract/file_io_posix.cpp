#include "file_io.h"

#include "errors.h"
#include "path_rules.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace carrowin::extract {
namespace {

class FdGuard {
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

MailboxImage MailboxImage::open(const std::string& path)
{
    constexpr auto kind = ErrorKind::Mailbox;
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        throw ExtractError::fromErrno(kind, "Cannot open the mailbox", path, errno);
    if (S_ISDIR(st.st_mode))
        throw ExtractError(kind, path, "Cannot open the mailbox \"" + path + "\": it is a folder, not a file");
    if (!S_ISREG(st.st_mode))
        throw ExtractError(kind, path, "Cannot open the mailbox \"" + path + "\": it is not a regular file");
    const FdGuard fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw ExtractError::fromErrno(kind, "Cannot open the mailbox", path, errno);
    if (::fstat(fd.get(), &st) != 0)
        throw ExtractError::fromErrno(kind, "Cannot read the mailbox", path, errno);
    const auto size = static_cast<std::size_t>(st.st_size);
    if (size == 0)
        return MailboxImage(nullptr, 0);
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (data == MAP_FAILED)
        throw ExtractError::fromErrno(kind, "Cannot read the mailbox", path, errno);
    ::madvise(data, size, MADV_SEQUENTIAL);
    return MailboxImage(static_cast<const char*>(data), size);
}

MailboxImage::MailboxImage(MailboxImage&& other) noexcept : m_data(other.m_data), m_size(other.m_size)
{
    other.m_data = nullptr;
    other.m_size = 0;
}

MailboxImage::~MailboxImage()
{
    if (m_data != nullptr)
        ::munmap(const_cast<char*>(m_data), m_size);
}

OutputFile::~OutputFile()
{
    if (m_fd >= 0)
        ::close(static_cast<int>(m_fd));
}

std::error_code OutputFile::writeAll(std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(static_cast<int>(m_fd), data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {errno, std::generic_category()};
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

std::error_code OutputFile::close()
{
    const int fd = static_cast<int>(m_fd);
    m_fd = -1;
    if (::close(fd) == 0)
        return {};
    return {errno, std::generic_category()};
}

OutputFolder::OutputFolder(const std::string& path) : m_path(path), m_fd(-1)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        throw ExtractError::fromErrno(ErrorKind::Output, "Cannot open the output folder", path, errno);
}

OutputFolder::~OutputFolder()
{
    if (m_fd >= 0)
        ::close(static_cast<int>(m_fd));
}

std::optional<OutputFile> OutputFolder::createExclusive(const std::string& name) const
{
    const int fd = ::openat(static_cast<int>(m_fd), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0)
        return OutputFile(fd);
    if (errno == EEXIST)
        return std::nullopt;
    throw ExtractError::fromErrno(ErrorKind::Output, "Cannot create", joinPath(m_path, name), errno);
}

void OutputFolder::remove(const std::string& name) const noexcept
{
    ::unlinkat(static_cast<int>(m_fd), name.c_str(), 0);
}

} // namespace carrowin::extract
