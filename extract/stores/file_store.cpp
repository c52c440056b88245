#include "file_store.h"

#include "errors.h"
#include "header_fields.h"
#include "message_date.h"
#include "output_folder.h"
#include "paths.h"

#include <filesystem>

namespace carrowin::extract {
namespace {

// Whether a dry run compares what a stream brings with the files there: it keeps the
// bytes a real run would, a large message's in a file beside the system's others.
bool comparesAStream(const RunContext& run)
{
    return run.options.dryRun && run.options.skipExisting && !run.canReadAgain;
}

// A large message is left in the mailbox only where it can be read again, and only when
// it may never need writing (skipExisting).
MessageReader::Bytes bytesOf(const RunContext& run)
{
    if (run.options.dryRun && !comparesAStream(run))
        return MessageReader::Bytes::Dropped;
    return run.options.skipExisting && run.canReadAgain ? MessageReader::Bytes::KeptWhenSmall
                                                        : MessageReader::Bytes::KeptOrWritten;
}

std::unique_ptr<OutputFolder> scratchFor(const RunContext& run)
{
    if (!comparesAStream(run))
        return nullptr;
    return std::make_unique<OutputFolder>(text::utf8FromPath(std::filesystem::temp_directory_path()));
}

} // namespace

FileStore::FileStore(const RunContext& run, std::unique_ptr<FileNaming> naming)
    : m_run(run), m_naming(std::move(naming)), m_scratch(scratchFor(run)),
      m_reader(run.options.dates || run.options.decodeSubjects, bytesOf(run)), m_skipQueue(run.readAgain),
      m_writer(run.readAgain, m_naming->nameOn())
{
}

void FileStore::messageStarts(const MessageStart& start)
{
    m_place = m_naming->placeOfNext(m_leave);
    m_reader.start(m_scratch ? m_scratch.get() : m_place.writtenIn);
    m_number = start.number;
    m_marker = start.marker;
    m_text = RecordText(m_naming->withoutPadding() ? start.textSize : std::nullopt);
}

void FileStore::messageBytes(std::string_view bytes)
{
    m_text.add(bytes, [this](std::string_view own) { read(own); });
}

void FileStore::read(std::string_view bytes)
{
    // The small messages before a large one are named, on the disk, before it streams: it
    // can take long, and Cancel or the end of the program meanwhile keeps what came before.
    if (m_reader.beginsStreaming(bytes.size()) && m_writer.holdsSmallMessages()) {
        m_writer.drain();
        reportNamed();
    }
    if (const std::error_code err = m_reader.add(bytes))
        throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", m_naming->pathOfCurrent(m_reader), err);
}

// The name is chosen now that the message is complete; with skipExisting once it is known
// whether the output holds it already.
void FileStore::messageEnds(std::uint64_t end)
{
    ReadMessage m;
    m.number = m_number;
    m.marker = m_marker;
    m.end = end;
    m.padding = m_text.padding();
    m_naming->describe(m, m_reader);
    if (m_run.options.dates && !m_run.options.dryRun)
        if (const auto date = headerField(m_reader.headerBlock(), "Date"))
            m.modified = parseMessageDate(*date);
    m_reader.handOver(m);
    if (!m_run.options.skipExisting)
        return place(m, std::nullopt);
    std::vector<Candidate> candidates = m_naming->candidatesFor(m);
    m_skipQueue.add(std::move(m), std::move(candidates));
    if (m_naming->nextNameWaits())
        return nameWaiting(true);
    if (m_skipQueue.full())
        m_skipQueue.holdBack();
    nameWaiting(false);
}

void FileStore::takeNamed()
{
    m_writer.takeNamed(); // and a failure to write ends the run here
    reportNamed();
}

void FileStore::whileWaiting()
{
    nameWaiting(false);
    takeNamed();
}

void FileStore::finish()
{
    m_place = m_naming->placeAtTheEnd();
    leavePlace();
}

void FileStore::finishQueued() noexcept
{
    try {
        m_writer.drain();
    } catch (...) {
    }
    try {
        reportNamed();
        if (m_place.namedIn && !m_run.options.dryRun)
            m_place.namedIn->makeNamesDurable();
    } catch (...) {
    }
}

void FileStore::leavePlace()
{
    nameWaiting(true);
    m_writer.drain();
    reportNamed();
    if (!m_place.namedIn || m_run.options.dryRun)
        return;
    m_place.namedIn->makeNamesDurable();
    // Nothing is pending here any more: no temporary name of this run may stay.
    if (m_place.writtenIn->gaveTemporaryNames())
        m_place.writtenIn->removeStaleTemporaries(m_place.writtenIn->names(), true);
}

void FileStore::nameWaiting(bool all)
{
    while (std::optional<SkipQueue::Ready> ready = m_skipQueue.next(all))
        place(ready->message, ready->heldBy);
}

void FileStore::place(ReadMessage& m, const std::optional<Candidate>& heldBy)
{
    const MessageDone done{m.number, m.marker, m.size, m.end};
    if (heldBy)
        return m_run.report.foundThere(done, m_naming->foundIn(m, *heldBy));
    ChosenName chosen = m_naming->nameOf(m);
    if (m_run.options.dryRun)
        return m_run.report.handedOn(done, chosen.fileName);
    if (m_run.options.dates && !m.modified)
        m_run.report.undated();
    const OutputFolder* into = m_place.namedIn == m_place.writtenIn ? nullptr : m_place.namedIn;
    m_writer.add(*m_place.writtenIn, std::move(m), std::move(chosen), into);
    m_run.report.handedOn(done, {}); // the name is shown in a dry run only
}

void FileStore::reportNamed()
{
    m_run.report.undated(m_writer.undated() - std::exchange(m_undatedByWriter, m_writer.undated()));
    m_run.report.named(m_writer.named(), m_writer.lastNamed());
}

std::unique_ptr<OutputFolder> openStoreFolder(const std::string& path, bool make, const RunOptions& options)
{
    if (options.dryRun) {
        std::error_code ec;
        if (!std::filesystem::exists(text::pathFromUtf8(path), ec))
            return nullptr;
    } else if (make) {
        makeFolder(path);
    }
    return std::make_unique<OutputFolder>(path);
}

} // namespace carrowin::extract
