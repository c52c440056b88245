// The run is a short sequencer: the record stream (record_stream.h) tells it where each
// record starts, its body's bytes and its end; it asks the host whether to stop, keeps
// the report, and hands the rest to the store.
#include "run.h"

#include "errors.h"
#include "mailbox_format.h"

#include <utility>

namespace carrowin::extract {
namespace {

class Run : public RecordSink {
public:
    Run(RunReport& report, MessageStore& store) : m_report(report), m_store(store) {}

    bool recordStarts(std::uint64_t marker, std::string_view header) override
    {
        m_store.takeNamed(); // and a failure to write ends the run here
        if (!m_report.recordStarts(marker))
            return false;
        m_store.messageStarts({m_report.number(), marker, recordTextSize(header)});
        m_inRecord = true;
        return true;
    }

    void bodyBytes(std::string_view bytes) override
    {
        // A large message lets the host show where the run is, every kWritePiece.
        if (m_report.bodyGrows(bytes.size())) {
            m_store.takeNamed();
            m_report.writing();
        }
        m_store.messageBytes(bytes);
    }

    void recordEnds(std::uint64_t end) override
    {
        m_inRecord = false;
        m_store.messageEnds(end);
    }

    // The reading stopped inside a record: its message is not complete.
    void stopped()
    {
        if (std::exchange(m_inRecord, false))
            m_store.messageAbandoned();
    }

private:
    RunReport& m_report;
    MessageStore& m_store;
    bool m_inRecord = false;
};

} // namespace

RunSummary runMailbox(const MailboxSource& source, const MakeStore& makeStore, RunHost& host,
                      const RunOptions& options)
{
    const OpenedMailbox mailbox(source);
    RunReport report(host, options, mailbox.size());
    const std::unique_ptr<MessageStore> store =
        makeStore({report, options, mailbox.readAgain(), mailbox.canReadAgain()});
    Run run(report, *store);
    // A stream that keeps the run waiting: what is ready is named meanwhile, and the host
    // may stop the run there.
    const auto whileWaiting = [&] {
        store->whileWaiting();
        return !report.stopWhileWaiting();
    };
    try {
        bool looksLikeMailbox = true;
        try {
            looksLikeMailbox = mailbox.stream(run, whileWaiting);
        } catch (const ReadingStopped&) {
            run.stopped();
        }
        if (report.number() == 0 && !report.cancelled() && !looksLikeMailbox)
            throw ExtractError(ErrorKind::Mailbox, source.path,
                               "\"" + source.path
                                   + "\" is not an OE4 mailbox: it has neither the \"JMF6\" header nor any message record");
        store->finish();
    } catch (...) {
        store->finishQueued();
        throw;
    }
    RunSummary summary = report.summary();
    summary.fileName = store->fileName();
    return summary;
}

} // namespace carrowin::extract
