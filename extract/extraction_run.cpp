// The run: a short sequencer that hands each record from one part to the next. The
// mailbox is read in pieces (record_stream.h); a message's body is gathered or streamed
// to a file (message_reader.h); once read, it is named in its output folder
// (folder_names.h), after a comparison with the files already there when skipExisting
// asks for it (skip_queue.h), and written and given its name on the writer's thread
// (file_writer.h), which hands the named files back in order.
#include "extraction_run.h"

#include "errors.h"
#include "file_io.h"
#include "file_writer.h"
#include "folder_names.h"
#include "header_fields.h"
#include "mailbox_format.h"
#include "message_date.h"
#include "message_reader.h"
#include "paths.h"
#include "record_stream.h"
#include "skip_queue.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

namespace carrowin::extract {
namespace {

// A large message is left in the mailbox only where it can be read again, and only when
// it may never need writing (skipExisting).
MessageReader::Bytes bytesOf(const RunOptions& options, bool readAgain)
{
    if (options.dryRun)
        return MessageReader::Bytes::Dropped;
    return options.skipExisting && readAgain ? MessageReader::Bytes::KeptWhenSmall
                                             : MessageReader::Bytes::KeptOrWritten;
}

class Run : public RecordSink {
public:
    // `mailbox` reads the mailbox again, where a message's bytes are left in it; null for a
    // stream, which cannot be read again.
    Run(RunHost& host, const RunOptions& options, const ReadAt* mailbox, std::uint64_t size)
        : m_host(host), m_options(options),
          m_reader(options.dates || options.decodeSubjects, bytesOf(options, mailbox != nullptr)),
          m_skipQueue(mailbox ? *mailbox : kNoRereading), m_writer(mailbox ? *mailbox : kNoRereading),
          m_progress{.bytesTotal = size == kUnknownSize ? 0 : size}
    {
    }

    // The record stream's three steps: a record's settings and folder, its body, its end.
    bool recordStarts(std::uint64_t marker) override;
    void bodyBytes(std::string_view bytes) override;
    void recordEnds(std::uint64_t end) override;

    // Every message waiting named and written.
    RunSummary finish();

    // While a stream keeps the run waiting for its next bytes: what is ready meanwhile is
    // named, and the files named are counted.
    void whileWaiting();

    // After a failure that ends the run: the messages already handed to the writer are
    // complete, and are written and named all the same, and counted. A failure of theirs
    // is lost behind the first one.
    void finishQueued() noexcept;

private:
    // Tells the host of the files named since it was last told.
    void reportNamed();
    // The files of the current folder named and their names durable, before it is left.
    void finishFolder();
    // Names the messages waiting, in order: every one of them, or only those whose
    // comparison is done.
    void nameWaiting(bool all);
    void name(ReadMessage& m, const std::optional<std::string>& heldBy);

    // The output folder, opened when the run comes to it; every message waiting for the
    // last one is named first. A dry run opens none that does not exist yet (it would be
    // made, empty).
    void useFolder(const std::string& path);
    // The record's name before numbering.
    std::string baseName() const;

    RunHost& m_host;
    const RunOptions& m_options;
    NamingSettings m_settings; // of the record being read
    std::optional<std::string> m_folderPath;
    std::unique_ptr<OutputFolder> m_folder;
    std::optional<FolderNames> m_names; // of m_folder
    MessageReader m_reader;
    // After the folder: they write into it and read from it until they are gone.
    SkipQueue m_skipQueue;
    FileWriter m_writer;
    Progress m_progress;
    std::uint64_t m_number = 0; // of the record being read, from 1
    std::uint64_t m_marker = 0;
    std::uint64_t m_skipped = 0;
    std::uint64_t m_undated = 0;
    bool m_cancelled = false;

    // No message of a stream is left in it (bytesOf): nothing reads it again.
    static inline const ReadAt kNoRereading = [](std::uint64_t, char*, std::size_t) -> std::size_t {
        throw std::logic_error("a stream is read once");
    };
};

bool Run::recordStarts(std::uint64_t marker)
{
    m_writer.takeNamed(); // and a failure to write ends the run here
    reportNamed();
    if (m_host.cancelRequested()) {
        m_cancelled = true;
        return false;
    }
    m_settings = m_host.currentSettings();
    if (const std::string why = settingsRefusal(m_settings); !why.empty())
        throw ExtractError(ErrorKind::Settings, {}, why);
    if (!text::endsWithSeparator(m_settings.outputFolder))
        m_settings.outputFolder += text::kPathSeparator;
    useFolder(m_settings.outputFolder);
    m_reader.start(m_folder.get());
    m_marker = marker;
    ++m_number;
    m_progress.bytesDone = marker;
    return true;
}

void Run::bodyBytes(std::string_view bytes)
{
    // A large message lets the host show where the run is, every piece of kWritePiece.
    const std::uint64_t before = m_reader.size();
    if ((before + bytes.size()) / kWritePiece != before / kWritePiece) {
        m_writer.takeNamed(); // the batches before it are named meanwhile
        reportNamed();
        m_host.writing({m_progress.filesQueued, m_progress.filesNamed, m_marker + before, m_progress.bytesTotal});
    }
    // The small messages before a large one are named, on the disk, before it streams: it
    // can take long, and Cancel or the end of the program meanwhile keeps what came before.
    if (m_reader.beginsStreaming(bytes.size()) && m_writer.holdsSmallMessages()) {
        m_writer.drain();
        reportNamed();
    }
    if (const std::error_code err = m_reader.add(bytes))
        throw ExtractError::fromCode(
            ErrorKind::Output, "Cannot write",
            text::joinPath(m_folder->path(), m_names->nameItWouldGet(baseName(), m_reader.excerpt().extension(), *m_folder)),
            err);
}

// The name is chosen now that the message is complete, from the names the folder held
// when the run came to it and those the run gave.
void Run::recordEnds(std::uint64_t end)
{
    ReadMessage m;
    m.number = m_number;
    m.marker = m_marker;
    m.end = end;
    m.bySubject = m_settings.bySubject;
    m.baseName = baseName();
    m.extension = m_reader.excerpt().extension();
    if (m_options.dates && !m_options.dryRun)
        if (const auto date = headerField(m_reader.headerBlock(), "Date"))
            m.modified = parseMessageDate(*date);
    m_reader.handOver(m);
    if (!m_options.skipExisting)
        return name(m, std::nullopt);
    std::vector<std::string> candidates = m_names->candidates(m.baseName, m.extension, m.size);
    m_skipQueue.add(std::move(m), std::move(candidates), m_folder.get());
    // In prefix mode the next name depends on whether this message is there already.
    if (!m_settings.bySubject)
        return nameWaiting(true);
    if (m_skipQueue.full())
        m_skipQueue.holdBack();
    nameWaiting(false);
}

RunSummary Run::finish()
{
    nameWaiting(true);
    finishFolder();
    const std::uint64_t files = m_options.dryRun ? m_progress.filesQueued : m_progress.filesNamed;
    return {m_cancelled ? RunEnding::Cancelled : RunEnding::Completed, files, m_skipped, m_undated};
}

void Run::whileWaiting()
{
    nameWaiting(false);
    m_writer.takeNamed();
    reportNamed();
}

void Run::finishFolder()
{
    m_writer.drain();
    reportNamed();
    if (!m_folder || m_options.dryRun)
        return;
    m_folder->makeNamesDurable();
    // Nothing is pending here any more: no temporary name of this run may stay.
    if (m_folder->gaveTemporaryNames())
        m_folder->removeStaleTemporaries(m_folder->names(), true);
}

void Run::reportNamed()
{
    if (m_writer.named() == m_progress.filesNamed)
        return;
    m_progress.filesNamed = m_writer.named();
    m_host.filesNamed(m_progress, m_writer.lastNamed());
}

// After a failure that ends the run: the messages already handed to the writer are
// complete, and are written and named all the same. A failure of theirs is lost
// behind the first one.
void Run::finishQueued() noexcept
{
    try {
        m_writer.drain();
    } catch (...) {
    }
    try {
        reportNamed();
        if (m_folder && !m_options.dryRun)
            m_folder->makeNamesDurable();
    } catch (...) {
    }
}

// Names the messages waiting, in order: every one of them, or only those whose
// comparison is done.
void Run::nameWaiting(bool all)
{
    while (std::optional<SkipQueue::Ready> ready = m_skipQueue.next(all))
        name(ready->message, ready->heldBy);
}

void Run::name(ReadMessage& m, const std::optional<std::string>& heldBy)
{
    m_progress.bytesDone = m.end;
    if (heldBy) {
        // The working name goes on from the file found, as if this run had made it.
        m_host.nameChosen(heldBy->substr(0, heldBy->size() - m.extension.size()), *m_folderPath);
        if (m_options.dryRun)
            m_host.planned({m.number, m.marker, m.size, *heldBy, true});
        ++m_skipped;
    } else {
        ChosenName chosen = m_names->choose(m.baseName, m.extension);
        m_host.nameChosen(chosen.baseName, *m_folderPath);
        if (m_options.dryRun) {
            m_host.planned({m.number, m.marker, m.size, chosen.fileName, false});
        } else {
            m_undated += m_options.dates && !m.modified ? 1 : 0;
            m_writer.add(*m_folder, std::move(m), std::move(chosen));
        }
        ++m_progress.filesQueued;
    }
    m_host.messageDone(m_progress);
}

// The output folder, opened when the run comes to it; every message waiting for the
// last one is named first. A dry run opens none that does not exist yet (it would be
// made, empty).
void Run::useFolder(const std::string& path)
{
    if (m_folderPath == path)
        return;
    nameWaiting(true);
    finishFolder();
    m_names.reset();
    m_folder.reset();
    m_folderPath = path;
    if (!m_options.dryRun && m_options.makeOutputFolder)
        makeFolder(path);
    std::error_code ec;
    if (!m_options.dryRun || std::filesystem::exists(text::pathFromUtf8(path), ec))
        m_folder = std::make_unique<OutputFolder>(path);
    const OutputFolder* folder = m_folder.get();
    std::vector<std::string> names = folder ? folder->names() : std::vector<std::string>{};
    if (folder && !m_options.dryRun)
        folder->removeStaleTemporaries(names, false); // what a killed run left
    ExistingFiles::SizeOf sizeOf;
    if (m_options.skipExisting && folder)
        sizeOf = [folder](const std::string& name) { return folder->regularFileSize(name); };
    m_names.emplace(names, std::move(sizeOf));
}

// The record's name before numbering.
std::string Run::baseName() const
{
    return m_options.decodeSubjects && m_settings.bySubject
               ? finishBaseName(decodedSubjectText(m_reader.headerBlock(), m_settings.removeRe))
               : baseNameFor(m_reader.excerpt().subjectBody(), m_settings);
}

// A mailbox file (`file`, of `size` bytes) or a stream (`stream`).
RunSummary runOver(const ReadAt* file, const ReadNext* stream, std::uint64_t size, const std::string& label,
                   RunHost& host, const RunOptions& options, std::size_t pieceSize)
{
    Run run(host, options, file, size);
    RunSummary summary;
    std::string start;
    try {
        start = streamMailbox(file, stream, size, pieceSize, run, [&] { run.whileWaiting(); });
        summary = run.finish();
    } catch (...) {
        run.finishQueued();
        throw;
    }
    refuseWhatIsNoMailbox(summary, start, label);
    return summary;
}

} // namespace

void makeFolder(std::string path)
{
    while (path.size() > 1 && text::endsWithSeparator(path))
        path.pop_back();
    std::error_code ec;
    const std::filesystem::path folder = text::pathFromUtf8(path);
    std::filesystem::create_directories(folder, ec);
    if (!ec)
        return;
    // What stands in the way is said, not only "File exists".
    std::error_code statEc;
    const std::filesystem::file_status st = std::filesystem::symlink_status(folder, statEc);
    std::string why = ec.message();
    if (std::filesystem::is_symlink(st) && !std::filesystem::exists(folder, statEc))
        why = "it is a link to nothing that exists";
    else if (std::filesystem::exists(st) && !std::filesystem::is_directory(folder, statEc))
        why = "a file of that name is in the way";
    throw ExtractError(ErrorKind::Output, path, "Cannot create the output folder \"" + path + "\": " + why, ec);
}

std::string streamMailbox(const ReadAt* file, const ReadNext* stream, std::uint64_t size, std::size_t pieceSize,
                          RecordSink& sink, const std::function<void()>& whileWaiting)
{
    std::string start; // the mailbox's first bytes, for its signature; reads may be short
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        std::optional<std::size_t> got;
        if (file)
            got = (*file)(offset, buffer, n);
        else // a stream is where the record stream reads: reads go on in order
            while (!(got = (*stream)(buffer, n)))
                whileWaiting();
        if (offset == start.size() && start.size() < text::kFileSignature.size())
            start.append(buffer, std::min(*got, text::kFileSignature.size() - start.size()));
        return *got;
    };
    streamRecords(read, size, pieceSize, sink);
    return start;
}

void refuseWhatIsNoMailbox(const RunSummary& summary, const std::string& start, const std::string& label)
{
    if (summary.filesWritten + summary.skipped == 0 && summary.ending == RunEnding::Completed
        && start != text::kFileSignature)
        throw ExtractError(ErrorKind::Mailbox, label,
                           "\"" + label + "\" is not an OE4 mailbox: it has neither the \"JMF6\" header nor any message record");
}

std::string mailboxPath(std::string_view inputFolder, std::string_view mailboxName)
{
    if (inputFolder.empty())
        throw ExtractError(ErrorKind::Settings, {}, "No input folder is given. Type or choose the folder that holds the mailbox.");
    if (mailboxName.empty())
        throw ExtractError(ErrorKind::Settings, {}, "No mailbox is chosen. Choose the mailbox file to extract.");
    return text::joinPath(inputFolder, mailboxName);
}

RunSummary runExtraction(const std::string& path, RunHost& host, const RunOptions& options, std::size_t pieceSize)
{
    const MailboxFile mailbox = MailboxFile::open(path);
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        return mailbox.readAt(offset, buffer, n);
    };
    return runOver(&read, nullptr, mailbox.size(), path, host, options, pieceSize);
}

RunSummary runExtractionOfStream(const ReadNext& read, const std::string& label, RunHost& host,
                                 const RunOptions& options, std::size_t pieceSize)
{
    return runOver(nullptr, &read, kUnknownSize, label, host, options, pieceSize);
}

} // namespace carrowin::extract
