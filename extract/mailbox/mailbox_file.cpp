#include "mailbox_file.h"

#include "errors.h"
#include "native_files.h"

namespace carrowin::extract {

MailboxFile MailboxFile::open(const std::string& path)
{
    constexpr auto kind = ErrorKind::Mailbox;
    std::error_code ec;
    const native::Opened opened = native::openForReading(path, ec);
    if (ec)
        throw ExtractError::fromCode(kind, "Cannot open the mailbox", path, ec);
    if (opened.kind == native::FileKind::Folder)
        throw ExtractError(kind, path, "Cannot open the mailbox \"" + path + "\": it is a folder, not a file");
    if (opened.kind != native::FileKind::Regular)
        throw ExtractError(kind, path, "Cannot open the mailbox \"" + path + "\": it is not a regular file");
    return MailboxFile(opened.handle, opened.size, path);
}

MailboxFile::~MailboxFile()
{
    if (m_handle != kNoHandle)
        (void)native::close(m_handle);
}

std::size_t MailboxFile::readAt(std::uint64_t offset, char* buffer, std::size_t n) const
{
    std::error_code ec;
    const std::size_t got = native::readAt(m_handle, offset, buffer, n, ec);
    if (ec)
        throw ExtractError::fromCode(ErrorKind::Mailbox, "Cannot read the mailbox", m_path, ec);
    if (got == 0)
        throw ExtractError(ErrorKind::Mailbox, m_path,
                           "The mailbox \"" + m_path + "\" changed while it was being read: it is shorter than when the "
                           "extraction began. The files written so far are kept.");
    return got;
}

} // namespace carrowin::extract
