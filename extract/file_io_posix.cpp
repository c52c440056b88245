#include "file_io.h"

#include "errors.h"
#include "path_rules.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
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

int fdOf(NativeHandle h)
{
    return static_cast<int>(h);
}

// Hidden, and never taken for a message: a later run neither counts nor trips over one
// that a killed run left behind.
std::string temporaryName()
{
    static std::atomic<unsigned> counter{0};
    return ".carrowin-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

} // namespace

MailboxFile MailboxFile::open(const std::string& path)
{
    constexpr auto kind = ErrorKind::Mailbox;
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        throw ExtractError::fromErrno(kind, "Cannot open the mailbox", path, errno);
    if (S_ISDIR(st.st_mode))
        throw ExtractError(kind, path, "Cannot open the mailbox \"" + path + "\": it is a folder, not a file");
    if (!S_ISREG(st.st_mode))
        throw ExtractError(kind, path, "Cannot open the mailbox \"" + path + "\": it is not a regular file");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw ExtractError::fromErrno(kind, "Cannot open the mailbox", path, errno);
    MailboxFile file(fd, 0, path);
    if (::fstat(fd, &st) != 0)
        throw ExtractError::fromErrno(kind, "Cannot read the mailbox", path, errno);
    file.m_size = static_cast<std::uint64_t>(st.st_size);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

MailboxFile::~MailboxFile()
{
    if (m_handle != -1)
        ::close(fdOf(m_handle));
}

std::size_t MailboxFile::readAt(std::uint64_t offset, char* buffer, std::size_t n) const
{
    for (;;) {
        const ssize_t got = ::pread(fdOf(m_handle), buffer, n, static_cast<off_t>(offset));
        if (got > 0)
            return static_cast<std::size_t>(got);
        if (got == 0)
            changed();
        if (errno != EINTR)
            throw ExtractError::fromErrno(ErrorKind::Mailbox, "Cannot read the mailbox", m_path, errno);
    }
}

PendingFile::~PendingFile()
{
    if (m_handle != -1 && !m_published)
        m_folder->discard(*this);
    else if (m_handle != -1)
        ::close(fdOf(m_handle));
}

std::error_code PendingFile::writeAll(std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fdOf(m_handle), data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {errno, std::generic_category()};
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

std::error_code PendingFile::setModified(std::int64_t seconds)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    if (::futimens(fdOf(m_handle), times) != 0)
        return {errno, std::generic_category()};
    return {};
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
        ::close(fdOf(m_fd));
}

PendingFile OutputFolder::createPending() const
{
    // An anonymous file, where the file system has them: nothing at all is left of it
    // when the program is killed.
    const int fd = ::openat(fdOf(m_fd), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0)
        return PendingFile(*this, fd, {});
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        throw ExtractError::fromErrno(ErrorKind::Output, "Cannot create a file in the output folder", m_path, errno);
    for (;;) {
        std::string name = temporaryName();
        const int named = ::openat(fdOf(m_fd), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (named >= 0)
            return PendingFile(*this, named, std::move(name));
        if (errno != EEXIST)
            throw ExtractError::fromErrno(ErrorKind::Output, "Cannot create a file in the output folder", m_path, errno);
    }
}

bool OutputFolder::publish(PendingFile& file, const std::string& name) const
{
    const int dir = fdOf(m_fd);
    const int fd = fdOf(file.m_handle);
    int err = 0;
    if (file.m_temporaryName.empty()) {
        // Giving an anonymous file its name fails, without replacing, when the name is taken.
        if (::linkat(fd, "", dir, name.c_str(), AT_EMPTY_PATH) == 0)
            return file.m_published = true;
        err = errno;
        if (err == EPERM || err == ENOENT) { // kernels before 6.10 ask a capability for that
            const std::string self = "/proc/self/fd/" + std::to_string(fd);
            if (::linkat(AT_FDCWD, self.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                return file.m_published = true;
            err = errno;
        }
    } else {
        const char* temporary = file.m_temporaryName.c_str();
        if (::renameat2(dir, temporary, dir, name.c_str(), RENAME_NOREPLACE) == 0) {
            file.m_temporaryName.clear();
            return file.m_published = true;
        }
        err = errno;
        if (err == EINVAL || err == ENOSYS) { // no renaming without replacing here: link, unlink
            if (::linkat(dir, temporary, dir, name.c_str(), 0) == 0) {
                ::unlinkat(dir, temporary, 0);
                file.m_temporaryName.clear();
                return file.m_published = true;
            }
            err = errno;
        }
    }
    if (err == EEXIST)
        return false;
    throw ExtractError::fromErrno(ErrorKind::Output, "Cannot create", joinPath(m_path, name), err);
}

void OutputFolder::finish(PendingFile& file, const std::string& name) const
{
    const int fd = fdOf(std::exchange(file.m_handle, -1));
    if (::close(fd) == 0)
        return;
    const int err = errno;
    ::unlinkat(fdOf(m_fd), name.c_str(), 0);
    throw ExtractError::fromErrno(ErrorKind::Output, "Cannot write", joinPath(m_path, name), err);
}

void OutputFolder::discard(PendingFile& file) const noexcept
{
    if (file.m_handle != -1)
        ::close(fdOf(std::exchange(file.m_handle, -1)));
    if (!file.m_temporaryName.empty())
        ::unlinkat(fdOf(m_fd), file.m_temporaryName.c_str(), 0);
}

bool OutputFolder::holds(const std::string& name) const noexcept
{
    struct stat st{};
    return ::fstatat(fdOf(m_fd), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

std::optional<std::uint64_t> OutputFolder::regularFileSize(const std::string& name) const noexcept
{
    struct stat st{};
    if (::fstatat(fdOf(m_fd), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool OutputFolder::holdsBytes(const std::string& name, std::uint64_t size, const BytesAt& ours) const
{
    const int fd = ::openat(fdOf(m_fd), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // One byte more is asked for than the file should hold: getting it means the file is
    // larger (it may have grown since its size was taken), a short read that it has ended.
    std::string theirs(static_cast<std::size_t>(std::min<std::uint64_t>(size, kComparePiece)) + 1, '\0');
    bool same = true;
    for (std::uint64_t done = 0; same && (done < size || size == 0);) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kComparePiece, size - done));
        const std::size_t ask = done + n == size ? n + 1 : n;
        std::size_t got = 0;
        while (got < ask) {
            const ssize_t r = ::read(fd, theirs.data() + got, ask - got);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            got += static_cast<std::size_t>(r);
            if (got < ask)
                break; // a regular file reads short only at its end; if not, it is written again
        }
        same = got == n && ours(done, n) == std::string_view(theirs.data(), n);
        done += n;
        if (size == 0)
            break;
    }
    ::close(fd);
    return same;
}

} // namespace carrowin::extract
