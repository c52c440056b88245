#include "extraction_run.h"

#include "errors.h"
#include "existing_files.h"
#include "file_io.h"
#include "header_fields.h"
#include "message_date.h"
#include "naming_excerpt.h"
#include "path_rules.h"
#include "publisher.h"
#include "record_scan.h"
#include "record_stream.h"

#include <filesystem>
#include <fstream>
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
    RecordWriter(RunHost& host, std::uint64_t mailboxSize, const RunOptions& options, const ReadAt& mailbox)
        : m_host(host), m_options(options), m_mailbox(mailbox), m_memo(fileNameKey), m_progress{0, 0, mailboxSize}
    {
    }

    std::uint64_t filesWritten() const { return m_progress.filesWritten; }
    std::uint64_t skipped() const { return m_skipped; }
    std::uint64_t undated() const { return m_undated; }
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
        m_folder = folderFor(m_settings.outputFolder);
        m_excerpt.clear();
        m_header.clear();
        m_bodyBytes = 0;
        m_marker = marker;
        ++m_number;
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
        if (m_options.dates || m_options.decodeSubjects)
            m_header.add(bytes);
        m_bodyBytes += bytes.size();
        if (m_options.dryRun)
            return; // named from the excerpt; compared, if asked, with the mailbox itself
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
        const std::string base = m_options.decodeSubjects && m_settings.bySubject
                                     ? finishBaseName(decodedSubjectText(m_header.text(), m_settings.removeRe))
                                     : baseNameFor(m_excerpt.subjectBody(), m_settings);
        const std::string_view ext = m_excerpt.extension();
        m_progress.bytesDone = end;
        if (m_options.skipExisting) {
            if (const auto same = fileHoldingThisMessage(base, ext)) {
                // The working name goes on from the file found, as if this run had made it.
                m_host.nameChosen(same->substr(0, same->size() - ext.size()), m_settings.outputFolder);
                if (m_options.dryRun)
                    m_host.planned({m_number, m_marker, m_bodyBytes, *same, true});
                m_file.reset(); // the copy goes, unnamed
                m_bytes.clear();
                ++m_skipped;
                m_host.fileWritten(m_progress);
                return;
            }
        }
        const TakenTest taken = [&](const std::string& name) {
            return isReservedDeviceName(name) || m_knownTaken.contains(fileNameKey(name));
        };
        ChosenName chosen = chooseFreeName(base, ext, taken, m_memo, kFileNameLimit);
        m_knownTaken.insert(fileNameKey(chosen.fileName));
        m_host.nameChosen(chosen.baseName, m_settings.outputFolder);
        if (m_options.dryRun) {
            m_host.planned({m_number, m_marker, m_bodyBytes, chosen.fileName, false});
        } else {
            std::optional<std::int64_t> modified;
            if (m_options.dates) {
                if (const auto date = headerField(m_header.text(), "Date"))
                    modified = parseMessageDate(*date);
                m_undated += modified ? 0 : 1;
            }
            m_publisher.publish(*m_folder, std::exchange(m_file, std::nullopt), std::exchange(m_bytes, {}),
                                std::move(chosen), kFileNameLimit, modified);
        }
        ++m_progress.filesWritten;
        m_host.fileWritten(m_progress);
    }

    // Waits until every file written is published; throws the first failure to publish.
    void finish() { m_publisher.drain(); }

private:
    // The output folder, opened when the run comes to it (none in a dry run when it does
    // not exist yet: it would be made, empty).
    const OutputFolder* folderFor(const std::string& path)
    {
        if (m_folderPath && *m_folderPath == path)
            return m_outputFolder.get();
        m_publisher.drain(); // the files for the last folder are named first
        m_outputFolder.reset();
        m_folderPath = path;
        std::error_code ec;
        if (!m_options.dryRun || std::filesystem::exists(fsPath(path), ec))
            m_outputFolder = std::make_unique<OutputFolder>(path);
        const std::vector<std::string> names = m_outputFolder ? m_outputFolder->names() : std::vector<std::string>{};
        // What this run knows about taken names holds for one folder only.
        m_knownTaken.clear();
        for (const std::string& name : names)
            m_knownTaken.insert(fileNameKey(name));
        if (m_options.skipExisting)
            m_existing = ExistingFiles(names);
        m_memo = NumberingMemo{fileNameKey};
        return m_outputFolder.get();
    }

    static std::filesystem::path fsPath(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

    // A file that was in the output folder before the run, under the name this message gets
    // or a numbered form of it, and holds exactly its bytes. Sizes are compared first; only
    // a file of the same size is read.
    std::optional<std::string> fileHoldingThisMessage(const std::string& base, std::string_view ext)
    {
        for (const std::string& name : m_existing.sameNamed(base, ext)) {
            const std::filesystem::path path = fsPath(joinPath(m_settings.outputFolder, name));
            std::error_code ec;
            if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) != m_bodyBytes || ec)
                continue;
            if (holdsThisMessage(path))
                return name;
        }
        return std::nullopt;
    }

    bool holdsThisMessage(const std::filesystem::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        const bool kept = !m_file && !m_options.dryRun; // a small message is at hand
        std::vector<char> theirs(kReadPiece);
        std::vector<char> ours(kept ? 0 : kReadPiece);
        for (std::uint64_t done = 0; done < m_bodyBytes;) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kReadPiece, m_bodyBytes - done));
            if (!file.read(theirs.data(), static_cast<std::streamsize>(n)))
                return false;
            std::string_view mine;
            if (kept) {
                mine = std::string_view(m_bytes).substr(static_cast<std::size_t>(done), n);
            } else {
                std::size_t got = 0;
                while (got < n)
                    got += m_mailbox(m_marker + kRecordHeaderSize + done + got, ours.data() + got, n - got);
                mine = std::string_view(ours.data(), n);
            }
            if (mine != std::string_view(theirs.data(), n))
                return false;
            done += n;
        }
        return true;
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
    const RunOptions& m_options;
    const ReadAt& m_mailbox;
    NumberingMemo m_memo;
    std::unordered_set<std::string> m_knownTaken; // by fileNameKey
    std::optional<std::string> m_folderPath;
    std::unique_ptr<OutputFolder> m_outputFolder;
    ExistingFiles m_existing; // what the folder held when the run came to it (skipExisting)
    Publisher m_publisher; // after the folder: it publishes into it until it is gone
    Progress m_progress;
    bool m_cancelled = false;
    std::uint64_t m_skipped = 0;
    std::uint64_t m_undated = 0;
    std::uint64_t m_number = 0; // of the record being written, from 1
    // The record being written.
    NamingSettings m_settings;
    const OutputFolder* m_folder = nullptr;
    std::optional<PendingFile> m_file; // a large message, written as it comes
    std::string m_bytes;               // a small message, kept whole
    NamingExcerpt m_excerpt;
    HeaderBlock m_header; // only with dates or decoded subjects
    std::uint64_t m_marker = 0;
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

namespace {

RunSummary runOver(const ReadAt& readAt, std::uint64_t size, const std::string& label, RunHost& host,
                   const RunOptions& options, std::size_t pieceSize)
{
    bool signature = false;
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        const std::size_t got = readAt(offset, buffer, n);
        if (offset == 0)
            signature = std::string_view(buffer, got).starts_with(kFileSignature);
        return got;
    };
    RecordWriter writer(host, size, options, readAt);
    streamRecords(read, size, pieceSize, writer);
    writer.finish();
    const std::uint64_t records = writer.filesWritten() + writer.skipped();
    if (records == 0 && !writer.cancelled() && !signature)
        throw ExtractError(ErrorKind::Mailbox, label,
                           "\"" + label + "\" is not an OE4 mailbox: it has neither the \"JMF6\" header nor any message record");
    return {writer.cancelled() ? RunEnding::Cancelled : RunEnding::Completed, writer.filesWritten(), writer.skipped(),
            writer.undated()};
}

} // namespace

RunSummary runExtraction(const std::string& path, RunHost& host, std::size_t pieceSize)
{
    return runExtraction(path, host, RunOptions{}, pieceSize);
}

RunSummary runExtraction(const std::string& path, RunHost& host, const RunOptions& options, std::size_t pieceSize)
{
    const MailboxFile mailbox = MailboxFile::open(path);
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        return mailbox.readAt(offset, buffer, n);
    };
    return runOver(read, mailbox.size(), path, host, options, pieceSize);
}

RunSummary runExtractionOfImage(std::string_view image, const std::string& label, RunHost& host,
                                const RunOptions& options, std::size_t pieceSize)
{
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t n) {
        const std::string_view piece = image.substr(static_cast<std::size_t>(offset), n);
        std::copy(piece.begin(), piece.end(), buffer);
        return piece.size();
    };
    return runOver(read, image.size(), label, host, options, pieceSize);
}

} // namespace carrowin::extract
