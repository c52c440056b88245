#include "file_io.h"

#include "errors.h"

namespace carrowin::extract {

void MailboxFile::changed() const
{
    throw ExtractError(ErrorKind::Mailbox, m_path,
                       "The mailbox \"" + m_path + "\" changed while it was being read: it is shorter than when the "
                       "extraction began. The files written so far are kept.");
}

} // namespace carrowin::extract
