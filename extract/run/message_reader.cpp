#include "message_reader.h"

#include <utility>

namespace carrowin::extract {

void MessageReader::start(const OutputFolder* folder)
{
    m_folder = folder;
    m_inMailbox = false;
    m_excerpt.clear();
    if (m_header)
        m_headerBlock.clear();
    m_size = 0;
}

bool MessageReader::beginsStreaming(std::size_t n) const
{
    return m_bytes == Bytes::KeptOrWritten && !m_file && m_kept.size() + n > kKeptMessage;
}

std::error_code MessageReader::add(std::string_view bytes)
{
    m_excerpt.add(bytes);
    if (m_header)
        m_headerBlock.add(bytes);
    m_size += bytes.size();
    if (m_bytes == Bytes::Dropped || m_inMailbox)
        return {}; // named from the excerpt; compared, if asked, with the mailbox itself
    if (!m_file && m_kept.size() + bytes.size() <= kKeptMessage) {
        // A message that starts large is given room for the most it can be kept as, once:
        // growing it piece by piece would copy it again for every piece.
        if (m_kept.empty() && bytes.size() >= kKeptMessage / 4)
            m_kept.reserve(kKeptMessage);
        m_kept += bytes;
        return {};
    }
    if (m_bytes == Bytes::KeptWhenSmall) {
        m_kept = {};
        m_inMailbox = true;
        return {};
    }
    if (!m_file) {
        std::error_code ec;
        std::optional<PendingFile> file = m_folder->createPending(ec);
        if (!file)
            return ec;
        m_file.emplace(std::move(*file));
        if (const std::error_code err = m_file->write(std::exchange(m_kept, {})))
            return err;
    }
    return m_file->write(bytes);
}

void MessageReader::handOver(ReadMessage& message)
{
    message.size = m_size;
    message.keptBytes = std::exchange(m_kept, {});
    message.inMailbox = m_inMailbox;
    if (m_file) {
        message.file.emplace(std::move(*m_file));
        m_file.reset();
    }
}

void MessageReader::abandon()
{
    m_kept = {};
    m_file.reset();
    m_inMailbox = false;
    m_size = 0;
}

} // namespace carrowin::extract
