#include "extraction_run.h"

#include "errors.h"
#include "file_io.h"
#include "naming_excerpt.h"
#include "path_rules.h"
#include "publisher.h"
#include "record_scan.h"
#include "record_stream.h"

#include <memory>
#include <optional>
#include <unordered_set>

namespace carrowin::extract {
namespace {

// A message up to this size is kept whole and handed to the publisher to write.
constexpr std::size_t kKeptMessage = std::size_t{1} << 20;

// Everything one run keeps between records, and the record being written: its body goes
// to a file without a name as it streams by; at the record's end its name is chosen, and
// the publisher gives it that name.
class RecordWriter : public RecordSink {
public:
    RecordWriter(RunHost& host, std::uint64_t mailboxSize)
        : m_host(host), m_memo(fileNameKey), m_progress{0, 0, mailboxSize}
    {
    }

    std::uint64_t filesWritten() const { return m_progress.filesWritten; }
    bool cancelled() const { return m_cancelled; }

    bool recordStarts(std::uint64_t marker) override
    {
        m_publisher.check();
        if (m_host.cancelRequested()) {
            m_cancelled = true;
            return false;
        }
        m_settings = m_host.currentSettings();
        if (const std::string why = settingsRefusal(m_settings); !why.empty())
            throw ExtractError(ErrorKind::Settings, {}, why);
        if (!endsWithSeparator(m_settings.outputFolder))
            m_settings.outputFolder += kPathSeparator;
        m_folder = &folderFor(m_settings.outputFolder);
        m_excerpt.clear();
        m_bodyBytes = 0;
        m_progress.bytesDone = marker;
        return true;
    }

    // A small message is kept for the publisher to write; a large one is written here as
    // it streams by, to a file without a name.
    void bodyBytes(std::string_view bytes) override
    {
        // A large message lets the host show where the run is, every piece of kWritePiece.
        if ((m_bodyBytes + bytes.size()) / kWritePiece != m_bodyBytes / kWritePiece)
            m_host.writing({m_progress.filesWritten, m_progress.bytesDone + m_bodyBytes, m_progress.bytesTotal});
        m_excerpt.add(bytes);
        m_bodyBytes += bytes.size();
        if (!m_file && m_bytes.size() + bytes.size() <= kKeptMessage) {
            m_bytes += bytes;
            return;
        }
        if (!m_file) {
            m_publisher.flush(); // the small ones before it do not wait for it
            m_file.emplace(m_folder->createPending());
            write(std::exchange(m_bytes, {}));
        }
        write(bytes);
    }

    // The name is chosen now that the message is complete, from the names the folder held
    // when the run came to it and those the run gave. The publisher claims it, never
    // replacing anything: the file named is always the one just written.
    void recordEnds(std::uint64_t end) override
    {
        const std::string base = baseNameFor(m_excerpt.subjectBody(), m_settings);
        const std::string_view ext = m_excerpt.extension();
        const TakenTest taken = [&](const std::string& name) {
            return isReservedDeviceName(name) || m_knownTaken.contains(fileNameKey(name));
        };
        ChosenName chosen = chooseFreeName(base, ext, taken, m_memo, kFileNameLimit);
        m_knownTaken.insert(fileNameKey(chosen.fileName));
        m_host.nameChosen(chosen.baseName, m_settings.outputFolder);
        m_publisher.publish(*m_folder, std::exchange(m_file, std::nullopt), std::exchange(m_bytes, {}),
                            std::move(chosen), kFileNameLimit);
        ++m_progress.filesWritten;
        m_progress.bytesDone = end;
        m_host.fileWritten(m_progress);
    }

    // Waits until every file written is published; throws the first failure to publish.
    void finish() { m_publisher.drain(); }

private:
    const OutputFolder& folderFor(const std::string& path)
    {
        if (!m_outputFolder || m_outputFolder->path() != path) {
            m_publisher.drain(); // the files for the last folder are named first
            m_outputFolder = std::make_unique<OutputFolder>(path);
            // What this run knows about taken names holds for one folder only.
            m_knownTaken.clear();
            for (const std::string& name : m_outputFolder->names())
                m_knownTaken.insert(fileNameKey(name));
            m_memo = NumberingMemo{fileNameKey};
        }
        return *m_outputFolder;
    }

    void write(std::string_view bytes)
    {
        if (const std::error_code err = m_file->writeAll(bytes))
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", joinPath(m_folder->path(), nameItWouldGet()),
                                         err);
    }

    // The name a message that could not be written would have got, for the words about it.
    std::string nameItWouldGet()
    {
        NumberingMemo scratch{fileNameKey};
        const TakenTest taken = [&](const std::string& name) {
            return m_knownTaken.contains(fileNameKey(name)) || isReservedDeviceName(name) || m_folder->holds(name);
        };
        const std::string base = baseNameFor(m_excerpt.subjectBody(), m_settings);
        return chooseFreeName(base, m_excerpt.extension(), taken, scratch, kFileNameLimit).fileName;
    }

    RunHost& m_host;
    NumberingMemo m_memo;
    std::unordered_set<std::string> m_knownTaken; // by fileNameKey
    std::unique_ptr<OutputFolder> m_outputFolder;
    Publisher m_publisher; // after the folder: it publishes into it until it is gone
    Progress m_progress;
    bool m_cancelled = false;
    // The record being written.
    NamingSettings m_settings;
    const OutputFolder* m_folder = nullptr;
    std::optional<PendingFile> m_file; // a large message, written as it comes
    std::string m_bytes;               // a small message, kept whole
    NamingExcerpt m_excerpt;
    std::uint64_t m_bodyBytes = 0;
};

} // namespace

std::string mailboxPath(std::string_view inputFolder, std::string_view mailboxName)
{
    if (inputFolder.empty())
        throw ExtractError(ErrorKind::Settings, {}, "No input folder is given. Type or choose the folder that holds the mailbox.");
    if (mailboxName.empty())
        throw ExtractError(ErrorKind::Settings, {}, "No mailbox is chosen. Choose the mailbox file to extract.");
    return joinPath(inputFolder, mailboxName);
}

RunSummary runExtraction(const std::string& path, RunHost& host, std::size_t pieceSize)
{
    const MailboxFile mailbox = MailboxFile::open(path);
    RecordWriter writer(host, mailbox.size());
    bool signature = false;
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        const std::size_t got = mailbox.readAt(offset, buffer, n);
        if (offset == 0)
            signature = std::string_view(buffer, got).starts_with(kFileSignature);
        return got;
    };
    streamRecords(read, mailbox.size(), pieceSize, writer);
    writer.finish();
    if (writer.filesWritten() == 0 && !writer.cancelled() && !signature)
        throw ExtractError(ErrorKind::Mailbox, path,
                           "\"" + path + "\" is not an OE4 mailbox: it has neither the \"JMF6\" header nor any message record");
    return {writer.cancelled() ? RunEnding::Cancelled : RunEnding::Completed, writer.filesWritten()};
}

} // namespace carrowin::extract
