#include "outgoing_message.h"

#include "errors.h"
#include "mailbox_format.h"
#include "message_date.h"
#include "paths.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <utility>

namespace carrowin::extract {
namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

[[noreturn]] void cannotKeep(const std::string& folder, std::error_code ec)
{
    throw ExtractError::fromCode(ErrorKind::Output, "Cannot keep a large message meanwhile in", folder, ec);
}

} // namespace

void OutgoingMessage::start(std::uint64_t marker)
{
    m_marker = marker;
    m_size = 0;
    m_bareLineFeeds = 0;
    m_nul = false;
    m_afterCr = false;
    m_header.clear();
    m_kept.clear();
    m_inMailbox = false;
    m_spill.reset();
}

void OutgoingMessage::add(std::string_view bytes)
{
    m_header.add(bytes);
    m_size += bytes.size();
    m_nul = m_nul || std::memchr(bytes.data(), 0, bytes.size()) != nullptr;
    for (std::size_t at = 0; (at = bytes.find('\n', at)) != std::string_view::npos; ++at)
        if (at == 0 ? !m_afterCr : bytes[at - 1] != '\r')
            ++m_bareLineFeeds;
    m_afterCr = bytes.back() == '\r';
    if (m_inMailbox)
        return;
    if (!m_spill && m_kept.size() + bytes.size() <= kKeptMessage) {
        m_kept += bytes;
        return;
    }
    if (m_canReadAgain) {
        m_kept.clear();
        m_inMailbox = true;
        return;
    }
    if (!m_spill) {
        if (!m_temporaryFolder)
            m_temporaryFolder = std::make_unique<OutputFolder>(text::utf8FromPath(std::filesystem::temp_directory_path()));
        std::error_code ec;
        std::optional<PendingFile> file = m_temporaryFolder->createPending(ec);
        if (!file)
            cannotKeep(m_temporaryFolder->path(), ec);
        m_spill.emplace(std::move(*file));
        if ((ec = m_spill->write(m_kept)))
            cannotKeep(m_temporaryFolder->path(), ec);
        m_kept.clear();
    }
    if (const std::error_code ec = m_spill->write(bytes))
        cannotKeep(m_temporaryFolder->path(), ec);
}

void OutgoingMessage::drop()
{
    m_kept.clear();
    m_spill.reset();
}

std::optional<std::int64_t> OutgoingMessage::date() const
{
    if (const std::optional<std::string> field = headerField(m_header.text(), "Date"))
        return parseMessageDate(*field);
    return std::nullopt;
}

void OutgoingMessage::readRaw(const std::function<bool(std::string_view)>& take) const
{
    if (!m_inMailbox && !m_spill) {
        for (std::size_t at = 0; at < m_kept.size(); at += kPiece)
            if (!take(std::string_view(m_kept).substr(at, kPiece)))
                return;
        return;
    }
    std::string piece(kPiece, '\0');
    for (std::uint64_t done = 0; done < m_size;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, m_size - done));
        std::error_code ec;
        const std::size_t got = m_spill ? m_spill->readAt(done, piece.data(), n, ec)
                                        : m_mailbox(m_marker + kRecordHeaderSize + done, piece.data(), n);
        if (got == 0 && !m_spill) // the mailbox's reads throw their own failures
            throw ExtractError(ErrorKind::Mailbox, {}, "The mailbox changed while it was read: a message is cut short");
        if (ec || got == 0)
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot read again a large message kept in",
                                         m_temporaryFolder->path(), ec ? ec : std::make_error_code(std::errc::io_error));
        if (!take(std::string_view(piece.data(), got)))
            return;
        done += got;
    }
}

void OutgoingMessage::read(Form form, const std::function<bool(std::string_view)>& take) const
{
    form.crlf = form.crlf && m_bareLineFeeds > 0;
    form.nulAs80 = form.nulAs80 && m_nul;
    if (!form.crlf && !form.nulAs80)
        return readRaw(take);
    std::string out;
    bool afterCr = false;
    readRaw([&](std::string_view bytes) {
        out.clear();
        for (const char c : bytes) {
            if (c == '\n' && !afterCr && form.crlf)
                out += '\r';
            out += c == '\0' && form.nulAs80 ? '\x80' : c;
            afterCr = c == '\r';
        }
        return take(out);
    });
}

} // namespace carrowin::extract
