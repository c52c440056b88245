#include "mailbox_source.h"

#include "mailbox_format.h"

#include <algorithm>
#include <stdexcept>

namespace carrowin::extract {

const ReadAt OpenedMailbox::kNoRereading = [](std::uint64_t, char*, std::size_t) -> std::size_t {
    throw std::logic_error("a stream is read once");
};

OpenedMailbox::OpenedMailbox(const MailboxSource& source) : m_source(source)
{
    if (!source.stream)
        m_file.emplace(MailboxFile::open(source.path));
}

bool OpenedMailbox::stream(RecordSink& sink, const std::function<bool()>& whileWaiting) const
{
    std::string start; // the mailbox's first bytes, for its signature; reads may be short
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        std::optional<std::size_t> got;
        if (m_file)
            got = m_file->readAt(offset, buffer, n);
        else // a stream is where the record stream reads: reads go on in order
            while (!(got = (*m_source.stream)(buffer, n)))
                if (!whileWaiting())
                    throw ReadingStopped{};
        if (offset == start.size() && start.size() < kFileSignature.size())
            start.append(buffer, std::min(*got, kFileSignature.size() - start.size()));
        return *got;
    };
    streamRecords(read, size(), m_source.pieceSize, sink);
    return start == kFileSignature;
}

} // namespace carrowin::extract
