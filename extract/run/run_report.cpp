#include "run_report.h"

#include "record_stream.h"

namespace carrowin::extract {

RunReport::RunReport(RunHost& host, const RunOptions& options, std::uint64_t mailboxSize)
    : m_host(host), m_dryRun(options.dryRun),
      m_progress{.bytesTotal = mailboxSize == kUnknownSize ? 0 : mailboxSize}
{
}

bool RunReport::recordStarts(std::uint64_t marker)
{
    if (m_host.cancelRequested()) {
        m_cancelled = true;
        return false;
    }
    ++m_number;
    m_marker = marker;
    m_size = 0;
    m_progress.bytesDone = marker;
    return true;
}

bool RunReport::stopWhileWaiting()
{
    m_cancelled = m_cancelled || m_host.cancelRequested();
    return m_cancelled;
}

bool RunReport::bodyGrows(std::size_t n)
{
    m_pieceAt = m_marker + m_size;
    m_size += n;
    return (m_pieceAt - m_marker) / kWritePiece != m_size / kWritePiece;
}

void RunReport::writing()
{
    Progress p = m_progress;
    p.bytesDone = m_pieceAt;
    m_host.writing(p);
}

void RunReport::handedOn(const MessageDone& m, std::string_view name)
{
    ++m_progress.filesQueued;
    done(m, name, false);
}

void RunReport::foundThere(const MessageDone& m, std::string_view file)
{
    ++m_skipped;
    done(m, file, true);
}

void RunReport::done(const MessageDone& m, std::string_view name, bool alreadyThere)
{
    m_progress.bytesDone = m.end;
    if (m_dryRun)
        m_host.planned({m.number, m.marker, m.size, std::string(name), alreadyThere});
    m_host.messageDone(m_progress);
}

void RunReport::refused(const MessageDone& m, const std::string& reason)
{
    ++m_refused;
    m_host.refused({m.number, m.marker, m.size, reason});
}

void RunReport::named(std::uint64_t count, const std::string& lastBaseName, std::uint64_t bytes)
{
    if (count == m_progress.filesNamed)
        return;
    m_progress.filesNamed = count;
    m_progress.bytesNamed = bytes;
    m_host.filesNamed(m_progress, lastBaseName);
}

RunSummary RunReport::summary() const
{
    return {m_cancelled ? RunEnding::Cancelled : RunEnding::Completed,
            m_dryRun ? m_progress.filesQueued : m_progress.filesNamed, m_skipped, m_undated, m_refused, {}};
}

} // namespace carrowin::extract
